#pragma once
// A program a test runs: started at once, its output (standard error merged in, unless forwarded)
// collected, its end awaited, and killed should the test be done with it first. As the worker
// user, a test running as root starts it as the unprivileged user 65534 instead (Linux), so that
// file permissions hold for it; the program then runs from a copy that user can reach.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ChildOptions {
    QString folder{};                   // working folder; empty: the test's own
    QProcessEnvironment environment{};  // empty: the test's own
    bool asWorkerUser = false;
    bool forwardErrors = false;  // standard error to the test's own, not into Output()
};

class ChildProcess {
public:
    ChildProcess(const QString& program, const QStringList& arguments, const ChildOptions& options = {});
    ~ChildProcess() { Kill(); }

    bool Started() const { return m_started; }
    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 Pid() const { return m_process.processId(); }

    // Whether the next line it writes is `line` (without its line end), within `timeoutMs`.
    bool ReadsLine(const QByteArray& line, int timeoutMs = 10000);
    // Runs the event loop meanwhile.
    bool WaitUntilEnded(int timeoutMs = 10000);
    void Kill();

    // Once it has ended: whether a signal ended it, and its exit code (the signal's number then).
    bool Crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    int ExitCode() const { return m_process.exitCode(); }
    // Everything it wrote that no ReadsLine took.
    QByteArray Output() { return m_process.readAll(); }

    // Who the worker user is: 65534 for a test running as root, else the test's own user.
    static uint WorkerUid();

private:
    QProcess m_process;
    bool m_started = false;
};

// Runs a program to its end, `timeoutMs` at most: whether it ended on its own with status 0, and
// what it wrote.
struct ChildRun {
    bool succeeded = false;
    int exitCode = -1;
    QByteArray output;
};
ChildRun RunChild(const QString& program, const QStringList& arguments, const ChildOptions& options = {},
                  int timeoutMs = 30000);
