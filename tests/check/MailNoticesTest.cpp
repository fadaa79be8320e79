#include <gtest/gtest.h>

#include "alerts/Alerts.h"
#include "alerts/MailNotices.h"
#include "check/CheckScheduler.h"
#include "res/Strings.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/SchedulerRig.h"
#include "tests/support/TestAccount.h"

namespace {

class MailNoticesTest : public ::testing::Test, protected SchedulerRig {
protected:
    MailNoticesTest() {
        QObject::connect(
            &scheduler, &CCheckScheduler::countChanged,
            [this](AccountId id, int previous, int count) { notices.OnCount(id, previous, count); });
        QObject::connect(&scheduler, &CCheckScheduler::accountRemoved,
                         [this](AccountId id) { notices.OnAccountRemoved(id); });
        notices.SetEnabled(true);
    }

    void Check(int position, int result) {
        scheduler.OnTimer(static_cast<int>(accounts.GetAt(position)->m_nTimerId));
        ASSERT_EQ(prober.pending.size(), 1u);
        prober.Finish(result);
    }

    RecordingNotifier notifier;
    CMailNotices notices{accounts, &notifier};
};

TEST_F(MailNoticesTest, ARisingCountShowsOneNoticePerAccountReplacedOnRisesAndGoneAtZero) {
    CAccount quiet = TestAccount{"alice"};
    quiet.m_bSound = 0;  // no sound or launch settings: the notice does not depend on them
    accounts.AddTail(quiet);
    accounts.AddTail(TestAccount{"bob"});
    scheduler.StartTimers();

    Check(0, 2);
    Check(0, 2);  // the same count: no new notice
    Check(0, 1);  // fewer: none either
    Check(1, 4);
    Check(0, 3);  // risen again: the same key, so it replaces alice's notice
    EXPECT_EQ(notifier.requests, (QStringList{"show 1", "show 2", "show 1"}));
    EXPECT_EQ(notifier.shown[1], Str::Text("Quillpost|alice (pop.example.test)\nメールが3通あります。"));
    EXPECT_EQ(notifier.shown[2], Str::Text("Quillpost|bob (pop.example.test)\nメールが4通あります。"));

    Check(1, -1);  // an error counts as 0: the notice goes, and the next mail is a rise again
    Check(0, 0);
    EXPECT_TRUE(notifier.shown.isEmpty());
    Check(1, 1);
    EXPECT_EQ(notifier.requests.last(), "show 3");

    // Switched off: nothing new appears, but a drop still takes the last notice away.
    notices.SetEnabled(false);
    Check(0, 5);
    EXPECT_EQ(notifier.requests.last(), "show 3");
    Check(1, 0);
    EXPECT_EQ(notifier.requests.last(), "withdraw 3");
}

TEST_F(MailNoticesTest, ADeletedAccountsNoticeGoesAndTheOthersKeepTheirsUntilTheEnd) {
    for (const char* user : {"a", "b", "c"}) {
        accounts.AddTail(TestAccount{user});
    }
    scheduler.StartTimers();
    Check(0, 1);
    Check(1, 1);
    Check(2, 1);
    scheduler.ForgetAccount(*accounts.GetAt(1));
    accounts.RemoveAt(1);
    EXPECT_EQ(notifier.requests.last(), "withdraw 2");
    Check(1, 2);  // "c", now at position 1, replaces its own notice
    EXPECT_EQ(notifier.requests.last(), "show 3");
    EXPECT_EQ(notifier.shown.keys(), (QList<int>{1, 3}));

    RecordingNotifier atEnd;
    {
        CMailNotices ending{accounts, &atEnd};
        ending.SetEnabled(true);
        ending.OnCount(accounts.GetAt(0)->m_id, 0, 1);
        ending.OnCount(accounts.GetAt(1)->m_id, 0, 2);
    }
    EXPECT_EQ(atEnd.requests,
              (QStringList{"show 1", "show 2", "withdraw 1", "withdraw 2"}));  // none outlives the program
}

}  // namespace
