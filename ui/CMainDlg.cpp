#include "ui/CMainDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include "accounts/AccountFile.h"
#include "check/TrayNotifier.h"
#include "res/Strings.h"
#include "ui/StartDispSetting.h"

CMainDlg::CMainDlg(const Parts& parts, QWidget* parent) : QDialog(parent), m_parts(parts) {
    m_bStartDisp = StartDispSetting::Read(QSettings());
    setObjectName("IDD_MAIN");
    setWindowTitle(Str::Text(Str::kMainCaption));
    BuildControls();
}

CMainDlg::~CMainDlg() = default;

void CMainDlg::BuildControls() {
    auto* ok = new QPushButton(Str::Text(Str::kCheckButton), this);
    ok->setObjectName("IDOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton(Str::Text(Str::kExitButton), this);
    cancel->setObjectName("IDCANCEL");
    m_status = new QLineEdit(this);
    m_status->setObjectName("IDC_STATUS");
    m_startDisp = new QCheckBox(Str::Text(Str::kStartDisp), this);
    m_startDisp->setObjectName("IDC_START_DISP");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_startDisp);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &CMainDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_startDisp, &QCheckBox::clicked, this, &CMainDlg::OnStartDisp);
}

void CMainDlg::TransferToControls() {
    m_status->setText(m_strStatus);
    m_startDisp->setChecked(StartDispSetting::ShowsTicked(m_bStartDisp));
}

void CMainDlg::OnInitDialog() {
    m_hIcon = QIcon(":/icons/128.svg");
    setWindowIcon(m_hIcon);
    m_parts.tray->NotifyTray(TrayRequest::Add, TrayId::kMain, TrayIcon::Builtin(IconId::kNoMail), {});
    TransferToControls();
    m_strAccountFile = m_parts.accountFile;
    LoadAccounts(m_strAccountFile, m_accounts);
    if (m_bStartDisp == 0 && m_parts.tray->IsAvailable()) {
        // Posted, as a command would be: the window shows first, then goes to the tray.
        QTimer::singleShot(0, this, &CMainDlg::OnOK);
    }
}

void CMainDlg::DestroyWindow() {
    SaveAccounts(m_strAccountFile, m_accounts);
    m_parts.tray->NotifyTray(TrayRequest::Delete, TrayId::kMain, {}, {});
    for (int position = 0; position < m_accounts.GetCount(); ++position) {
        if (m_accounts.GetAt(position)->m_nLastCount != 0) {
            m_parts.tray->NotifyTray(TrayRequest::Delete, TrayId::kFirstAccount + position, {}, {});
        }
    }
}

void CMainDlg::OnOK() {
    // Without a tray the user could never bring a hidden window back.
    if (m_parts.tray->IsAvailable()) {
        hide();
    } else {
        showMinimized();
    }
}

void CMainDlg::OnStartDisp() {
    m_strStatus = m_status->text();
    m_bStartDisp = m_startDisp->isChecked() ? 1 : 0;
    QSettings settings;
    StartDispSetting::Write(settings, m_bStartDisp);
}
