#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

class QSocketNotifier;

// Notices that the desktop session is ending the program, so that it can end as "終了" ends it,
// with the exit save: SIGTERM, SIGHUP and SIGINT on Unix, and the session manager's request to
// save (which Windows' end of session also arrives as). A signal handler may not call Qt: it
// only writes the signal's number to a socket pair that the event loop watches.
class CSessionEnd : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // One at a time: the signal handlers are the process's.
    explicit CSessionEnd(QObject* parent = nullptr);
    ~CSessionEnd() override;

    // Whether the session is ending: nobody may be there to answer a question any more.
    bool IsEnding() const { return m_signalled || m_logoutUnderWay; }

    // The session manager asks for the data to be saved: a logout has begun. It ends without
    // ending the program when it is cancelled (Windows says so; X11 session managers do not tell
    // Qt) or when the user works with the program again, which no logout under way lets happen.
    void OnLogoutBegun();

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // A signal asked the program to end.
    void endRequested();

private:
    void OnSignalPending();
    void OnLogoutOver();

    bool m_signalled = false;
    bool m_logoutUnderWay = false;
    QSocketNotifier* m_notifier = nullptr;
};
