// ACCOUNT.CSV must survive the program dying at any moment of a save: another process saves a big
// list over the file and is killed part-way, and the file is then exactly the old list or the new.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "accounts/AccountCsv.h"
#include "accounts/AccountFile.h"
#include "tests/accounts/SaveWorkerLists.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;

constexpr int kOldCount = 2000;
constexpr int kNewCount = 3000;  // about 400 kB: a write long enough to be hit in the middle
#ifdef __SANITIZE_ADDRESS__
constexpr int kKillRuns = 100;  // each process starts several times slower
#else
constexpr int kKillRuns = 150;
#endif

QByteArray ListBytes(int count, const char* tag) {
    const std::string text = FormatAccountFile(SaveWorkerList(count, tag));
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// A save_worker process with its standard output on a pipe.
class SaveWorker {
public:
    explicit SaveWorker(const std::vector<std::string>& options) {
        std::vector<std::string> args{SAVE_WORKER_PATH};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);

        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_out = fds[0];
    }

    ~SaveWorker() {
        if (m_pid > 0) {
            Kill();
            Wait();
        }
        if (m_out >= 0) {
            close(m_out);
        }
    }

    bool Started() const { return m_pid > 0; }

    // True once the worker says it is about to save; false if it died first or took over 10 s.
    bool WaitUntilReady() { return WaitForLine("ready\n"); }

    // True once the worker says its save has returned.
    bool WaitUntilSaved() { return WaitForLine("saved\n"); }

    void Kill() { kill(m_pid, SIGKILL); }

    // Whether the worker has a file in `folder` open: the save's temporary file, while it writes.
    bool HasFileOpenIn(const QString& folder) const {
        const QDir fds(QString("/proc/%1/fd").arg(m_pid));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget().startsWith(folder + '/')) {
                return true;
            }
        }
        return false;
    }

    // The raw wait status.
    int Wait() {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }

private:
    bool WaitForLine(const std::string& expected) {
        pollfd fd{m_out, POLLIN, 0};
        if (poll(&fd, 1, 10'000) != 1) {
            return false;
        }
        std::string text(expected.size(), '\0');
        return read(m_out, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && text == expected;
    }

    pid_t m_pid = -1;
    int m_out = -1;
};

// The account file's folder, set up with the old list before each save.
class AccountFolder {
public:
    QString Path() const { return m_dir.file("ACCOUNT.CSV"); }

    void PutOldList(const QByteArray& bytes) const { m_dir.write("ACCOUNT.CSV", bytes); }

    QByteArray Read() const { return m_dir.read("ACCOUNT.CSV"); }

    QString Folder() const { return m_dir.path(); }

    // Removes whatever a killed save left beside the account file; returns how many there were.
    int RemoveLeftovers() const {
        QDir dir(m_dir.path());
        int removed = 0;
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
            if (name != "ACCOUNT.CSV") {
                removed += dir.remove(name) ? 1 : 0;
            }
        }
        return removed;
    }

    std::vector<std::string> SaveArgs(int count, const char* tag) const {
        return {Path().toStdString(), std::to_string(count), tag};
    }

private:
    TempDir m_dir;
};

// How long the worker's save takes, the slowest of a few runs.
microseconds MeasureSave(const AccountFolder& folder, const QByteArray& oldBytes) {
    microseconds slowest{0};
    for (int i = 0; i < 3; ++i) {
        folder.PutOldList(oldBytes);
        SaveWorker worker(folder.SaveArgs(kNewCount, "new"));
        if (!worker.Started() || !worker.WaitUntilReady()) {
            return microseconds{0};
        }
        const auto start = Clock::now();
        if (!worker.WaitUntilSaved()) {
            return microseconds{0};
        }
        slowest = std::max(slowest, std::chrono::duration_cast<microseconds>(Clock::now() - start));
        const int status = worker.Wait();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || folder.Read() != ListBytes(kNewCount, "new")) {
            return microseconds{0};
        }
    }
    return slowest;
}

