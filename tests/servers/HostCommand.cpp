#include "tests/servers/HostCommand.h"

#include <stdexcept>

#include "tests/support/ChildProcess.h"

#ifdef Q_OS_WIN
#include <windows.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#endif

namespace {

std::string Describe(const QString& program, const QStringList& arguments) {
    return (program + ' ' + arguments.join(' ')).toStdString();
}

}  // namespace

#ifndef Q_OS_WIN

QByteArray RunHostCommand(const QString& program, const QStringList& arguments, const QString& folder,
                          int timeoutMs) {
    const ChildRun run = RunChild(program, arguments, {.folder = folder}, timeoutMs);
    if (!run.succeeded) {
        throw std::runtime_error(Describe(program, arguments) + " failed: " + run.output.toStdString());
    }
    return run.output;
}

QString HostPath(const QString& path) {
    return path;
}

#else

// wine hands a Linux program no handle to wait on, so a shell around it leaves the exit status
// in a file, written under another name first so that it appears whole.
QByteArray RunHostCommand(const QString& program, const QStringList& arguments, const QString& folder,
                          int timeoutMs) {
    QTemporaryDir status;
    if (!status.isValid()) {
        throw std::runtime_error("no folder for " + Describe(program, arguments));
    }
    const QString out = HostPath(status.filePath("out"));
    const QString done = HostPath(status.filePath("status"));
    const QString script = QStringLiteral(
        "out=$1 done=$2; (cd \"$3\" && shift 3 && exec \"$@\") >\"$out\" 2>&1; "
        "echo $? >\"$done.new\"; mv \"$done.new\" \"$done\"");
    QStringList shellArguments{
        "-c", script, "sh", out, done, folder.isEmpty() ? QStringLiteral("/") : HostPath(folder), program};
    shellArguments += arguments;
    if (!QProcess::startDetached(QStringLiteral("Z:\\bin\\sh"), shellArguments)) {
        throw std::runtime_error("cannot start " + Describe(program, arguments) + " under wine");
    }
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(status.filePath("status"))) {
        if (waited.elapsed() > timeoutMs) {
            throw std::runtime_error(Describe(program, arguments) + " did not end");
        }
        QThread::msleep(10);
    }
    QFile statusFile(status.filePath("status"));
    QFile outFile(status.filePath("out"));
    const bool read = statusFile.open(QIODevice::ReadOnly) && outFile.open(QIODevice::ReadOnly);
    const QByteArray output = read ? outFile.readAll() : QByteArray();
    if (!read || statusFile.readAll().trimmed() != "0") {
        throw std::runtime_error(Describe(program, arguments) + " failed: " + output.toStdString());
    }
    return output;
}

QString HostPath(const QString& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    static const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) {
        throw std::runtime_error("the host's programs are reached only under wine");
    }
    const std::wstring native = QDir::toNativeSeparators(QDir(path).absolutePath()).toStdWString();
    char* name = unixName(native.c_str());
    if (name == nullptr) {
        throw std::runtime_error("no host name for " + path.toStdString());
    }
    const QString host = QString::fromLocal8Bit(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return host;
}

#endif
