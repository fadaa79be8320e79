// The scheduler with the real prober against a real dovecot and scripted servers.
#include <gtest/gtest.h>

#include <QTest>

#include "alerts/Alerts.h"
#include "check/CheckScheduler.h"
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

ProbeOptions Limits(std::chrono::milliseconds idle) {
    ProbeOptions options;
    options.connectTimeout = std::chrono::milliseconds(5000);
    options.idleTimeout = idle;
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
    explicit SchedulerServersTest(std::chrono::milliseconds idle = std::chrono::milliseconds(500))
        : realProber(Limits(idle)) {}

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

}  // namespace
