#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include "accounts/CAccountList.h"

class ITrayNotifier;
class IAlertPlatform;
class IProber;
class QCheckBox;
class QLineEdit;

// The program's only top-level window, and the owner of its state: the accounts, the account
// file's path, the timers and the tray icons.
class CMainDlg : public QDialog {
    Q_OBJECT

public:
    // The desktop-facing parts the window works through; tests hand in recording fakes.
    struct Parts {
        ITrayNotifier* tray = nullptr;
        IAlertPlatform* alerts = nullptr;
        IProber* prober = nullptr;
        QString accountFile;  // where ACCOUNT.CSV lives for this run
    };

    explicit CMainDlg(const Parts& parts, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Start-up sequence: tray icon, account file, timers, list; hides at once when "StartDisp" is 0.
    void OnInitDialog();
    // End sequence: check boxes into the accounts, save the file, remove the tray icons.
    void DestroyWindow();

    const CAccountList& Accounts() const { return m_accounts; }
    const QString& AccountFile() const { return m_strAccountFile; }
    int StartDisp() const { return m_bStartDisp; }

public slots:
    void OnOK();
    void OnStartDisp();

protected:
    CAccountList m_accounts;
    QString m_strAccountFile;
    int m_bStartDisp = 1;
    QString m_strStatus;
    QIcon m_hIcon;

private:
    void BuildControls();
    void TransferToControls();

    Parts m_parts;
    QLineEdit* m_status = nullptr;
    QCheckBox* m_startDisp = nullptr;
};
