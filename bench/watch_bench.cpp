// IMAP watches against the test suite's dovecot: how soon a delivered message reaches the tray, and
// what watched accounts cost while nothing happens (event-loop wake-ups, memory) beside the same
// accounts checked by their timers alone.
//
// Usage: watch_bench [deliveries = 50] [accounts = 20] [idle seconds = 600]   (prints Markdown)
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "alerts/Alerts.h"
#include "bench/ProbeTiming.h"
#include "check/CheckScheduler.h"
#include "tests/servers/DovecotServer.h"
#include "tests/support/ProcessMemory.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/RecordingTray.h"

namespace {

constexpr int kLimitMs = 60000;

// Runs the event loop until `condition` holds. QTest::qWaitFor would sleep 10 ms between turns of
// the loop, and every answer from the server would wait for it.
void WaitFor(const std::function<bool()>& condition, const char* what) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    check.start(5);
    QTimer::singleShot(kLimitMs, &loop, [&] { loop.exit(1); });
    if (!condition() && loop.exec() != 0) {
        throw std::runtime_error(std::string("timed out waiting for ") + what);
    }
}

// Passes one client's bytes to dovecot and back, noting when dovecot tells of new mail and when
// the client idles, so that the part of the delay after dovecot's own notice can be told apart.
class NoticeRelay : public QObject {
public:
    explicit NoticeRelay(quint16 serverPort) : m_serverPort(serverPort) {
        if (!m_listener.listen(QHostAddress::LocalHost)) {
            throw std::runtime_error("relay cannot listen");
        }
        connect(&m_listener, &QTcpServer::newConnection, this, &NoticeRelay::Accept);
        m_clock.start();
    }
    quint16 Port() const { return m_listener.serverPort(); }
    const QElapsedTimer& Clock() const { return m_clock; }

    qint64 noticeNs = -1;  // the last "EXISTS" from dovecot
    int idles = 0;         // continuation requests from dovecot: IDLE has begun

private:
    void Accept() {
        QTcpSocket* client = m_listener.nextPendingConnection();
        auto* server = new QTcpSocket(client);
        server->connectToHost(QHostAddress::LocalHost, m_serverPort);
        // Passed on at once: a relay's small writes must not wait for the other side's ACK.
        for (QTcpSocket* socket : {client, server}) {
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        }
        connect(client, &QTcpSocket::readyRead, server,
                [client, server] { server->write(client->readAll()); });
        connect(server, &QTcpSocket::readyRead, client, [this, client, server] {
            const QByteArray bytes = server->readAll();
            if (bytes.contains(" EXISTS\r\n")) {
                noticeNs = m_clock.nsecsElapsed();
            }
            idles += bytes.startsWith("+ ") || bytes.contains("\n+ ");
            client->write(bytes);
        });
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    }

    quint16 m_serverPort;
    QTcpServer m_listener;
    QElapsedTimer m_clock;
};

// The scheduler with the real prober and recording stand-ins for the desktop.
struct Rig {
    explicit Rig(bool watch)
        : prober([watch] {
              ProbeOptions options;
              options.watch = watch;
              return options;
          }()) {}

    void Add(const std::string& user, const std::string& server) {
        CAccount account;
        account.m_strUser = user;
        account.m_strPassword = "secret";
        account.m_strServer = server;
        account.m_nInterval = 3600;  // no timer fires while measuring
        account.m_bEnabled = 1;
        accounts.AddTail(account);
    }

    CAccountList accounts;
    RecordingTray tray;
    RecordingAlertPlatform platform;
    CAlerts alerts{platform};
    CMailProber prober;
    CCheckScheduler scheduler{accounts, tray, alerts, prober};
};

