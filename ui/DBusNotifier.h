#pragma once

#include <QDBusConnection>
#include <QEventLoop>
#include <QMap>
#include <QPointer>
#include <functional>
#include <optional>

#include "ui/DesktopNotifier.h"

// Notifications through the desktop's notification service (org.freedesktop.Notifications on the
// session bus): a replacement reuses the service's id, the click is the "default" action. Without
// a bus or a service nothing is shown and nothing is reported. When the program ends, every
// notification is withdrawn while the event loop still runs, so that none outlives it.
class CDBusNotifier : public CDesktopNotifier {
    Q_OBJECT

public:
    explicit CDBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    void Show(int key, const QString& title, const QString& text) override;
    void Withdraw(int key) override;

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void WithdrawAll();
    void OnNotificationClosed(uint id, uint reason);

private:
    struct Content {
        QString title;
        QString text;
    };
    // One key's notification. While the service has not yet answered a Notify, what comes next
    // waits, so that a replacement never goes out without the id it replaces.
    struct Notice {
        uint id = 0;
        bool waiting = false;
        std::optional<Content> next;
        bool withdrawNext = false;
    };

    void Send(int key, const Content& content);
    void Call(const QDBusMessage& call, std::function<void(const QDBusPendingCall&)> answered);
    void OnSent(int key, std::optional<uint> id);
    void Close(uint id);

    QDBusConnection m_bus;
    QMap<int, Notice> m_notices;
    int m_unanswered = 0;            // calls whose answer has not come yet
    QPointer<QEventLoop> m_endWait;  // while WithdrawAll waits for them
    bool m_ended = false;
};
