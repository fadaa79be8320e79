#pragma once

#include <QDialog>
#include <QString>

#include "accounts/AccountStore.h"
#include "accounts/CAccountList.h"
#include "alerts/Alerts.h"
#include "alerts/MailNotices.h"
#include "check/CheckScheduler.h"
#include "check/IconCache.h"
#include "ui/FileChooser.h"

class ITrayNotifier;
class IAlertPlatform;
class IProber;
class CAccountDlg;
class CMainMenu;
class ILoginStart;
class ISecretStore;
class CKeyringPasswords;
class CKeyringMenuItem;
class IMailNotifier;
class CSystemEvents;
class DialogUnits;
class QCheckBox;
class QLineEdit;
class QTableWidget;

// The program's only top-level window, and the owner of its state: the accounts, the account
// file's path, the timers and the tray icons.
class CMainDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 102;

    // The desktop-facing parts the window works through; tests hand in recording fakes. The first
    // three pointers must be set; without a notifier nothing is notified, without a login start or
    // a keyring their menu items are greyed.
    struct Parts {
        ITrayNotifier* tray = nullptr;
        IAlertPlatform* alerts = nullptr;
        IProber* prober = nullptr;
        QString accountFile;     // where ACCOUNT.CSV lives for this run
        FileChooser chooseFile;  // the settings dialog's open-file dialog; empty: the desktop's
        IMailNotifier* notifier = nullptr;
        ILoginStart* loginStart = nullptr;
        ISecretStore* keyring = nullptr;
        CSystemEvents* systemEvents = nullptr;  // sleep and network news for the checks; may be null
    };

    explicit CMainDlg(const Parts& parts, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Start-up sequence: tray icon, account file, timers, list; hides at once when "StartDisp" is 0.
    void OnInitDialog();
    // End sequence: check boxes into the accounts, save the file, remove the tray icons. A failed
    // save is put to the user, who may try again, unless nobody is there (the session is ending).
    void DestroyWindow(bool userIsThere = true);

    // Rebuilds the rows from the accounts, keeping the selected row.
    void RefreshList();
    // The rows' check boxes into the accounts' m_bEnabled.
    void SyncChecks();

public slots:
    void OnOK();
    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnStartDisp();
    void OnAbout();
    // Enter and the default button hide the window; only Cancel, Esc and closing end it.
    void accept() override { OnOK(); }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

    CAccountList m_accounts;
    CAccountStore m_accountFile;
    int m_bStartDisp = 1;

private:
    void BuildControls(const DialogUnits& du);
    // The list's four columns.
    void SetupColumns();
    void OnStatLine(const QByteArray& line);
    void OnAccountsChecked();
    int SelectedRow() const;
    int UserDecorationWidth() const;
    bool RunAccountDialog(CAccountDlg& dialog);
    void OnPasswordLoaded(AccountId id);

    Parts m_parts;
    CAlerts m_alerts;
    CCheckScheduler m_scheduler;
    CMailNotices m_notices;
    CMainMenu* m_menu = nullptr;
    CKeyringPasswords* m_keyring = nullptr;  // null without a keyring
    CKeyringMenuItem* m_keyringItem = nullptr;
    QTableWidget* m_list = nullptr;
    CIconCache m_icons;  // the list's pictures
    QLineEdit* m_status = nullptr;
    QCheckBox* m_startDisp = nullptr;
};
