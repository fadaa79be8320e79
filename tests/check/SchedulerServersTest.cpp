// The scheduler with the real prober against a real dovecot and scripted servers.
#include <gtest/gtest.h>

#include <QTest>

#include "alerts/Alerts.h"
#include "check/CheckScheduler.h"
#include "check/SystemEvents.h"
#include "protocol/MailProber.h"
#include "res/Strings.h"
#include "tests/servers/DovecotServer.h"
#include "tests/servers/ScriptedPop3Server.h"
#include "tests/support/CountingProber.h"
#include "tests/support/PostedEvents.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/RecordingTray.h"
#include "tests/support/TestAccount.h"

namespace {

ProbeOptions Limits(std::chrono::milliseconds idle, bool watch = false) {
    ProbeOptions options;
    options.connectTimeout = std::chrono::milliseconds(5000);
    options.idleTimeout = idle;
    options.watch = watch;
    return options;
}

// The tests fire the timers themselves.
CAccount Account(const std::string& user, const std::string& password, const std::string& server) {
    return TestAccount{
        .user = user, .password = password, .server = server, .interval = 3600, .soundFile = "ding.wav"};
}

std::string Local(quint16 port) {
    return "127.0.0.1:" + std::to_string(port);
}

class SchedulerServersTest : public ::testing::Test {
protected:
    // Silent servers are given up on quickly; dovecot answers a refused login only after about
    // half a second, so its tests wait longer.
    explicit SchedulerServersTest(std::chrono::milliseconds idle = std::chrono::milliseconds(500),
                                  bool watch = false)
        : realProber(Limits(idle, watch)) {}

    int Count() const { return accounts.GetAt(0)->m_nLastCount; }
    bool Shows(int count) const {
        return QTest::qWaitFor([&] { return Count() == count; }, 10000);
    }

    CAccountList accounts;
    RecordingTray tray;
    RecordingAlertPlatform platform;
    CAlerts alerts{platform};
    CMailProber realProber;
    CountingProber prober{realProber};
    CCheckScheduler scheduler{accounts, tray, alerts, prober};
};

class SchedulerDovecotTest : public SchedulerServersTest {
protected:
    SchedulerDovecotTest() : SchedulerServersTest(std::chrono::milliseconds(10000)) {}
};

class WatchServersTest : public SchedulerServersTest {
protected:
    // Long enough for dovecot under a sanitizer or wine, short enough for the silent servers.
    WatchServersTest() : SchedulerServersTest(std::chrono::milliseconds(2000), true) {}

    // Checks the one account of `server` and waits until it idles.
    void Watch(const ScriptedPop3Server& server) {
        CheckAt(server.Port(), "pw");
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.Received().contains("IDLE"); }, 10000));
    }
    void Watch(const DovecotServer& dovecot) {
        CheckAt(dovecot.ImapPort(), "secret");
        ASSERT_TRUE(QTest::qWaitFor([&] { return prober.finished == 1; }, 30000));
    }
    void CheckAt(quint16 port, const std::string& password) {
        tray.NotifyTray(TrayRequest::Add, TrayId::kMain, TrayIcon::Builtin(IconId::kNoMail), {});
        accounts.AddTail(Account("alice", password, "imap://" + Local(port)));
        scheduler.StartTimers();
        scheduler.FollowSystemEvents(&events);
        Tick();
    }
    void Tick() { scheduler.OnTimer(static_cast<int>(accounts.GetAt(0)->m_nTimerId)); }
    static qsizetype Logins(const DovecotServer& dovecot) {
        return dovecot.Log().count("Login: user=<alice>");
    }

    CSystemEvents events;
};