TEST(AccountFileCrash, KilledAtAnyMomentOfASaveTheFileIsTheOldListOrTheNew) {
    const QByteArray oldBytes = ListBytes(kOldCount, "old");
    const QByteArray newBytes = ListBytes(kNewCount, "new");
    AccountFolder folder;
    const microseconds saveTime = MeasureSave(folder, oldBytes);
    ASSERT_GT(saveTime.count(), 0) << "the save worker does not run or does not save";
    folder.RemoveLeftovers();

    int keptOld = 0;
    int tookNew = 0;
    int leftovers = 0;      // files other than ACCOUNT.CSV that a killed save left in the folder
    int killedMidSave = 0;  // runs killed while the save's temporary file was open
    for (int run = 0; run < kKillRuns; ++run) {
        folder.PutOldList(oldBytes);
        // Kill times spread evenly over one and a half save times, so that they land before the
        // write, all through it, around the rename and after it.
        const microseconds delay{saveTime.count() * 3 * run / (2 * kKillRuns)};
        SaveWorker worker(folder.SaveArgs(kNewCount, "new"));
        ASSERT_TRUE(worker.Started());
        ASSERT_TRUE(worker.WaitUntilReady());
        std::this_thread::sleep_for(delay);
        killedMidSave += worker.HasFileOpenIn(folder.Folder()) ? 1 : 0;
        worker.Kill();
        worker.Wait();

        const QByteArray after = folder.Read();
        const bool isOld = after == oldBytes;
        const bool isNew = after == newBytes;
        ASSERT_TRUE(isOld || isNew) << "run " << run << " killed after " << delay.count() << " us left "
                                    << after.size() << " bytes";
        CAccountList loaded;
        LoadAccounts(folder.Path(), loaded);
        ASSERT_EQ(loaded.GetCount(), isOld ? kOldCount : kNewCount);
        keptOld += isOld ? 1 : 0;
        tookNew += isNew ? 1 : 0;
        leftovers += folder.RemoveLeftovers();
    }
    RecordProperty("save_time_us", static_cast<int>(saveTime.count()));
    RecordProperty("kept_old", keptOld);
    RecordProperty("took_new", tookNew);
    RecordProperty("killed_mid_save", killedMidSave);
    RecordProperty("leftover_files", leftovers);
    // Without kills on both sides of the rename and inside the write, the runs above prove nothing.
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(tookNew, 0);
    EXPECT_GT(killedMidSave, 0);
}

TEST(AccountFileCrash, ASaveStoppedByTheFileSizeLimitLeavesTheOldFileWhole) {
    const QByteArray oldBytes = ListBytes(kOldCount, "old");
    const std::string limit = "--fsize-limit=" + std::to_string(oldBytes.size() / 2);
    AccountFolder folder;

    // With SIGXFSZ ignored the write fails and the save says so...
    folder.PutOldList(oldBytes);
    std::vector<std::string> args = folder.SaveArgs(kNewCount, "new");
    args.push_back(limit);
    args.push_back("--ignore-sigxfsz");
    {
        SaveWorker worker(args);
        ASSERT_TRUE(worker.WaitUntilReady());
        const int status = worker.Wait();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << "a failed save must not report success";
    }
    EXPECT_TRUE(folder.Read() == oldBytes) << "the file now holds " << folder.Read().size() << " bytes";
    EXPECT_EQ(folder.RemoveLeftovers(), 0) << "a failed save removes its temporary file";

    // ...and with the signal's default action the process dies in the middle of the write.
    args.pop_back();
    {
        SaveWorker worker(args);
        ASSERT_TRUE(worker.WaitUntilReady());
        const int status = worker.Wait();
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    }
    EXPECT_TRUE(folder.Read() == oldBytes) << "the file now holds " << folder.Read().size() << " bytes";
}

}  // namespace
