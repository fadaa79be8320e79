#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "alerts/Alerts.h"
#include "check/CheckScheduler.h"
#include "res/Strings.h"
#include "tests/support/SchedulerRig.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAccount.h"

namespace {

class CheckSchedulerTest : public ::testing::Test, protected SchedulerRig {
protected:
    CAccount& At(int p) { return *accounts.GetAt(p); }
    int TimerOf(int p) { return static_cast<int>(At(p).m_nTimerId); }

    // One whole check of the account at `p` with the given probe result.
    void Check(int p, int result) {
        scheduler.OnTimer(TimerOf(p));
        ASSERT_EQ(prober.pending.size(), 1u);
        prober.Finish(result);
    }
};

TEST_F(CheckSchedulerTest, OnlyCompleteAccountsGetTimersAndEveryTimerIsItsOwn) {
    accounts.AddTail(TestAccount{"a"});
    CAccount incomplete = TestAccount{"b"};
    incomplete.m_strPassword.clear();
    accounts.AddTail(incomplete);
    accounts.AddTail(TestAccount{"c"});
    scheduler.StartTimers();
    EXPECT_NE(At(0).m_nTimerId, 0u);
    EXPECT_EQ(At(1).m_nTimerId, 0u);
    EXPECT_NE(At(2).m_nTimerId, 0u);
    EXPECT_NE(At(0).m_nTimerId, At(2).m_nTimerId);

    // Added accounts get a timer even when incomplete, never one another account holds.
    CAccount added;
    added.m_nInterval = 60;
    scheduler.SetTimerForAdded(added);
    EXPECT_NE(added.m_nTimerId, 0u);
    EXPECT_NE(added.m_nTimerId, At(0).m_nTimerId);
    EXPECT_NE(added.m_nTimerId, At(2).m_nTimerId);
}

TEST_F(CheckSchedulerTest, MailAddsTheAccountIconAndSetsTheMainIcon) {
    accounts.AddTail(TestAccount{"first"});
    accounts.AddTail(TestAccount{"second"});
    scheduler.StartTimers();
    Check(1, 3);
    const std::vector<TrayCall> expected = {
        {TrayRequest::Add, 2002, TrayIcon::Builtin(129), "second"},
        {TrayRequest::Modify, 2000, TrayIcon::Builtin(130), Str::Text("メールが3通あります。")},
    };
    EXPECT_EQ(tray.calls, expected);
    EXPECT_EQ(At(1).m_nLastCount, 3);
    EXPECT_EQ(prober.started, std::vector<std::string>{"second"});
}

TEST_F(CheckSchedulerTest, NoMailAndEachErrorRemoveTheAccountIconAndStopTheSound) {
    struct Case {
        int result;
        int mainIcon;
        const char* tooltip;
    };
    for (const Case c : {Case{0, 129, "メールはありません。"}, Case{-1, 131, "ソケット・コネクト・エラー"},
                         Case{-2, 131, "ソケット・コネクト・エラー"}, Case{-3, 131, "ログイン・エラー"}}) {
        CAccountList list;
        list.AddTail(TestAccount{"u"});
        RecordingTray recording;
        RecordingAlertPlatform sounds;
        CAlerts alertsFor{sounds};
        ManualProber probes;
        CCheckScheduler s{list, recording, alertsFor, probes};
        s.StartTimers();
        list.GetAt(0)->m_nLastCount = 5;
        s.OnTimer(static_cast<int>(list.GetAt(0)->m_nTimerId));
        probes.Finish(c.result);
        const std::vector<TrayCall> expected = {
            {TrayRequest::Delete, 2001, {}, {}},
            {TrayRequest::Modify, 2000, TrayIcon::Builtin(c.mainIcon), Str::Text(c.tooltip)},
        };
        EXPECT_EQ(recording.calls, expected) << c.result;
        EXPECT_EQ(sounds.requests, QStringList{"stop"}) << c.result;
        EXPECT_EQ(list.GetAt(0)->m_nLastCount, 0) << c.result;
    }
}

TEST_F(CheckSchedulerTest, SoundAndLaunchFollowTheirModesAgainstThePreviousCount) {
    CAccount everyTime = TestAccount{"every"};
    everyTime.m_bSound = 1;
    everyTime.m_strSoundFile = "ding.wav";
    everyTime.m_bLaunch = 1;
    everyTime.m_strLaunchFile = "mailer";
    CAccount onIncrease = everyTime;
    onIncrease.m_strUser = "increase";
    onIncrease.m_nSoundMode = 1;
    onIncrease.m_nLaunchMode = 1;
    accounts.AddTail(everyTime);
    accounts.AddTail(onIncrease);
    scheduler.StartTimers();

    Check(0, 2);
    Check(0, 2);
    EXPECT_EQ(platform.requests.count("sound ding.wav"), 2);
    EXPECT_EQ(platform.requests.count("open mailer"), 2);

    platform.requests.clear();
    Check(1, 2);
    Check(1, 2);  // same count: no increase
    EXPECT_EQ(platform.requests.count("sound ding.wav"), 1);
    EXPECT_EQ(platform.requests.count("play mailer"), 1);
    Check(1, 1);   // fewer: no increase either
    Check(1, -1);  // an error resets the count...
    platform.requests.clear();
    Check(1, 1);  // ...so the next mail counts as an increase
    EXPECT_EQ(platform.requests, (QStringList{"device?", "sound ding.wav", "play mailer", "open mailer"}));
}

TEST_F(CheckSchedulerTest, SoundNeedsAnOutputDeviceAndOnlyFlagOneSwitchesItOn) {
    CAccount a = TestAccount{"a"};
    a.m_bSound = 1;
    a.m_strSoundFile = "ding.wav";
    CAccount two = a;
    two.m_bSound = 2;
    accounts.AddTail(a);
    accounts.AddTail(two);
    scheduler.StartTimers();
    platform.hasDevice = false;
    Check(0, 1);
    Check(1, 1);
    EXPECT_EQ(platform.requests, QStringList{"device?"});
}

TEST_F(CheckSchedulerTest, AnIconFileThatCannotBeReadShowsTheNoMailPicture) {
    TempDir dir;
    dir.write("broken.ico", "not an icon");
    CAccount missing = TestAccount{"missing"};
    missing.m_strIconFile = dir.file("nope.ico").toStdString();
    CAccount broken = TestAccount{"broken"};
    broken.m_strIconFile = dir.file("broken.ico").toStdString();
    accounts.AddTail(missing);
    accounts.AddTail(broken);
    scheduler.StartTimers();
    Check(0, 1);
    Check(1, 1);
    EXPECT_EQ(tray.icons[2001].icon, TrayIcon::Builtin(129));
    EXPECT_EQ(tray.icons[2002].icon, TrayIcon::Builtin(129));
}

TEST_F(CheckSchedulerTest, ADisabledAccountsTimerFiresButNothingHappens) {
    accounts.AddTail(TestAccount{"a"});
    scheduler.StartTimers();
    At(0).m_bEnabled = 0;
    QSignalSpy syncs(&scheduler, &CCheckScheduler::checkBoxesNeeded);
    scheduler.OnTimer(TimerOf(0));
    EXPECT_EQ(syncs.count(), 1);  // the check boxes are read first: they decide
    EXPECT_TRUE(prober.started.empty());
    EXPECT_TRUE(tray.calls.empty());
}

TEST_F(CheckSchedulerTest, ProbesRunOneAtATimeInFiringOrderWithoutStacking) {
    for (const char* name : {"a", "b", "c"}) {
        accounts.AddTail(TestAccount{name});
    }
    scheduler.StartTimers();
    scheduler.OnTimer(TimerOf(2));
    scheduler.OnTimer(TimerOf(0));
    scheduler.OnTimer(TimerOf(2));  // already running: adds nothing
    scheduler.OnTimer(TimerOf(1));
    scheduler.OnTimer(TimerOf(0));  // already queued: adds nothing
    EXPECT_EQ(prober.pending.size(), 1u);
    while (!prober.pending.empty()) {
        prober.Finish(0);
    }
    EXPECT_EQ(prober.started, (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(prober.mostAtOnce, 1);
    // Nothing is left waiting: the next account due is probed at once.
    scheduler.OnTimer(TimerOf(1));
    EXPECT_EQ(prober.pending.size(), 1u);
}

TEST_F(CheckSchedulerTest, AResultIsDroppedWhenItsAccountWasDeletedOrRetimedMeanwhile) {
    accounts.AddTail(TestAccount{"gone"});
    accounts.AddTail(TestAccount{"retimed"});
    accounts.AddTail(TestAccount{"stays"});
    scheduler.StartTimers();
    scheduler.OnTimer(TimerOf(0));
    scheduler.OnTimer(TimerOf(1));
    scheduler.OnTimer(TimerOf(2));

    scheduler.KillTimerOf(At(0));
    accounts.RemoveAt(0);
    // "retimed" was queued; its edit replaced the timer, so its queued check goes too.
    scheduler.RenewTimer(At(0));
    prober.Finish(4);  // "gone": dropped
    EXPECT_TRUE(tray.calls.empty());
    ASSERT_EQ(prober.pending.size(), 1u);
    EXPECT_EQ(prober.pending.front().user, "stays");
    prober.Finish(2);
    EXPECT_EQ(At(1).m_nLastCount, 2);
    EXPECT_EQ(tray.icons.keys(), (QList<int>{2003}));  // "stays" keeps its icon id at position 1
}

// Qt hands a freed timer id to the next timer started, so a new account can hold the id of the
// deleted one whose probe is still running.
TEST_F(CheckSchedulerTest, ADeletedAccountsResultNeverLandsOnTheAccountThatGetsItsTimerId) {
    accounts.AddTail(TestAccount{"deleted"});
    scheduler.StartTimers();
    scheduler.OnTimer(TimerOf(0));
    const std::uint32_t freedId = At(0).m_nTimerId;
    scheduler.ForgetAccount(At(0));
    accounts.RemoveAt(0);

    CAccount added = TestAccount{"added"};
    scheduler.SetTimerForAdded(added);
    accounts.AddTail(added);
    EXPECT_EQ(At(0).m_nTimerId, freedId);  // the situation this guards against
    prober.Finish(7);                      // the deleted account's mail
    EXPECT_EQ(At(0).m_nLastCount, 0);
    EXPECT_TRUE(tray.icons.isEmpty());

    // The added account's own checks go on as usual.
    Check(0, 2);
    EXPECT_EQ(At(0).m_nLastCount, 2);
}

TEST_F(CheckSchedulerTest, AnAccountSwitchedOffWhileWaitingInTheQueueIsNotProbed) {
    accounts.AddTail(TestAccount{"running"});
    accounts.AddTail(TestAccount{"switched off"});
    accounts.AddTail(TestAccount{"waiting"});
    scheduler.StartTimers();
    for (int p = 0; p < 3; ++p) {
        scheduler.OnTimer(TimerOf(p));
    }
    At(1).m_bEnabled = 0;  // the user's untick, taken in when the running check ends
    prober.Finish(0);
    prober.Finish(0);
    EXPECT_EQ(prober.started, (std::vector<std::string>{"running", "waiting"}));
    EXPECT_TRUE(prober.pending.empty());
}

TEST_F(CheckSchedulerTest, ResultsReachTheStatusLineAndTheList) {
    accounts.AddTail(TestAccount{"a"});
    scheduler.StartTimers();
    QSignalSpy status(&scheduler, &CCheckScheduler::statLineReceived);
    QSignalSpy checked(&scheduler, &CCheckScheduler::accountsChecked);
    scheduler.OnTimer(TimerOf(0));
    prober.Finish(3, QByteArray("+OK 3 512"));
    ASSERT_EQ(status.count(), 1);
    EXPECT_EQ(status.at(0).at(0).toByteArray(), QByteArray("+OK 3 512"));
    EXPECT_EQ(checked.count(), 1);
    scheduler.OnTimer(TimerOf(0));
    prober.Finish(-2);  // the dialogue broke: no reply to show
    EXPECT_EQ(status.count(), 1);
    EXPECT_EQ(checked.count(), 2);
}

TEST_F(CheckSchedulerTest, DeletingAnAccountRemovesItsIconAndLeavesTheOthersUntouched) {
    for (const char* name : {"a", "b", "c", "d"}) {
        accounts.AddTail(TestAccount{name});
    }
    scheduler.StartTimers();
    Check(1, 1);
    Check(2, 0);
    Check(3, 5);
    tray.calls.clear();
    scheduler.ForgetAccount(At(1));
    accounts.RemoveAt(1);
    EXPECT_EQ(tray.calls,
              (std::vector<TrayCall>{{TrayRequest::Delete, 2002, {}, {}}}));  // "d" stays as it was
    EXPECT_EQ(tray.icons[2004].tooltip, "d");
}

TEST_F(CheckSchedulerTest, RealTimersOfOtherAccountsKeepRunningAfterAnEditAndADelete) {
    accounts.AddTail(TestAccount{.user = "edited", .interval = 1});
    accounts.AddTail(TestAccount{.user = "deleted", .interval = 1});
    accounts.AddTail(TestAccount{.user = "untouched", .interval = 1});
    scheduler.StartTimers();
    scheduler.RenewTimer(At(0));
    scheduler.KillTimerOf(At(1));
    accounts.RemoveAt(1);

    // Time is the subject here: the real timers fire on their own, within a generous bound.
    const auto finishWhatRuns = [&] {
        while (!prober.pending.empty()) {
            prober.Finish(0);
        }
        return prober.started.size() >= 2;
    };
    ASSERT_TRUE(QTest::qWaitFor(finishWhatRuns, 30000));
    std::vector<std::string> started = prober.started;
    std::sort(started.begin(), started.end());
    EXPECT_EQ(started, (std::vector<std::string>{"edited", "untouched"}));
}

}  // namespace