// A server that lets the account watch INBOX, two unseen messages in it, each of its answers between
// untagged OKs where `aside` says so; it idles (first telling of `changes`), then gives the answers `more`.
ServerScript Watched(const QByteArray& aside = {}, QList<QByteArray> more = {},
                     const QByteArray& changes = {}) {
    QList<QByteArray> answers{"a1 OK\r\n", "* STATUS INBOX (UNSEEN 2)\r\na2 OK\r\n",
                              "* 3 EXISTS\r\na3 OK\r\n", "* SEARCH 2 3\r\na4 OK\r\n",
                              "+ idling\r\n" + changes};
    for (QByteArray& answer : answers += more) {
        answer = aside + answer + aside;
    }
    return ServerScript::Conversation("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR IDLE] ready\r\n",
                                      answers);
}
// DONE answered, and a count after it: five unseen now.
const QList<QByteArray> kCountAgain{"a5 OK\r\n", "* SEARCH 1 2 3 4 5\r\na6 OK\r\n", "+ idling\r\n"};

TEST_F(SchedulerDovecotTest, EachOutcomeOfARealServerReachesTheTray) {
    DovecotServer dovecot({{"alice", "secret"}, {"bob", "secret"}});
    dovecot.SetMessageCount("alice", 3);
    dovecot.SetMessageCount("bob", 0);
    tray.NotifyTray(TrayRequest::Add, TrayId::kMain, TrayIcon::Builtin(IconId::kNoMail), {});
    const std::string server = Local(dovecot.Pop3Port());
    accounts.AddTail(Account("alice", "secret", server));
    accounts.AddTail(Account("bob", "secret", server));
    accounts.AddTail(Account("alice", "wrong", server));
    accounts.AddTail(Account("alice", "secret", "127.0.0.1:1"));  // nothing listens there
    scheduler.StartTimers();
    QList<QByteArray> statLines;
    QObject::connect(&scheduler, &CCheckScheduler::statLineReceived,
                     [&](const QByteArray& line) { statLines << line; });

    // One at a time, in list order, each leaving its mark on the main icon.
    std::vector<RecordingTray::Shown> mainIconAfter;
    for (const CAccount& a : accounts) {
        scheduler.OnTimer(static_cast<int>(a.m_nTimerId));
        ASSERT_TRUE(QTest::qWaitFor([&] { return prober.running == 0; }, 30000));
        mainIconAfter.push_back(tray.icons[TrayId::kMain]);
    }
    EXPECT_EQ(mainIconAfter[0].icon, TrayIcon::Builtin(IconId::kMail));
    EXPECT_EQ(mainIconAfter[0].tooltip, Str::Text("メールが3通あります。"));
    EXPECT_EQ(mainIconAfter[1].icon, TrayIcon::Builtin(IconId::kNoMail));
    EXPECT_EQ(mainIconAfter[1].tooltip, Str::Text(Str::kNoMail));
    EXPECT_EQ(mainIconAfter[2].icon, TrayIcon::Builtin(IconId::kError));
    EXPECT_EQ(mainIconAfter[2].tooltip, Str::Text(Str::kLoginError));
    EXPECT_EQ(mainIconAfter[3].icon, TrayIcon::Builtin(IconId::kError));
    EXPECT_EQ(mainIconAfter[3].tooltip, Str::Text(Str::kConnectError));

    EXPECT_EQ(tray.icons.keys(), (QList<int>{TrayId::kMain, 2001}));
    EXPECT_EQ(tray.icons[2001].tooltip, "alice");
    EXPECT_EQ(accounts.GetAt(0)->m_nLastCount, 3);
    EXPECT_EQ(platform.requests, (QStringList{"device?", "sound ding.wav", "stop", "stop", "stop"}));
    ASSERT_EQ(statLines.size(), 3);  // nothing to show from the server that was never reached
    EXPECT_TRUE(statLines[0].startsWith("+OK 3 ")) << statLines[0].constData();
    EXPECT_TRUE(statLines[2].startsWith("-ERR")) << statLines[2].constData();
    EXPECT_EQ(prober.mostAtOnce, 1);

    // The mail is read elsewhere: the next check takes the account's icon away again.
    dovecot.SetMessageCount("alice", 0);
    scheduler.OnTimer(static_cast<int>(accounts.GetAt(0)->m_nTimerId));
    ASSERT_TRUE(QTest::qWaitFor([&] { return prober.running == 0; }, 30000));
    EXPECT_EQ(tray.icons.keys(), (QList<int>{TrayId::kMain}));
}

