#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>

#include "ui/FileChooser.h"

class CAccount;
class CAlerts;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class DialogUnits;

// The dialog in which the user enters or changes one account. It works on its own members only:
// the caller fills them before running it and reads them back after OK.
class CAccountDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 131;

    explicit CAccountDlg(CAlerts& alerts, QWidget* parent = nullptr);
    ~CAccountDlg() override;

    // Tests answer the open-file dialog through this.
    void SetFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    // The account's settings into the members, and back; run-time fields and the check box stay.
    void LoadFrom(const CAccount& account);
    void StoreInto(CAccount& account) const;

    // Moves the values between the members and the controls, in the order of the member list
    // below. Towards the members it stops at the first box holding a bad value: the user is told,
    // the box gets the focus with its text selected, and false is returned.
    bool TransferData(bool toMembers);

    // Shows the first icon of `file`; a file that yields none leaves the picture as it is.
    void ShowIconPreview(const std::string& file);

    // Exchanged with the controls, in this order (it matters when the exchange stops).
    QLabel* m_iconPreview = nullptr;
    std::int32_t m_nLaunchMode = -1;
    std::string m_strPassword;
    std::string m_strServer;
    std::string m_strSoundFile;
    std::int32_t m_bSound = 0;
    std::string m_strLaunchFile;
    std::int32_t m_bLaunch = 0;
    std::int32_t m_nSoundMode = -1;
    std::int32_t m_nInterval = 0;
    std::string m_strUser;
    std::string m_strIconFile;

public slots:
    void OnSoundBrowse();
    void OnSoundPreview();
    void OnLaunchBrowse();
    void OnLaunchPreview();
    void OnIconBrowse();
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls(const DialogUnits& du);
    using Slot = void (CAccountDlg::*)();
    // The group's check box, radio buttons and file box; its two buttons are wired to the slots.
    std::tuple<QCheckBox*, QButtonGroup*, QLineEdit*> BuildAlertGroup(const DialogUnits& du, int top,
                                                                      const char* caption, int checkWidth,
                                                                      const char* ids[6], Slot onBrowse,
                                                                      Slot onPreview);
    bool Browse(QLineEdit* box, std::string& member, const char* initialName, const char* filter);
    bool ExchangeInterval(bool toMembers);
    bool RefuseUnstorableText();
    void FailOn(QLineEdit* box, const QString& message, int stringId);

    CAlerts& m_alerts;
    FileChooser m_chooseFile = ChooseFileWithDialog;
    bool m_initialised = false;
    std::unique_ptr<CAccount> m_opened;  // the members as the dialog opened, restored by Cancel

    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_interval = nullptr;
    QCheckBox* m_sound = nullptr;
    QButtonGroup* m_soundModes = nullptr;
    QLineEdit* m_soundFile = nullptr;
    QCheckBox* m_launch = nullptr;
    QButtonGroup* m_launchModes = nullptr;
    QLineEdit* m_launchFile = nullptr;
    QLineEdit* m_iconFile = nullptr;
};
