#pragma once
// A Secret Service (the desktop keyring's D-Bus API, org.freedesktop.secrets) for the tests: one
// collection behind the alias "default", items in memory, plain sessions only (libsecret falls
// back to them), and prompts the test decides. It owns the name through a connection of its own,
// so the program's libsecret really talks to it across the session bus. It can be locked, hold its
// answers back, and vanish from the bus in the middle of a move.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QMap>
#include <map>
#include <optional>
#include <vector>

class SecretServiceServer : public QDBusVirtualObject {
    Q_OBJECT

public:
    // Whether a locked collection shows the user a prompt to unlock it (which the user dismisses),
    // or, without a prompter, refuses to create items and unlocks nothing.
    enum class Prompter { None, Dismiss };

    SecretServiceServer();
    ~SecretServiceServer() override;

    // Takes the service name; false when the bus or the name cannot be had.
    bool Start();
    // Leaves the bus as a service that ends does: calls waiting for an answer get an error.
    void Vanish();
    // Sends the answers held back so far, and holds no more.
    void Release();

    bool locked = false;
    Prompter prompter = Prompter::None;
    std::optional<int> vanishAfterCreating;  // leaves at the CreateItem after this many
    bool holdAnswers = false;
    std::map<QString, QMap<QString, QString>> attributes;  // by item path
    std::map<QString, QByteArray> secrets;                 // by item path

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection&) override;

private:
    QDBusMessage Answer(const QDBusMessage& call);
    QDBusMessage CreateItem(const QDBusMessage& call);
    QDBusMessage AskPrompter(const QDBusMessage& call, const QList<QVariant>& answer);
    QList<QDBusObjectPath> Search(const QMap<QString, QString>& wanted) const;
    void Send(const QDBusMessage& message);

    std::optional<QDBusConnection> m_bus;
    std::vector<QDBusMessage> m_held;
    int m_next = 1;
    std::map<QString, bool> m_unlockPrompts;  // prompt path -> whether it unlocks (else creates)
};
