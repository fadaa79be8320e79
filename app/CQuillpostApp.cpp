#include "app/CQuillpostApp.h"

#include <QFileInfo>

#include "accounts/AccountFile.h"
#include "app/HelpLauncher.h"
#include "check/Pop3Prober.h"
#include "check/QtAlertPlatform.h"
#include "res/Strings.h"
#include "ui/CMainDlg.h"
#include "ui/TrayService.h"

CQuillpostApp::CQuillpostApp(int& argc, char** argv) : m_app(argc, argv) {
    // The settings live under the vendor key and the executable's own name.
    QApplication::setOrganizationName(Str::kVendor);
    QApplication::setApplicationName(QFileInfo(QApplication::applicationFilePath()).completeBaseName());
    // The window hides into the tray; only ending the main dialog ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
}

int CQuillpostApp::Run() {
    CHelpLauncher help(CHelpLauncher::HelpFileForThisProgram());
    m_app.installEventFilter(&help);
    // Declared before the window, so that they outlive it and its scheduler.
    CTrayService tray;
    CQtAlertPlatform alerts;
    CPop3Prober prober;
    CMainDlg::Parts parts;
    parts.tray = &tray;
    parts.alerts = &alerts;
    parts.prober = &prober;
    parts.accountFile = AccountFilePathForThisProgram();

    CMainDlg dialog(parts);
    tray.SetOwnerWindow(&dialog);
    QObject::connect(&dialog, &QDialog::finished, &m_app, &QApplication::quit);
    dialog.show();
    dialog.OnInitDialog();
    QApplication::exec();
    dialog.DestroyWindow();
    return 0;
}
