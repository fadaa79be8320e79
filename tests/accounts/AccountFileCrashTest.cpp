// ACCOUNT.CSV must survive the program dying at any moment of a save: another process saves a big
// list over the file and is killed part-way, and the file is then exactly the old list or the new.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "accounts/AccountFile.h"
#include "tests/accounts/SaveWorkerLists.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

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

// A save_worker process: "ready" comes right before its save starts, "saved" right after it returns.
class SaveWorker : public ChildProcess {
public:
    explicit SaveWorker(const QStringList& options)
        : ChildProcess(SAVE_WORKER_PATH, options, {.forwardErrors = true}) {}

    bool WaitUntilReady() { return ReadsLine("ready"); }
    bool WaitUntilSaved() { return ReadsLine("saved"); }

    // Whether the worker has a file in `folder` open: the save's temporary file, while it writes.
    bool HasFileOpenIn(const QString& folder) const {
        const QDir fds(QString("/proc/%1/fd").arg(Pid()));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget().startsWith(folder + '/')) {
                return true;
            }
        }
        return false;
    }
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

    QStringList SaveArgs(int count, const char* tag) const { return {Path(), QString::number(count), tag}; }

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
        if (!worker.WaitUntilEnded() || worker.Crashed() || worker.ExitCode() != 0 ||
            folder.Read() != SaveWorkerListBytes(kNewCount, "new")) {
            return microseconds{0};
        }
    }
    return slowest;
}

TEST(AccountFileCrash, KilledAtAnyMomentOfASaveTheFileIsTheOldListOrTheNew) {
    const QByteArray oldBytes = SaveWorkerListBytes(kOldCount, "old");
    const QByteArray newBytes = SaveWorkerListBytes(kNewCount, "new");
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
    const QByteArray oldBytes = SaveWorkerListBytes(kOldCount, "old");
    const QString limit = "--fsize-limit=" + QString::number(oldBytes.size() / 2);
    AccountFolder folder;

    // With SIGXFSZ ignored the write fails and the save says so...
    folder.PutOldList(oldBytes);
    QStringList args = folder.SaveArgs(kNewCount, "new") << limit << "--ignore-sigxfsz";
    {
        SaveWorker worker(args);
        ASSERT_TRUE(worker.WaitUntilReady());
        ASSERT_TRUE(worker.WaitUntilEnded());
        ASSERT_FALSE(worker.Crashed());
        EXPECT_EQ(worker.ExitCode(), 1) << "a failed save must not report success";
    }
    EXPECT_TRUE(folder.Read() == oldBytes) << "the file now holds " << folder.Read().size() << " bytes";
    EXPECT_EQ(folder.RemoveLeftovers(), 0) << "a failed save removes its temporary file";

    // ...and with the signal's default action the process dies in the middle of the write.
    args.removeLast();
    {
        SaveWorker worker(args);
        ASSERT_TRUE(worker.WaitUntilReady());
        ASSERT_TRUE(worker.WaitUntilEnded());
        ASSERT_TRUE(worker.Crashed());
        EXPECT_EQ(worker.ExitCode(), SIGXFSZ);
    }
    EXPECT_TRUE(folder.Read() == oldBytes) << "the file now holds " << folder.Read().size() << " bytes";
}

}  // namespace
