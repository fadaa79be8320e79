#include <gtest/gtest.h>

#include "alerts/Alerts.h"
#include "check/CheckScheduler.h"
#include "tests/support/SchedulerRig.h"
#include "tests/support/TestAccount.h"

namespace {

struct CheckNow : ::testing::Test, SchedulerRig {};

TEST_F(CheckNow, ProbesEveryEnabledAccountOnceInListOrderWithoutStackingOrRetiming) {
    accounts.AddTail(TestAccount{"a"});
    accounts.AddTail(TestAccount{.user = "off", .enabled = 0});
    CAccount incomplete = TestAccount{"incomplete"};
    incomplete.m_strServer.clear();
    accounts.AddTail(incomplete);
    accounts.AddTail(TestAccount{"d"});
    accounts.AddTail(TestAccount{"e"});
    scheduler.StartTimers();
    std::vector<std::uint32_t> timers;
    for (const CAccount& account : accounts) {
        timers.push_back(account.m_nTimerId);
    }

    scheduler.OnTimer(static_cast<int>(accounts.GetAt(4)->m_nTimerId));  // "e" is being checked
    scheduler.CheckNow();
    scheduler.CheckNow();  // "a" and "d" wait in the queue, "e" runs: nothing more
    EXPECT_EQ(prober.started, (std::vector<std::string>{"e"}));
    EXPECT_EQ(prober.mostAtOnce, 1);
    while (!prober.pending.empty()) {
        prober.Finish(1);
    }
    EXPECT_EQ(prober.started, (std::vector<std::string>{"e", "a", "d"}));

    scheduler.CheckNow();
    scheduler.CheckNow();
    while (!prober.pending.empty()) {
        prober.Finish(1);
    }
    EXPECT_EQ(prober.started, (std::vector<std::string>{"e", "a", "d", "a", "d", "e"}));
    EXPECT_EQ(prober.mostAtOnce, 1);
    std::vector<std::uint32_t> after;
    for (const CAccount& account : accounts) {
        after.push_back(account.m_nTimerId);
    }
    EXPECT_EQ(after, timers);  // the same timers, never restarted
}

}  // namespace
