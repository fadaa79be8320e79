#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

// One running copy per account file, so that two copies never save over each other's changes.
// The running copy holds a lock among the user's runtime files and listens on a local socket, both
// where only this user can write (on Windows a pipe named after the user); a second start finds
// the lock, asks the running copy to show its window, and ends. A lock left by a copy that died
// is taken over. Copies with other account files do not meet.
class CSingleInstance : public QObject {
    Q_OBJECT

public:
    explicit CSingleInstance(const QString& accountFile, QObject* parent = nullptr);

    // Becomes the running copy; false when another copy already is. A lock that cannot be made
    // at all (no private folder for it) lets this copy run rather than none.
    bool TakeOver();

    // Asks the running copy to show its window, waiting at most `timeoutMs` for its answer.
    bool AskRunningCopyToShow(int timeoutMs = 2000);

signals:
    void showRequested();

private:
    void OnConnection();

    QString m_socketName;
    QLockFile m_lock;
    QLocalServer m_server;
};

// A second start: asks the running copy to show its window. When it does not answer, says so in a
// message box. Returns the process's exit status: 0, or 1 when nothing answered.
int HandOverToRunningCopy(CSingleInstance& instance, const QString& accountFile);
