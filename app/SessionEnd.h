#pragma once

#include <QObject>

class QSocketNotifier;

// Notices that the desktop session is ending the program, so that it can end as "終了" ends it,
// with the exit save: SIGTERM, SIGHUP and SIGINT on Unix, and the session manager's request to
// save (which Windows' end of session also arrives as). A signal handler may not call Qt: it
// only writes the signal's number to a socket pair that the event loop watches.
class CSessionEnd : public QObject {
    Q_OBJECT

public:
    // One at a time: the signal handlers are the process's.
    explicit CSessionEnd(QObject* parent = nullptr);
    ~CSessionEnd() override;

    // Whether the session is ending: nobody may be there to answer a question any more.
    bool IsEnding() const { return m_ending; }

signals:
    // A signal asked the program to end.
    void endRequested();

private:
    void OnSignalPending();

    bool m_ending = false;
    QSocketNotifier* m_notifier = nullptr;
};
