// Drives the check scheduler with the real prober over many accounts against a local dovecot: how
// long until every account has been probed once, whether memory grows over many probes, and how
// long the event loop stalls while the timers fire and the probes run, with the scheduler alone
// and inside the main window.
//
// Usage: scheduler_bench [probes after warm-up = 10000] [accounts = 1000]   (prints Markdown)
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "accounts/AccountFile.h"
#include "accounts/CAccountList.h"
#include "alerts/AlertPlatform.h"
#include "alerts/Alerts.h"
#include "check/CheckScheduler.h"
#include "check/TrayNotifier.h"
#include "protocol/MailProber.h"
#include "tests/servers/DovecotServer.h"
#include "tests/support/CountingProber.h"
#include "tests/support/ProcessMemory.h"
#include "ui/CMainDlg.h"

namespace {

constexpr int kMessages = 2;
constexpr int kEveryNthHasMail = 10;

// Holds the icons shown and nothing else, so that its own memory stays flat.
class StateTray : public ITrayNotifier {
public:
    bool NotifyTray(TrayRequest request, int id, const TrayIcon&, const QString&) override {
        ++calls;
        switch (request) {
            case TrayRequest::Add:
                return shown.insert(id).second;
            case TrayRequest::Modify:
                return shown.contains(id);
            case TrayRequest::Delete:
                return shown.erase(id) > 0;
        }
        return false;
    }
    bool IsAvailable() const override { return true; }

    std::set<int> shown;
    long long calls = 0;
};

class SilentAlertPlatform : public IAlertPlatform {
public:
    bool HasOutputDevice() override { return false; }
    void PlaySound(const QString&) override {}
    void StopSound() override {}
    bool ShellPlay(const QString&) override { return true; }
    bool ShellOpen(const QString&) override { return true; }
};

double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// A 1 ms precise timer ticks on the UI thread; the gap between two ticks is how long the loop
// could not attend to anything else (1 ms when it is idle). Kept as wall time (what the user
// feels, including time the thread was not given a CPU) and as the thread's own CPU time in that
// gap (what the code itself held the loop for). Gaps go into 0.1 ms bins, so that a long run
// keeps no growing record.
class StallMeter {
public:
    StallMeter() {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(1);
        QObject::connect(&m_tick, &QTimer::timeout, [this] { Tick(); });
    }
    void Restart() {
        m_wall.fill(0);
        m_cpu.fill(0);
        m_turns = 0;
        m_maxWall = m_maxCpu = 0;
        m_sinceLast.start();
        m_cpuAtLast = ThreadCpuMs();
        m_tick.start();
    }
    void Stop() { m_tick.stop(); }

    double MaxWall() const { return m_maxWall; }
    double MaxCpu() const { return m_maxCpu; }
    double WallQuantile(double q) const { return Quantile(m_wall, q); }
    double CpuQuantile(double q) const { return Quantile(m_cpu, q); }
    long long Turns() const { return m_turns; }

private:
    static constexpr int kBins = 10000;  // 0.1 ms each; the last one takes everything longer
    using Bins = std::array<long long, kBins>;

    void Tick() {
        const double cpu = ThreadCpuMs() - m_cpuAtLast;
        const double wall = static_cast<double>(m_sinceLast.nsecsElapsed()) / 1e6;
        m_sinceLast.restart();
        m_cpuAtLast = ThreadCpuMs();
        ++m_turns;
        m_maxWall = std::max(m_maxWall, wall);
        m_maxCpu = std::max(m_maxCpu, cpu);
        ++m_wall[Bin(wall)];
        ++m_cpu[Bin(cpu)];
    }
    static std::size_t Bin(double ms) {
        return static_cast<std::size_t>(std::clamp(ms * 10, 0.0, kBins - 1.0));
    }
    double Quantile(const Bins& bins, double q) const {
        const auto wanted = static_cast<long long>(q * static_cast<double>(m_turns));
        long long seen = 0;
        for (std::size_t i = 0; i < bins.size(); ++i) {
            seen += bins[i];
            if (seen > wanted) {
                return static_cast<double>(i + 1) / 10;  // the bin's upper edge
            }
        }
        return 0;
    }

