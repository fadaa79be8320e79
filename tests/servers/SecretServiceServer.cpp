#include "tests/servers/SecretServiceServer.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <algorithm>

namespace {

constexpr char kConnection[] = "test-secret-service";
constexpr char kRoot[] = "/org/freedesktop/secrets";
constexpr char kCollection[] = "/org/freedesktop/secrets/collection/login";

using Paths = QList<QDBusObjectPath>;
using Strings = QMap<QString, QString>;

template <class T>
QVariant V(const T& value) {
    return QVariant::fromValue(value);
}

template <class T>
T Arg(const QDBusMessage& call, int index) {
    return qdbus_cast<T>(call.arguments().value(index));
}

}  // namespace

// A secret on the wire: session, parameters, value, content type.
struct FakeSecret {
    QDBusObjectPath session;
    QByteArray parameters;
    QByteArray value;
    QString contentType;
};
Q_DECLARE_METATYPE(FakeSecret)
using FakeSecrets = QMap<QDBusObjectPath, FakeSecret>;

QDBusArgument& operator<<(QDBusArgument& out, const FakeSecret& s) {
    return out.beginStructure(), out << s.session << s.parameters << s.value << s.contentType,
           out.endStructure(), out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, FakeSecret& s) {
    return in.beginStructure(), in >> s.session >> s.parameters >> s.value >> s.contentType,
           in.endStructure(), in;
}

SecretServiceServer::SecretServiceServer()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection)) {
    qDBusRegisterMetaType<FakeSecret>();
    qDBusRegisterMetaType<FakeSecrets>();
    qDBusRegisterMetaType<Paths>();
    qDBusRegisterMetaType<Strings>();
}

SecretServiceServer::~SecretServiceServer() {
    Vanish();
}

bool SecretServiceServer::Start() {
    return m_bus && m_bus->registerVirtualObject(kRoot, this, QDBusConnection::SubPath) &&
           m_bus->registerService(QStringLiteral("org.freedesktop.secrets"));
}

void SecretServiceServer::Vanish() {
    m_bus.reset();
    QDBusConnection::disconnectFromBus(kConnection);
}

void SecretServiceServer::Release() {
    holdAnswers = false;
    for (const QDBusMessage& answer : std::exchange(m_held, {})) {
        Send(answer);
    }
}

bool SecretServiceServer::handleMessage(const QDBusMessage& call, const QDBusConnection&) {
    const QDBusMessage answer = Answer(call);
    if (holdAnswers) {
        m_held.push_back(answer);
    } else {
        Send(answer);
    }
    return true;
}

void SecretServiceServer::Send(const QDBusMessage& message) {
    if (m_bus && message.type() != QDBusMessage::InvalidMessage) {
        m_bus->send(message);
    }
}

QList<QDBusObjectPath> SecretServiceServer::Search(const QMap<QString, QString>& wanted) const {
    Paths found;
    for (const auto& [path, has] : attributes) {
        if (std::all_of(wanted.keyValueBegin(), wanted.keyValueEnd(),
                        [&](auto w) { return has[w.first] == w.second; })) {
            found << QDBusObjectPath(path);
        }
    }
    return found;
}

QDBusMessage SecretServiceServer::Answer(const QDBusMessage& call) {
    const QString member = call.member();
    const QDBusObjectPath none(QStringLiteral("/"));
    if (member == "OpenSession") {
        if (Arg<QString>(call, 0) != "plain") {
            return call.createErrorReply("org.freedesktop.DBus.Error.NotSupported", "plain sessions only");
        }
        return call.createReply(
            {V(QDBusVariant(QString())), V(QDBusObjectPath("/org/freedesktop/secrets/s/1"))});
    }
    if (member == "CreateItem") {
        return CreateItem(call);
    }
    if (member == "SearchItems") {
        const Paths found = Search(Arg<Strings>(call, 0));
        return call.createReply({V(locked ? Paths() : found), V(locked ? found : Paths())});
    }
    if (member == "GetSecrets") {
        FakeSecrets found;
        for (const QDBusObjectPath& path : Arg<Paths>(call, 0)) {
            if (secrets.count(path.path()) != 0 && !locked) {
                found[path] = {Arg<QDBusObjectPath>(call, 1), {}, secrets[path.path()], "text/plain"};
            }
        }
        return call.createReply(V(found));
    }
    if (member == "Unlock") {
        return AskPrompter(call, {V(Arg<Paths>(call, 0)), V(none)});
    }
    if (member == "Prompt") {
        // The answer to Prompt goes first; "Completed" (dismissed) follows once the user has
        // answered, its result typed by what the prompt was for: unlocked objects, or an item.
        QDBusMessage completed =
            QDBusMessage::createSignal(call.path(), "org.freedesktop.Secret.Prompt", "Completed");
        completed << true << V(QDBusVariant(m_unlockPrompts[call.path()] ? V(Paths()) : V(none)));
        QMetaObject::invokeMethod(
            this, [this, completed] { Send(completed); }, Qt::QueuedConnection);
        return call.createReply();
    }
    if (member == "Delete") {  // a locked item is never offered for deleting
        attributes.erase(call.path());
        secrets.erase(call.path());
        return call.createReply(V(none));
    }
    return call.createErrorReply(QDBusError::UnknownMethod, member);
}

QDBusMessage SecretServiceServer::CreateItem(const QDBusMessage& call) {
    if (vanishAfterCreating && (*vanishAfterCreating)-- == 0) {
        QMetaObject::invokeMethod(this, &SecretServiceServer::Vanish, Qt::QueuedConnection);
        return {};
    }
    if (locked) {
        return AskPrompter(call, {});
    }
    const QVariantMap properties = Arg<QVariantMap>(call, 0);
    const auto wanted = qdbus_cast<Strings>(properties.value("org.freedesktop.Secret.Item.Attributes"));
    const Paths existing = Search(wanted);
    const QString path = existing.isEmpty() || !Arg<bool>(call, 2)
                             ? QStringLiteral("%1/%2").arg(kCollection).arg(m_next++)
                             : existing.first().path();
    attributes[path] = wanted;
    secrets[path] = Arg<FakeSecret>(call, 1).value;
    return call.createReply({V(QDBusObjectPath(path)), V(QDBusObjectPath("/"))});
}

// With the collection locked: the caller gets a prompt to show, or with no prompter, nothing
// unlocked (Unlock) or an error (anything else). Unlocked, `answer` goes back as it is.
QDBusMessage SecretServiceServer::AskPrompter(const QDBusMessage& call, const QList<QVariant>& answer) {
    if (!locked) {
        return call.createReply(answer);
    }
    const bool unlocking = call.member() == "Unlock";
    if (prompter == Prompter::None && !unlocking) {
        return call.createErrorReply("org.freedesktop.Secret.Error.IsLocked", "the collection is locked");
    }
    const QString prompt =
        prompter == Prompter::None ? "/" : QStringLiteral("%1/prompt/%2").arg(kRoot).arg(m_next++);
    m_unlockPrompts[prompt] = unlocking;
    return call.createReply({unlocking ? V(Paths()) : V(QDBusObjectPath("/")), V(QDBusObjectPath(prompt))});
}
