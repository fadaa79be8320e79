// The account file where the user may not read it, or may write it but not the folder around it.
// Permissions do not stop root, so the part under test runs in a child process as the worker user
// (the unprivileged user 65534 when the tests run as root).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>

#include "tests/accounts/SaveWorkerLists.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace {

// Runs a worker program as the worker user; what it printed, and whether it ended with status 0.
ChildRun RunAsWorkerUser(const char* program, const QStringList& arguments) {
    return RunChild(QString::fromUtf8(program), arguments, {.asWorkerUser = true}, 10000);
}

// A folder inside a temporary folder that the worker user can reach.
QString Folder(const TempDir& dir, const char* name, uid_t owner, mode_t mode) {
    const QString path = dir.file(name);
    if (chmod(QFile::encodeName(dir.path()).constData(), 0755) != 0 || !QDir().mkpath(path)) {
        return {};
    }
    const QByteArray native = QFile::encodeName(path);
    if ((geteuid() == 0 && chown(native.constData(), owner, owner) != 0) ||
        chmod(native.constData(), mode) != 0) {
        return {};
    }
    return path;
}

bool PutFile(const QString& path, const QByteArray& bytes, uid_t owner, mode_t mode) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return false;
    }
    file.close();
    const QByteArray native = QFile::encodeName(path);
    return (geteuid() != 0 || chown(native.constData(), owner, owner) == 0) &&
           chmod(native.constData(), mode) == 0;
}

QString Line(const QByteArray& out, const QString& key) {
    for (const QString& line : QString::fromUtf8(out).split('\n')) {
        if (line.startsWith(key + ' ')) {
            return line.mid(key.size() + 1);
        }
    }
    return QStringLiteral("<no %1 line>").arg(key);
}

TEST(AccountFileAccess, AFileThatCannotBeReadIsNeverReplacedWithoutBeingKept) {
    TempDir dir;
    // The worker may change the folder, but not read the file in it.
    const QString folder = Folder(dir, "accounts", ChildProcess::WorkerUid(), 0700);
    ASSERT_FALSE(folder.isEmpty());
    const QString path = QDir(folder).filePath("ACCOUNT.CSV");
    const QByteArray old = SaveWorkerListBytes(3, "old");
    ASSERT_TRUE(PutFile(path, old, geteuid(), 0000));

    // Saved with nothing changed: the file stays as it is.
    const ChildRun first = RunAsWorkerUser(STORE_WORKER_PATH, {path});
    ASSERT_TRUE(first.succeeded) << first.output.toStdString();
    EXPECT_EQ(Line(first.output, "read"), "Incomplete Permission denied");
    EXPECT_EQ(Line(first.output, "save"), "1 ");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"ACCOUNT.CSV"});

    // Saved with an account added: the unread file is kept under its new name first.
    const ChildRun second = RunAsWorkerUser(STORE_WORKER_PATH, {path, "carol"});
    ASSERT_TRUE(second.succeeded) << second.output.toStdString();
    EXPECT_EQ(Line(second.output, "save"), "1 ");
    const QString kept = Line(second.output, "kept");
    EXPECT_TRUE(kept.startsWith(path + ".unreadable-")) << kept.toStdString();
    // Kept as it was, unreadable even to its owner: the test, when it is no root, must allow itself.
    ASSERT_TRUE(QFile::setPermissions(kept, QFile::ReadOwner));
    QFile keptFile(kept);
    ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(keptFile.readAll(), old);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "carol,,,60,0,0,,0,0,,,0\r\n");
}

TEST(AccountFileAccess, AWritableFileInAFolderThatTakesNoNewFileIsRewrittenInPlace) {
    TempDir dir;
    const QString folder = Folder(dir, "program", geteuid(), 0755);
    ASSERT_FALSE(folder.isEmpty());
    const QString path = QDir(folder).filePath("ACCOUNT.CSV");
    ASSERT_TRUE(PutFile(path, SaveWorkerListBytes(2, "old"), ChildProcess::WorkerUid(), 0600));
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);

    const ChildRun run = RunAsWorkerUser(SAVE_WORKER_PATH, {path, "3", "new"});
    ASSERT_NE(run.exitCode, -1) << "the save worker did not end on its own";
    EXPECT_EQ(run.exitCode, 0) << "the save reported failure";
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), SaveWorkerListBytes(3, "new"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"ACCOUNT.CSV"});
    EXPECT_EQ(QFileInfo(path).ownerId(), ChildProcess::WorkerUid());
    EXPECT_EQ(QFileInfo(path).permissions() & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

}  // namespace