void MeasureDeliveries(int deliveries) {
    DovecotServer dovecot;  // alice
    dovecot.SetMessageCount("alice", 0);
    NoticeRelay relay(dovecot.ImapPort());
    Rig rig(true);
    rig.Add("alice", "imap://127.0.0.1:" + std::to_string(relay.Port()));
    qint64 shownNs = -1;
    QObject::connect(&rig.scheduler, &CCheckScheduler::countChanged,
                     [&](AccountId, int, int) { shownNs = relay.Clock().nsecsElapsed(); });
    rig.scheduler.StartTimers();
    rig.scheduler.CheckNow();
    WaitFor([&] { return relay.idles == 1; }, "the first IDLE");

    std::vector<double> toTray, afterNotice;
    for (int i = 1; i <= deliveries; ++i) {
        const qint64 deliveredNs = relay.Clock().nsecsElapsed();
        dovecot.Deliver("alice");
        WaitFor([&] { return rig.accounts.GetAt(0)->m_nLastCount == i; }, "the tray");
        toTray.push_back(static_cast<double>(shownNs - deliveredNs) / 1e6);
        afterNotice.push_back(static_cast<double>(shownNs - relay.noticeNs) / 1e6);
        WaitFor([&] { return relay.idles == i + 1; }, "IDLE again");
    }
    const auto row = [](const char* what, const std::vector<double>& ms) {
        std::printf("| %s | %.1f | %.1f |\n", what, Median(ms), *std::max_element(ms.begin(), ms.end()));
    };
    std::printf("\n%d deliveries, one at a time (ms)\n\n| Delay | Median | Worst |\n|---|---|---|\n",
                deliveries);
    row("delivery (rename into new/) to the tray", toTray);
    row("dovecot's EXISTS to the tray (DONE, SEARCH, result applied)", afterNotice);
    std::printf(
        "| polling instead, 60 s / 300 s interval: expected (half the interval) | 30000 / 150000 | "
        "60000 / 300000 |\n");
}

// What the watches read while idle, from their debug messages: dovecot's own keep-alive, and the rest.
long long s_stillHere = 0;
long long s_otherReads = 0;

void CountWatchReads(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg && context.category == QLatin1String("quillpost.watch") &&
        message.contains(" says ")) {
        ++(message.contains("Still here") ? s_stillHere : s_otherReads);
    }
}

long long VoluntarySwitches() {
    long long total = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:")) {
                total = line.mid(24).trimmed().toLongLong();
            }
        }
    }
    return total;
}

// Checks every account once, then lets the program idle for `seconds`; prints one row.
void MeasureIdle(const std::vector<DovecotServer::User>& users, const DovecotServer& dovecot, bool watch,
                 int seconds) {
    Rig rig(watch);
    for (const auto& user : users) {
        rig.Add(user.name, "imap://127.0.0.1:" + std::to_string(dovecot.ImapPort()));
    }
    const auto logins = [&] { return dovecot.Log().count("Login: user=<"); };
    const qsizetype loginsBefore = logins();
    rig.scheduler.StartTimers();
    rig.scheduler.CheckNow();
    WaitFor([&] { return logins() - loginsBefore == static_cast<qsizetype>(users.size()); }, "every login");
    // The last check's result, and its watch's EXAMINE, SEARCH and IDLE.
    const QElapsedTimer settling = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    WaitFor([&] { return settling.hasExpired(2000); }, "the last watch to idle");
    long long wakeUps = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                     [&] { ++wakeUps; });
    s_stillHere = s_otherReads = 0;
    const long long rssBefore = ProcessMemory::Now().rssKb, switchesBefore = VoluntarySwitches();
    // A loop of its own: QTest::qWait would wake it every 10 ms.
    QEventLoop idle;
    QTimer::singleShot(seconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double minutes = seconds / 60.0;
    std::printf("| %s | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f |\n",
                watch ? "watched (IDLE)" : "checked by timers only", static_cast<double>(wakeUps) / minutes,
                static_cast<double>(s_stillHere) / minutes, static_cast<double>(s_otherReads) / minutes,
                static_cast<double>(VoluntarySwitches() - switchesBefore) / minutes,
                static_cast<double>(rssBefore) / 1024,
                static_cast<double>(ProcessMemory::Now().rssKb) / 1024);
    QObject::disconnect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, nullptr,
                        nullptr);
    rig.scheduler.EndWatches();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own event dispatcher, which tells of every wake-up of the loop.
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules("quillpost.watch.debug=true");
    qInstallMessageHandler(CountWatchReads);
    const int deliveries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int accounts = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const int idleSeconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 600;
    try {
        MeasureDeliveries(deliveries);
        // One user per account: dovecot takes at most 10 connections per user and address.
        std::vector<DovecotServer::User> users;
        for (int i = 0; i < accounts; ++i) {
            users.push_back({"user" + std::to_string(i), "secret"});
        }
        DovecotServer dovecot(users);
        std::printf(
            "\n%d accounts idle for %d s each way; the watches first checked, then left alone\n\n"
            "| Accounts | Loop wake-ups / min | of them dovecot's \"Still here\" / min | other reads of a "
            "watch / min | Voluntary context switches / min | RSS before, MiB | RSS after, MiB |\n"
            "|---|---|---|---|---|---|---|\n",
            accounts, idleSeconds);
        MeasureIdle(users, dovecot, false, idleSeconds);
        MeasureIdle(users, dovecot, true, idleSeconds);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "watch_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
