#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "alerts/MailNotifier.h"

class QSystemTrayIcon;

// The desktop's own notifications. A click on one brings the owner window back, as a click on the
// tray icon does.
class CDesktopNotifier : public QObject, public IMailNotifier {
    Q_OBJECT

public:
    using MainTrayIcon = std::function<QSystemTrayIcon*()>;

    explicit CDesktopNotifier(QObject* parent = nullptr) : QObject(parent) {}

    // The desktop's notification service where the build has D-Bus (Linux), else messages from the
    // main tray icon (Windows, macOS).
    static std::unique_ptr<CDesktopNotifier> ForThisDesktop(MainTrayIcon mainTrayIcon);

    void SetOwnerWindow(QWidget* window) { m_window = window; }

protected:
    void BringOwnerBack() {
        if (m_window.isNull()) {
            return;
        }
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
    }

private:
    QPointer<QWidget> m_window;
};