    QTimer m_tick;
    QElapsedTimer m_sinceLast;
    double m_cpuAtLast = 0;
    long long m_turns = 0;
    double m_maxWall = 0;
    double m_maxCpu = 0;
    Bins m_wall{};
    Bins m_cpu{};
};

CAccount BenchAccount(const DovecotServer::User& user, const std::string& server) {
    CAccount account;
    account.m_strUser = user.name;
    account.m_strPassword = user.password;
    account.m_strServer = server;
    account.m_nInterval = 1;
    account.m_bEnabled = 1;
    return account;
}

std::string UserName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "u%04d", i);
    return name;
}

void PrintStallRow(const char* what, const StallMeter& meter) {
    std::printf("| %s | %lld | %.2f | %.2f | %.2f | %.2f |\n", what, meter.Turns(), meter.WallQuantile(0.99),
                meter.MaxWall(), meter.CpuQuantile(0.99), meter.MaxCpu());
}

// The same accounts in the main window, which rebuilds its list after every result: how long the
// first round takes and how the loop fares with the list refreshes. Returns milliseconds.
qint64 RunWindowRound(const std::vector<DovecotServer::User>& users, const std::string& server,
                      StallMeter& meter) {
    QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.filePath("config"));
    CAccountList list;
    for (const DovecotServer::User& user : users) {
        list.AddTail(BenchAccount(user, server));
    }
    CMainDlg::Parts parts;
    StateTray tray;
    SilentAlertPlatform platform;
    CMailProber realProber;
    CountingProber prober(realProber);
    parts.tray = &tray;
    parts.alerts = &platform;
    parts.prober = &prober;
    parts.accountFile = folder.filePath("ACCOUNT.CSV");
    if (!SaveAccounts(parts.accountFile, list)) {
        throw std::runtime_error("cannot write the account file");
    }
    CMainDlg window(parts);
    window.show();
    window.OnInitDialog();

    QEventLoop loop;
    QObject::connect(window.findChild<CCheckScheduler*>(), &CCheckScheduler::accountsChecked, [&] {
        if (prober.Mailboxes() == users.size()) {
            loop.quit();
        }
    });
    QElapsedTimer clock;
    clock.start();
    meter.Restart();
    loop.exec();
    meter.Stop();
    return clock.elapsed();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long long probes = argc > 1 ? std::max(1LL, std::atoll(argv[1])) : 10000;
    const int accountCount = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;

    QElapsedTimer setup;
    setup.start();
    std::vector<DovecotServer::User> users;
    for (int i = 0; i < accountCount; ++i) {
        users.push_back({UserName(i), "pw" + std::to_string(i)});
    }
    DovecotServer dovecot(users);
    for (int i = 0; i < accountCount; i += kEveryNthHasMail) {
        dovecot.SetMessageCount(users[static_cast<std::size_t>(i)].name, kMessages);
    }
    const double setupSeconds = static_cast<double>(setup.elapsed()) / 1000;

    const std::string server = "127.0.0.1:" + std::to_string(dovecot.Pop3Port());
    CAccountList accounts;
    for (const DovecotServer::User& user : users) {
        accounts.AddTail(BenchAccount(user, server));
    }

    StateTray tray;
    SilentAlertPlatform platform;
    CAlerts alerts(platform);
    CMailProber realProber;
    CountingProber prober(realProber);
    CCheckScheduler scheduler(accounts, tray, alerts, prober);

    const ProcessMemory atStart = ProcessMemory::Now();
    QEventLoop loop;
    QElapsedTimer sinceStart;
    qint64 firstTimerMs = -1;
    qint64 allOnceMs = -1;
    long long warmUpDone = -1;
    std::vector<ProcessMemory> samples;  // after the warm-up round, then every 1,000 probes
    // On the heap: their bins are large.
    const auto firstRoundMeter = std::make_unique<StallMeter>();
    const auto steadyMeter = std::make_unique<StallMeter>();
    StallMeter& firstRound = *firstRoundMeter;
    StallMeter& steady = *steadyMeter;

    QObject::connect(&scheduler, &CCheckScheduler::checkBoxesNeeded, [&] {
        if (firstTimerMs < 0) {
            firstTimerMs = sinceStart.elapsed();
        }
    });
    QObject::connect(&scheduler, &CCheckScheduler::accountsChecked, [&] {
        const long long done = prober.finished;
        if (allOnceMs < 0) {
            if (prober.Mailboxes() < static_cast<std::size_t>(accountCount)) {
                return;
            }
            allOnceMs = sinceStart.elapsed();
            warmUpDone = done;
            firstRound.Stop();
            samples.push_back(ProcessMemory::Now());
            prober.started.clear();
            steady.Restart();
            return;
        }
        if ((done - warmUpDone) % 1000 == 0) {
            samples.push_back(ProcessMemory::Now());
            prober.started.clear();
        }
        if (done - warmUpDone >= probes) {
            steady.Stop();
            loop.quit();
        }
    });

    sinceStart.start();
    firstRound.Restart();
    scheduler.StartTimers();
    loop.exec();
    const double totalSeconds = static_cast<double>(sinceStart.elapsed()) / 1000;
    for (CAccount& account : accounts) {
        scheduler.KillTimerOf(account);
    }

    int wrong = 0;
    int withMail = 0;
    for (int i = 0; i < accountCount; ++i) {
        const CAccount& account = *accounts.GetAt(i);
        const int expected = i % kEveryNthHasMail == 0 ? kMessages : 0;
        const CountingProber::Mailbox* box = prober.Find(account.m_strUser, account.m_strServer);
        wrong += box == nullptr || box->lastResult != expected;
        withMail += tray.shown.contains(TrayId::ForAccount(account.m_id));
    }

    std::printf(
        "Accounts: %d (one dovecot user each, every %dth with %d messages), interval 1 s; "
        "dovecot with its users set up in %.2f s.\n",
        accountCount, kEveryNthHasMail, kMessages, setupSeconds);
    std::printf(
        "Probes: %lld in %.1f s (%lld in the first round, then %lld); most at once: %d; "
        "accounts whose last result was wrong: %d; account icons shown at the end: %d of %d.\n\n",
        prober.finished, totalSeconds, warmUpDone, prober.finished - warmUpDone, prober.mostAtOnce, wrong,
        withMail, (accountCount + kEveryNthHasMail - 1) / kEveryNthHasMail);
    std::printf("| Every account probed once | ms |\n|---|---|\n");
    std::printf("| from the start of the timers | %lld |\n", static_cast<long long>(allOnceMs));
    std::printf("| from the first timer firing | %lld |\n", static_cast<long long>(allOnceMs - firstTimerMs));
    std::printf("| per probe | %.2f |\n", static_cast<double>(allOnceMs - firstTimerMs) / accountCount);

    const auto windowMeter = std::make_unique<StallMeter>();
    const qint64 windowMs = RunWindowRound(users, server, *windowMeter);
    std::printf("| the same in the main window (its list rebuilt after every result) | %lld |\n\n",
                static_cast<long long>(windowMs));

    const ProcessMemory& warm = samples.front();
    const ProcessMemory& end = samples.back();
    long long maxRss = 0, maxHeap = 0;
    for (const ProcessMemory& s : samples) {
        maxRss = std::max(maxRss, s.rssKb);
        maxHeap = std::max(maxHeap, s.heapKb);
    }
    std::printf("| Memory (kB) | RSS | heap in use |\n|---|---|---|\n");
    std::printf("| before the first probe | %lld | %lld |\n", atStart.rssKb, atStart.heapKb);
    std::printf("| after the first round (warm-up) | %lld | %lld |\n", warm.rssKb, warm.heapKb);
    std::printf("| after %lld more probes | %lld | %lld |\n", prober.finished - warmUpDone, end.rssKb,
                end.heapKb);
    std::printf("| highest of %zu samples after warm-up | %lld | %lld |\n\n", samples.size(), maxRss,
                maxHeap);

    std::printf(
        "| 1 ms ticks of the event loop while probes run (gap, ms) | ticks | wall p99 | wall max | on-CPU "
        "p99 | "
        "on-CPU max |\n|---|---|---|---|---|---|\n");
    PrintStallRow("first round (all timers fire together)", firstRound);
    PrintStallRow("after warm-up", steady);
    PrintStallRow("main window, first round (list rebuilt after every result)", *windowMeter);
    return wrong == 0 ? 0 : 1;
}