TEST_F(SchedulerServersTest, ASilentServerDelaysTheOthersButNeverOverlapsOrStacks) {
    ScriptedPop3Server silent(ServerScript().Send("+OK hello\r\n").AwaitLine());
    ScriptedPop3Server answering(
        ServerScript::Conversation("+OK hi\r\n", {"+OK\r\n", "+OK\r\n", "+OK 2 20\r\n"}));
    for (int i = 0; i < 3; ++i) {
        accounts.AddTail(Account("quiet" + std::to_string(i), "pw", Local(silent.Port())));
        accounts.AddTail(Account("talks" + std::to_string(i), "pw", Local(answering.Port())));
    }
    scheduler.StartTimers();
    for (int round = 0; round < 5; ++round) {  // many timers falling due while probes run
        for (const CAccount& a : accounts) {
            scheduler.OnTimer(static_cast<int>(a.m_nTimerId));
        }
    }
    EXPECT_EQ(prober.mostAtOnce, 1);
    // Each account is probed once, however often its timer fired.
    ASSERT_TRUE(QTest::qWaitFor([&] { return prober.finished == 6; }, 30000));
    ASSERT_TRUE(DeliverQueuedEvents());
    EXPECT_EQ(prober.running, 0);
    EXPECT_EQ(prober.mostAtOnce, 1);
    EXPECT_EQ(prober.finished, 6);
    EXPECT_EQ(prober.started,
              (std::vector<std::string>{"quiet0", "talks0", "quiet1", "talks1", "quiet2", "talks2"}));
    for (int p = 0; p < accounts.GetCount(); ++p) {
        EXPECT_EQ(accounts.GetAt(p)->m_nLastCount, p % 2 == 0 ? 0 : 2) << p;
    }
    EXPECT_EQ(tray.icons.keys(), (QList<int>{2002, 2004, 2006}));
}

// The account's timer fires hourly: what it shows meanwhile came over its watch.
TEST_F(WatchServersTest, DovecotMailShowsAsItComesAndGoesAndAKickedWatchComesBackUnseen) {
    DovecotServer dovecot;
    Watch(dovecot);
    dovecot.Deliver("alice", 2);
    EXPECT_TRUE(Shows(2));
    dovecot.MarkSeen("alice", 2);
    EXPECT_TRUE(Shows(0));

    const std::size_t shownBefore = tray.calls.size();
    dovecot.Kick("alice");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Logins(dovecot) == 2 && prober.running == 0; }, 30000));
    dovecot.Deliver("alice");
    EXPECT_TRUE(Shows(1));
    // Nothing told of the drop: the next the tray heard of was the new mail.
    EXPECT_EQ(tray.calls.at(shownBefore).request, TrayRequest::Add);
    EXPECT_EQ(prober.finished, 2);
}

// For a moment nothing listens: the watch finds its server again, and the user sees no error.
TEST_F(WatchServersTest, AWatchOutlivesARestartOfItsServerUnseen) {
    DovecotServer dovecot;
    Watch(dovecot);
    const std::size_t shownBefore = tray.calls.size();
    dovecot.Restart([&] {
        // The first try to take the watch up again finds nothing listening.
        EXPECT_TRUE(QTest::qWaitFor([&] { return prober.finished == 2; }, 10000));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return Logins(dovecot) == 2 && prober.running == 0; }, 30000));
    dovecot.Deliver("alice");
    EXPECT_TRUE(Shows(1));
    for (std::size_t i = shownBefore; i < tray.calls.size(); ++i) {
        EXPECT_NE(tray.calls[i].icon, TrayIcon::Builtin(IconId::kError)) << i;
    }
}

