#include "app/SessionEnd.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_signalFds[2] = {-1, -1};  // [0] read by the event loop, [1] written by the handler

void OnSignal(int signal) {
    const int savedErrno = errno;
    const char number = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalFds[1], &number, 1);
    errno = savedErrno;
}

}  // namespace
#endif

CSessionEnd::CSessionEnd(QObject* parent) : QObject(parent) {
    // The session manager asks for the data to be saved before it ends the session.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, &CSessionEnd::OnLogoutBegun);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
#ifdef Q_OS_UNIX
    if (g_signalFds[0] != -1 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_signalFds) != 0) {
        qWarning("quillpost: cannot watch for the end of the session");
        return;
    }
    m_notifier = new QSocketNotifier(g_signalFds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CSessionEnd::OnSignalPending);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals) {
        sigaction(signal, &action, nullptr);
    }
#endif
}

CSessionEnd::~CSessionEnd() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
#ifdef Q_OS_UNIX
    if (m_notifier == nullptr) {
        return;
    }
    for (int signal : kSignals) {
        std::signal(signal, SIG_DFL);
    }
    delete m_notifier;
    ::close(g_signalFds[0]);
    ::close(g_signalFds[1]);
    g_signalFds[0] = g_signalFds[1] = -1;
#endif
}

void CSessionEnd::OnSignalPending() {
#ifdef Q_OS_UNIX
    char numbers[16];
    while (::read(g_signalFds[0], numbers, sizeof numbers) > 0) {
    }
#endif
    m_signalled = true;
    emit endRequested();
}

void CSessionEnd::OnLogoutBegun() {
    if (!m_logoutUnderWay) {
        m_logoutUnderWay = true;
        QCoreApplication::instance()->installEventFilter(this);
    }
}

void CSessionEnd::OnLogoutOver() {
    m_logoutUnderWay = false;
    QCoreApplication::instance()->removeEventFilter(this);
}

bool CSessionEnd::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress:
            OnLogoutOver();
            break;
        default:
            break;
    }
    return false;
}

bool CSessionEnd::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
#ifdef Q_OS_WIN
    const auto* msg = static_cast<const MSG*>(message);
    // The end of the session was cancelled (by the user, or by another program refusing it).
    if (eventType == "windows_generic_MSG" && msg->message == WM_ENDSESSION && msg->wParam == FALSE) {
        OnLogoutOver();
    }
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}
