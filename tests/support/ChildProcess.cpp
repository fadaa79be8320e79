#include "tests/support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
constexpr uid_t kUnprivileged = 65534;

bool IsRoot() {
    return geteuid() == 0;
}

// The build folder may lie in a home folder the worker user cannot enter: root starts a copy from
// a folder anyone can.
QString StartableByWorker(const QString& program) {
    static QTemporaryDir folder;
    const QString copy = folder.filePath(QFileInfo(program).fileName());
    if (!QFile::exists(copy)) {
        const auto everyone = QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup;
        QFile::setPermissions(folder.path(), QFile::permissions(folder.path()) | everyone);
        QFile::copy(program, copy);
        QFile::setPermissions(copy, QFile::permissions(copy) | everyone);
    }
    return copy;
}
#endif

}  // namespace

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments,
                           const ChildOptions& options) {
    QString startable = program;
#ifdef Q_OS_UNIX
    if (options.asWorkerUser && IsRoot()) {
        startable = StartableByWorker(program);
        // Runs in the child between fork and exec; a failed drop must never run the program as root.
        m_process.setChildProcessModifier([] {
            if (setgroups(0, nullptr) != 0 || setgid(kUnprivileged) != 0 || setuid(kUnprivileged) != 0) {
                _exit(126);
            }
        });
    }
#endif
    m_process.setWorkingDirectory(options.folder);
    if (!options.environment.isEmpty()) {
        m_process.setProcessEnvironment(options.environment);
    }
    m_process.setProcessChannelMode(options.forwardErrors ? QProcess::ForwardedErrorChannel
                                                          : QProcess::MergedChannels);
    m_process.start(startable, arguments);
    m_started = m_process.waitForStarted(10000);
}

bool ChildProcess::ReadsLine(const QByteArray& line, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() ||
            !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    return m_process.readLine() == line + '\n';
}

bool ChildProcess::WaitUntilEnded(int timeoutMs) {
    // From the event loop: the program may be waiting for an answer from this process.
    return QTest::qWaitFor([this] { return !IsRunning(); }, timeoutMs);
}

void ChildProcess::Kill() {
    if (IsRunning()) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

uint ChildProcess::WorkerUid() {
#ifdef Q_OS_UNIX
    return IsRoot() ? kUnprivileged : geteuid();
#else
    return 0;
#endif
}

ChildRun RunChild(const QString& program, const QStringList& arguments, const ChildOptions& options,
                  int timeoutMs) {
    ChildProcess child(program, arguments, options);
    ChildRun run;
    if (child.Started() && child.WaitUntilEnded(timeoutMs) && !child.Crashed()) {
        run.exitCode = child.ExitCode();
        run.succeeded = run.exitCode == 0;
    }
    run.output = child.Output();
    return run;
}
