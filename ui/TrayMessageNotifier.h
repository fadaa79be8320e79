#pragma once

#include "ui/DesktopNotifier.h"

// Notifications as messages from the main tray icon, where the desktop's notifications are reached
// that way (Windows, macOS). The tray shows one message at a time, so a newer one replaces the
// last; a message goes by itself after a while and cannot be called back, so a withdrawal only
// forgets it.
class CTrayMessageNotifier : public CDesktopNotifier {
    Q_OBJECT

public:
    explicit CTrayMessageNotifier(MainTrayIcon mainTrayIcon, QObject* parent = nullptr);

    void Show(int key, const QString& title, const QString& text) override;
    void Withdraw(int key) override;

private:
    MainTrayIcon m_mainTrayIcon;
    QPointer<QSystemTrayIcon> m_connectedIcon;
    int m_shownKey = 0;  // the key of the message on screen, 0 when none
};
