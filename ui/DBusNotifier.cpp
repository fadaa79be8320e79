#include "ui/DBusNotifier.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>
#include <QTimer>

#include "check/AccountIcon.h"
#include "check/TrayNotifier.h"
#include "res/Strings.h"

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
constexpr char kDefaultAction[] = "default";
constexpr int kImageSize = 48;
// How long the end waits for the service's answers; a service that is gone answers in no time.
constexpr int kEndWaitMs = 3000;

// The "image-data" hint: raw RGBA rows, as the notification service takes a picture that is not
// an installed icon (the program's icons are compiled in).
struct NotificationImage {
    QImage image;
};

QDBusArgument& operator<<(QDBusArgument& argument, const NotificationImage& picture) {
    const QImage rgba = picture.image.convertToFormat(QImage::Format_RGBA8888);
    argument.beginStructure();
    argument << rgba.width() << rgba.height() << static_cast<int>(rgba.bytesPerLine()) << true << 8 << 4
             << QByteArray(reinterpret_cast<const char*>(rgba.constBits()), rgba.sizeInBytes());
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, NotificationImage&) {
    return argument;  // never read back: the program only sends pictures
}

}  // namespace

Q_DECLARE_METATYPE(NotificationImage)

CDBusNotifier::CDBusNotifier(QDBusConnection bus, QObject* parent)
    : CDesktopNotifier(parent), m_bus(std::move(bus)) {
    qDBusRegisterMetaType<NotificationImage>();
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(OnNotificationClosed(uint, uint)));
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &CDBusNotifier::WithdrawAll);
}

void CDBusNotifier::WithdrawAll() {
    m_ended = true;
    for (const int key : m_notices.keys()) {
        Withdraw(key);  // one still waiting for its id is closed once the id comes
    }
    QEventLoop wait;
    m_endWait = &wait;
    QTimer::singleShot(kEndWaitMs, &wait, &QEventLoop::quit);
    if (m_unanswered > 0) {
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void CDBusNotifier::Show(int key, const QString& title, const QString& text) {
    if (m_ended) {
        return;
    }
    Notice& notice = m_notices[key];
    if (notice.waiting) {
        notice.next = Content{title, text};
        notice.withdrawNext = false;
        return;
    }
    Send(key, {title, text});
}

void CDBusNotifier::Withdraw(int key) {
    const auto found = m_notices.find(key);
    if (found == m_notices.end()) {
        return;
    }
    if (found->waiting) {
        found->next.reset();
        found->withdrawNext = true;
        return;
    }
    Close(found->id);
    m_notices.erase(found);
}

void CDBusNotifier::Send(int key, const Content& content) {
    Notice& notice = m_notices[key];
    notice.waiting = true;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QImage picture = BuiltinIcon(IconId::kMail).pixmap(kImageSize, kImageSize).toImage();
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("quillpost")},
        {QStringLiteral("image-data"), QVariant::fromValue(NotificationImage{picture})},
    };
    call << Str::Text(Str::kAppName) << notice.id << QStringLiteral("quillpost") << content.title
         << content.text << QStringList{kDefaultAction, Str::Text(Str::kAppName)} << hints << -1;
    Call(call, [this, key](const QDBusPendingCall& answer) {
        const QDBusPendingReply<uint> reply = answer;
        OnSent(key, reply.isValid() ? std::optional<uint>(reply.value()) : std::nullopt);
    });
}

void CDBusNotifier::Call(const QDBusMessage& call, std::function<void(const QDBusPendingCall&)> answered) {
    ++m_unanswered;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, answered](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                --m_unanswered;
                answered(*done);
                if (m_unanswered == 0 && m_endWait) {
                    m_endWait->quit();
                }
            });
}

void CDBusNotifier::OnSent(int key, std::optional<uint> id) {
    Notice& notice = m_notices[key];
    notice.waiting = false;
    if (id) {
        notice.id = *id;
    }
    if (notice.withdrawNext) {
        Withdraw(key);
    } else if (notice.next) {
        const Content next = *notice.next;
        notice.next.reset();
        Send(key, next);
    }
}

void CDBusNotifier::Close(uint id) {
    if (id == 0) {
        return;  // never shown (no service), nothing to take away
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    call << id;
    Call(call, [](const QDBusPendingCall&) {});
}

void CDBusNotifier::OnActionInvoked(uint id, const QString& action) {
    if (action != QLatin1String(kDefaultAction)) {
        return;
    }
    for (const Notice& notice : std::as_const(m_notices)) {
        if (notice.id == id) {
            BringOwnerBack();
            return;
        }
    }
}

void CDBusNotifier::OnNotificationClosed(uint id, uint) {
    // Closed by the user or expired: the next rise shows a new notification instead of reviving
    // an id the service has forgotten.
    for (Notice& notice : m_notices) {
        if (notice.id == id) {
            notice.id = 0;
        }
    }
}
