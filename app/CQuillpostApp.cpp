#include "app/CQuillpostApp.h"

#include <QFileInfo>
#include <functional>
#include <utility>

#include "accounts/AccountFile.h"
#include "alerts/DesktopAlertPlatform.h"
#include "app/HelpLauncher.h"
#include "app/LoginStartEntry.h"
#include "app/SessionEnd.h"
#include "app/SingleInstance.h"
#include "check/SystemEvents.h"
#include "protocol/MailProber.h"
#include "res/Strings.h"
#include "secrets/DesktopSecretStore.h"
#include "ui/CMainDlg.h"
#include "ui/DesktopNotifier.h"
#include "ui/TrayService.h"

CQuillpostApp::CQuillpostApp(int& argc, char** argv) : m_app(argc, argv) {
    // The settings live under the vendor key and the executable's own name.
    QApplication::setOrganizationName(Str::kVendor);
    QApplication::setApplicationName(QFileInfo(QApplication::applicationFilePath()).completeBaseName());
    // The window hides into the tray; only ending the main dialog ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
}

int CQuillpostApp::Run() {
    const QString accountFile = AccountFilePathForThisProgram();
    CSessionEnd sessionEnd;
    CSingleInstance instance(accountFile);
    if (!instance.TakeOver()) {
        // Another copy watches these accounts: it comes forward, and the file stays its own.
        return HandOverToRunningCopy(instance, accountFile);
    }
    CHelpLauncher help(CHelpLauncher::HelpFileForThisProgram());
    m_app.installEventFilter(&help);
    // Declared before the window, so that they outlive it and its scheduler.
    CTrayService tray;
    CDesktopAlertPlatform alerts;
    ProbeOptions probeOptions;
    probeOptions.watch = true;
    CMailProber prober(probeOptions);
    CDesktopSecretStore keyring;
    // The end runs once, however it comes, and before anything else heard of the quit (the
    // notifier's withdrawals may wait on the bus): on Windows the end of the session ends the
    // process right after aboutToQuit.
    std::function<void()> end = [] {};
    QObject quitting;
    QObject::connect(&m_app, &QCoreApplication::aboutToQuit, &quitting, [&end] { end(); });
    // The tray keeps each icon as its child, named by its id.
    const auto notifier = CDesktopNotifier::ForThisDesktop([&tray] {
        return tray.findChild<QSystemTrayIcon*>(QString::number(TrayId::kMain), Qt::FindDirectChildrenOnly);
    });
    const auto loginStart = LoginStartForThisProgram();
    const auto systemEvents = CSystemEvents::ForThisSystem();
    CMainDlg::Parts parts;
    parts.tray = &tray;
    parts.alerts = &alerts;
    parts.prober = &prober;
    parts.notifier = notifier.get();
    parts.loginStart = loginStart.get();
    parts.keyring = &keyring;
    parts.systemEvents = systemEvents.get();
    parts.accountFile = accountFile;

    CMainDlg dialog(parts);
    tray.SetOwnerWindow(&dialog);
    notifier->SetOwnerWindow(&dialog);
    QObject::connect(&dialog, &QDialog::finished, &m_app, &QApplication::quit);
    QObject::connect(&sessionEnd, &CSessionEnd::endRequested, &m_app, [] { QCoreApplication::exit(0); });
    QObject::connect(&instance, &CSingleInstance::showRequested, &dialog, [&dialog] {
        dialog.showNormal();
        dialog.raise();
        dialog.activateWindow();
    });
    bool ended = false;
    end = [&] {
        if (!std::exchange(ended, true)) {
            dialog.DestroyWindow(!sessionEnd.IsEnding());
        }
    };
    dialog.show();
    dialog.OnInitDialog();
    QApplication::exec();
    end();
    return 0;
}
