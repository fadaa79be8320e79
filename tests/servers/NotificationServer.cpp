#include "tests/servers/NotificationServer.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QSize>

namespace {
constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr uint kClosedByCall = 3;
}  // namespace

NotificationServer::NotificationServer()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                          QStringLiteral("test-notification-server"))) {}

NotificationServer::~NotificationServer() {
    Stop();
    QDBusConnection::disconnectFromBus(QStringLiteral("test-notification-server"));
}

bool NotificationServer::Start() {
    return m_bus.isConnected() &&
           m_bus.registerObject(kPath, this,
                                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
           m_bus.registerService(kService);
}

void NotificationServer::Stop() {
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
}

void NotificationServer::InvokeAction(uint id, const QString& action) {
    emit ActionInvoked(id, action);
}

uint NotificationServer::Notify(const QString& app_name, uint replaces_id, const QString& app_icon,
                                const QString& summary, const QString& body, const QStringList& actions,
                                const QVariantMap& hints, int expire_timeout) {
    const uint id = replaces_id != 0 ? replaces_id : ++m_lastId;
    notifies.push_back({app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout, id});
    return id;
}

void NotificationServer::CloseNotification(uint id) {
    closes.push_back(id);
    emit NotificationClosed(id, kClosedByCall);
}

QStringList NotificationServer::GetCapabilities() {
    return {QStringLiteral("actions"), QStringLiteral("body")};
}

QString NotificationServer::GetServerInformation(QString& vendor, QString& version, QString& spec_version) {
    vendor = QStringLiteral("tests");
    version = QStringLiteral("1");
    spec_version = QStringLiteral("1.2");
    return QStringLiteral("test-notification-server");
}

QSize NotificationServer::ImageSize(const Received& call) {
    const QVariant image = call.hints.value(QStringLiteral("image-data"));
    if (!image.canConvert<QDBusArgument>()) {
        return {};
    }
    const QDBusArgument argument = image.value<QDBusArgument>();
    int width = 0;
    int height = 0;
    int rowStride = 0;
    bool hasAlpha = false;
    int bitsPerSample = 0;
    int channels = 0;
    QByteArray pixels;
    // Read to the end: a structure left open keeps its reader alive.
    argument.beginStructure();
    argument >> width >> height >> rowStride >> hasAlpha >> bitsPerSample >> channels >> pixels;
    argument.endStructure();
    return pixels.size() == rowStride * height ? QSize(width, height) : QSize();
}

QString NotificationServer::Describe(const Received& call) {
    const QSize image = ImageSize(call);
    return QStringLiteral(
               "Notify #%1 (replaces %2)\napp_name: %3\napp_icon: %4\nsummary: %5\nbody: %6\nactions: %7\n"
               "hints: desktop-entry=%8, image-data %9x%10\nexpire_timeout: %11")
        .arg(call.id)
        .arg(call.replacesId)
        .arg(call.appName, call.appIcon, call.summary, call.body, call.actions.join(QStringLiteral(", ")),
             call.hints.value(QStringLiteral("desktop-entry")).toString())
        .arg(image.width())
        .arg(image.height())
        .arg(call.expireTimeout);
}