// A watch that drops comes back without a word to the user; one that hears of a change, or is
// asked, counts again on the same connection, whatever the server says on the side.
TEST_F(WatchServersTest, DropsAreTakenUpUnseenAndCountsComeOverTheSameConnection) {
    const QByteArray flood = QByteArray("* 3 FETCH (FLAGS (\\Seen))\r\n").repeated(20000);
    const std::function<void()> nothing = [] {}, tick = [&] { Tick(); };
    const std::function<void()> resume = [&] { emit events.resumed(); },
                                networkChange = [&] { emit events.networkChanged(); };
    const struct {
        const char* what;
        ServerScript first;  // the first connection's script; the second goes on idling
        std::function<void()> then;
        int connections, count, dones;
    } cases[] = {
        {"BYE", Watched().Send("* BYE going\r\n").Close(), nothing, 2, 2, 0},
        {"closed", Watched().Close(), nothing, 2, 2, 0},
        {"reset", Watched().Reset(), nothing, 2, 2, 0},
        {"silent after a tick", Watched().AwaitLine(), tick, 2, 2, 1},
        {"silent after a resume", Watched().AwaitLine(), resume, 2, 2, 1},
        {"silent after a network change", Watched().AwaitLine(), networkChange, 2, 2, 1},
        {"still here at any moment", Watched("* OK Still here\r\n", kCountAgain), tick, 1, 5, 1},
        {"a flood of changes", Watched({}, kCountAgain, flood), nothing, 1, 5, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        accounts = {};
        tray = {};
        ScriptedPop3Server server({c.first, Watched()});
        Watch(server);
        const std::size_t firstCheck = tray.calls.size();
        c.then();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.Received().count(" IDLE\r\n") == 2; }, 10000));
        ASSERT_TRUE(DeliverQueuedEvents());
        EXPECT_EQ(server.Connections(), c.connections);
        EXPECT_EQ(Count(), c.count);
        EXPECT_EQ(server.Received().count("DONE"), c.dones);
        // Taken up again, it found what the account shows: nothing for the tray.
        EXPECT_EQ(tray.calls.size(), firstCheck + (c.count == 2 ? 0 : 2));
        scheduler.KillTimerOf(*accounts.GetAt(0));
    }
}

// A reconnect that fails, and fails again when tried shortly after, shows as a check's failure;
// the account is tried again later, at its timer's next tick at the latest.
TEST_F(WatchServersTest, AFailedReconnectShowsAndTheNextTickTakesTheWatchUpAgain) {
    const ServerScript busy = ServerScript().Send("* BYE busy\r\n");
    ScriptedPop3Server server({Watched().Close(), busy, busy, busy, Watched()});
    Watch(server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return prober.finished == 4; }, 10000));
    ASSERT_TRUE(DeliverQueuedEvents());
    EXPECT_EQ(prober.running, 0);  // not tried again at once
    EXPECT_EQ(tray.icons[TrayId::kMain].icon, TrayIcon::Builtin(IconId::kError));
    Tick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.Received().count(" IDLE\r\n") == 2; }, 10000));
    EXPECT_EQ(tray.icons[TrayId::kMain].icon, TrayIcon::Builtin(IconId::kMail));
    EXPECT_EQ(Count(), 2);
}

// Switching the account off, editing or deleting it (both stop its timer), and the program's end:
// LOGOUT at once.
TEST_F(WatchServersTest, EachEndOfAWatchLogsOut) {
    const std::function<void(CAccount&)> ends[] = {[&](CAccount& a) { scheduler.EndWatch(a.m_id); },
                                                   [&](CAccount& a) { scheduler.KillTimerOf(a); },
                                                   [&](CAccount&) { scheduler.EndWatches(); }};
    for (const auto& end : ends) {
        accounts = {};
        ScriptedPop3Server server(Watched());
        Watch(server);
        end(*accounts.GetAt(0));
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.AllClientsGone(); }, 10000));
        EXPECT_TRUE(server.Received().endsWith("a5 IDLE\r\nDONE\r\na6 LOGOUT\r\n"));
        scheduler.KillTimerOf(*accounts.GetAt(0));
    }
}

}  // namespace
