// The account file where the user may not read it, or may write it but not the folder around it.
// Permissions do not stop root, so the part under test runs in a child process that has dropped
// to the unprivileged user 65534 (when the tests run as root) before it starts.
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "accounts/AccountCsv.h"
#include "tests/accounts/SaveWorkerLists.h"
#include "tests/support/TempDir.h"

namespace {

constexpr uid_t kUnprivileged = 65534;

uid_t WorkerUid() {
    return geteuid() == 0 ? kUnprivileged : geteuid();
}

struct Finished {
    int status = -1;
    QString out;
};

// The program where the worker user can start it: the build folder may lie in a home folder that
// user cannot enter, so root starts a copy from a folder anyone can.
std::string Startable(const std::string& program) {
    if (geteuid() != 0) {
        return program;
    }
    static QTemporaryDir folder;
    const QString copy = folder.filePath(QFileInfo(QString::fromStdString(program)).fileName());
    if (!QFile::exists(copy)) {
        chmod(QFile::encodeName(folder.path()).constData(), 0755);
        QFile::copy(QString::fromStdString(program), copy);
        chmod(QFile::encodeName(copy).constData(), 0755);
    }
    return QFile::encodeName(copy).toStdString();
}

// Runs a program as the worker user and collects its standard output (ten seconds at most).
Finished RunAsWorkerUser(std::vector<std::string> args) {
    args[0] = Startable(args[0]);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kUnprivileged) != 0 || setuid(kUnprivileged) != 0)) {
            _exit(126);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    Finished finished;
    QByteArray bytes;
    pollfd fd{out[0], POLLIN, 0};
    char chunk[4096];
    while (poll(&fd, 1, 10'000) == 1) {
        const ssize_t got = read(out[0], chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        bytes.append(chunk, got);
    }
    close(out[0]);
    waitpid(pid, &finished.status, 0);
    finished.out = QString::fromUtf8(bytes);
    return finished;
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

QByteArray ListBytes(int count, const char* tag) {
    const std::string text = FormatAccountFile(SaveWorkerList(count, tag));
    return QByteArray::fromStdString(text);
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

QString Line(const QString& out, const QString& key) {
    for (const QString& line : out.split('\n')) {
        if (line.startsWith(key + ' ')) {
            return line.mid(key.size() + 1);
        }
    }
    return QStringLiteral("<no %1 line>").arg(key);
}

TEST(AccountFileAccess, AFileThatCannotBeReadIsNeverReplacedWithoutBeingKept) {
    TempDir dir;
    // The worker may change the folder, but not read the file in it.
    const QString folder = Folder(dir, "accounts", WorkerUid(), 0700);
    ASSERT_FALSE(folder.isEmpty());
    const QString path = QDir(folder).filePath("ACCOUNT.CSV");
    const QByteArray old = ListBytes(3, "old");
    ASSERT_TRUE(PutFile(path, old, geteuid(), 0000));

    // Saved with nothing changed: the file stays as it is.
    Finished first = RunAsWorkerUser({STORE_WORKER_PATH, path.toStdString()});
    ASSERT_EQ(first.status, 0) << first.out.toStdString();
    EXPECT_EQ(Line(first.out, "read"), "Incomplete Permission denied");
    EXPECT_EQ(Line(first.out, "save"), "1 ");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"ACCOUNT.CSV"});

    // Saved with an account added: the unread file is kept under its new name first.
    Finished second = RunAsWorkerUser({STORE_WORKER_PATH, path.toStdString(), "carol"});
    ASSERT_EQ(second.status, 0) << second.out.toStdString();
    EXPECT_EQ(Line(second.out, "save"), "1 ");
    const QString kept = Line(second.out, "kept");
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
    ASSERT_TRUE(PutFile(path, ListBytes(2, "old"), WorkerUid(), 0600));
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);

    Finished run = RunAsWorkerUser({SAVE_WORKER_PATH, path.toStdString(), "3", "new"});
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << "the save reported failure";
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), ListBytes(3, "new"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"ACCOUNT.CSV"});
    EXPECT_EQ(QFileInfo(path).ownerId(), WorkerUid());
    EXPECT_EQ(QFileInfo(path).permissions() & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

}  // namespace
