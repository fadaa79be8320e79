#include "accounts/AccountFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "accounts/AccountCsv.h"
#include "accounts/InstalledCopy.h"
#include "accounts/OwnerOnlyAccess.h"

namespace {

constexpr char kFileName[] = "ACCOUNT.CSV";

// Only creating a file tells: permission bits say nothing of Windows' access lists, a read-only
// mount or a folder redirected elsewhere.
bool IsWritableFolder(const QString& dir) {
    if (!QFileInfo(dir).isDir()) {
        return false;
    }
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral("quillpost-write-test-XXXXXX")));
    return probe.open();
}

// Windows' folders for installed programs are never written, even by a user who could.
bool IsSystemProgramFolder(const QString& executableDir) {
#ifdef Q_OS_WIN
    const QString dir = QFileInfo(executableDir).absoluteFilePath();
    for (const char* variable : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        const QString root = qEnvironmentVariable(variable);
        if (root.isEmpty()) {
            continue;
        }
        const QString relative = QDir(root).relativeFilePath(dir);
        const bool outside = relative == QLatin1String("..") || relative.startsWith(QLatin1String("../"));
        if (!outside && !QDir::isAbsolutePath(relative)) {
            return true;
        }
    }
#else
    Q_UNUSED(executableDir);
#endif
    return false;
}

// An installed copy never keeps its accounts in the system's program folder, even when run by a
// user who could write there.
bool IsInstalledCopy(const QString& executableDir) {
    return !InstalledDataFolder(executableDir).isEmpty();
}

bool Failed(QString* reason, const QString& why) {
    if (reason != nullptr) {
        *reason = why;
    }
    return false;
}

// Writes `bytes` over the file's old contents. Should the write stop part-way (a full disk, a
// quota), the old contents go back, so the file is never left half old and half new.
bool RewriteInPlace(const QString& path, const QByteArray& bytes, QString* reason) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        return Failed(reason, file.errorString());
    }
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return Failed(reason, file.errorString());
    }
    if (file.seek(0) && file.write(bytes) == bytes.size() && file.flush() && file.resize(bytes.size())) {
        return true;
    }
    const QString why = file.errorString();
    file.seek(0);
    file.write(old);
    file.flush();
    file.resize(old.size());
    return Failed(reason, why);
}

bool WriteAccounts(const QString& path, const CAccountList& list, QString* reason);

}  // namespace

QString AccountFilePath(const QString& executableDir, const QString& perUserDir) {
    const QString beside = QDir(executableDir).filePath(kFileName);
    const QString perUser = QDir(perUserDir).filePath(kFileName);
    if (perUserDir.isEmpty()) {
        return beside;
    }
    if (IsSystemProgramFolder(executableDir)) {
        return perUser;
    }
    const bool folderTakesIt = IsWritableFolder(executableDir) && !IsInstalledCopy(executableDir);
    return QFileInfo::exists(beside) || folderTakesIt ? beside : perUser;
}

QString AccountFilePathForThisProgram() {
    return AccountFilePath(QCoreApplication::applicationDirPath(),
                           QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

AccountFileRead LoadAccounts(const QString& path, CAccountList& list) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path)) {
            return {AccountFileRead::Result::Missing, {}};
        }
        return {AccountFileRead::Result::Incomplete, file.errorString()};
    }
    AccountFileRead read;
    QByteArray bytes;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0) {
            // Only the lines read completely before the error count.
            bytes.truncate(bytes.lastIndexOf('\n') + 1);
            read = {AccountFileRead::Result::Incomplete, file.errorString()};
            break;
        }
        if (got == 0) {
            break;
        }
        bytes.append(chunk, got);
    }
    ParseAccountFile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), list);
    return read;
}

bool SaveAccounts(const QString& path, const CAccountList& list, QString* reason) {
    if (!WriteAccounts(path, list, reason)) {
        return false;
    }
    // It holds passwords: on Windows the folder's access list would otherwise reach it. A file
    // system without access lists keeps the file as it is.
    RestrictToOwner(path);
    return true;
}

namespace {

bool WriteAccounts(const QString& path, const CAccountList& list, QString* reason) {
    const std::string text = FormatAccountFile(list);
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    const bool isNew = !QFileInfo::exists(path);
    if (isNew) {
        QDir().mkpath(QFileInfo(path).absolutePath());
    }
    QSaveFile file(path);
    file.setDirectWriteFallback(false);  // only when the folder refuses the temporary file, below
    if (!file.open(QIODevice::WriteOnly)) {
        if (!isNew) {
            // A read-only folder holding a writable file: the file was always written in place.
            return RewriteInPlace(path, bytes, reason);
        }
        return Failed(reason, file.errorString());
    }
    if (isNew && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Failed(reason, why);
    }
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Failed(reason, why);
    }
    return file.commit() || Failed(reason, file.errorString());
}

}  // namespace
