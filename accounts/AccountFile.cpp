#include "accounts/AccountFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "accounts/AccountCsv.h"

namespace {

constexpr char kFileName[] = "ACCOUNT.CSV";

bool IsWritableFolder(const QString& dir) {
    const QFileInfo info(dir);
    return info.isDir() && info.isWritable();
}

// An installed copy (bin/quillpost beside share/quillpost) never keeps its accounts in the
// system's program folder, even when run by a user who could write there.
bool IsInstalledCopy(const QString& executableDir) {
    return QFileInfo(QDir(executableDir).filePath("../share/quillpost")).isDir();
}

}  // namespace

QString AccountFilePath(const QString& executableDir, const QString& perUserDir) {
    const QString beside = QDir(executableDir).filePath(kFileName);
    const bool folderTakesIt = IsWritableFolder(executableDir) && !IsInstalledCopy(executableDir);
    if (QFileInfo::exists(beside) || folderTakesIt || perUserDir.isEmpty()) {
        return beside;
    }
    return QDir(perUserDir).filePath(kFileName);
}

QString AccountFilePathForThisProgram() {
    return AccountFilePath(QCoreApplication::applicationDirPath(),
                           QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

void LoadAccounts(const QString& path, CAccountList& list) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    QByteArray bytes;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0) {
            // Only the lines read completely before the error count.
            bytes.truncate(bytes.lastIndexOf('\n') + 1);
            break;
        }
        if (got == 0) {
            break;
        }
        bytes.append(chunk, got);
    }
    ParseAccountFile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), list);
}

bool SaveAccounts(const QString& path, const CAccountList& list) {
    const bool isNew = !QFileInfo::exists(path);
    if (isNew) {
        QDir().mkpath(QFileInfo(path).absolutePath());
    }
    QSaveFile file(path);
    file.setDirectWriteFallback(false);  // never write the real file in place
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (isNew && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return false;
    }
    const std::string text = FormatAccountFile(list);
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
