#pragma once
// A desktop notification service for the tests: it owns org.freedesktop.Notifications on the
// session bus through a connection of its own (so the program's calls really cross the bus),
// records every Notify and CloseNotification, and can send the signals a desktop sends.

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <vector>

class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Received {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0;  // the id the server answered with
    };

    NotificationServer();
    ~NotificationServer() override;

    // Takes the service name; false when the bus or the name cannot be had.
    bool Start();
    // Gives the name up again: the service is gone.
    void Stop();

    // What a click on the notification's body sends.
    void InvokeAction(uint id, const QString& action);

    // Width and height of a notification's "image-data" hint, or (0, 0) without one.
    static QSize ImageSize(const Received& call);
    // The fields of a notification as lines of text, for a test's output.
    static QString Describe(const Received& call);

    std::vector<Received> notifies;
    std::vector<uint> closes;

public slots:
    uint Notify(const QString& app_name, uint replaces_id, const QString& app_icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int expire_timeout);
    void CloseNotification(uint id);
    QStringList GetCapabilities();
    QString GetServerInformation(QString& vendor, QString& version, QString& spec_version);

signals:
    void ActionInvoked(uint id, const QString& action_key);
    void NotificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    uint m_lastId = 0;
};
