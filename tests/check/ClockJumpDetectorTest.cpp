#include <gtest/gtest.h>

#include <tuple>

#include "check/ClockJumpDetector.h"

namespace {

using namespace std::chrono_literals;

TEST(ClockJumpDetector, OnlyATimerFiringFarLaterByTheWallClockThanSetHasSlept) {
    auto now = std::chrono::system_clock::now();
    CClockJumpDetector detector([&now] { return now; });
    EXPECT_FALSE(detector.FiredAfterJump());  // no timer yet
    // The timer's interval, how far the wall clock moved until it fired, whether it slept.
    const std::tuple<std::chrono::milliseconds, std::chrono::milliseconds, bool> cases[] = {
        {9min, 9min + 5s, false}, {9min, 1h, true}, {2s, 2min, true}, {9min, -1h, false}};
    for (const auto& [interval, moved, slept] : cases) {
        detector.TimerStarted(interval);
        now += moved;
        EXPECT_EQ(detector.FiredAfterJump(), slept) << moved.count();
    }
}

}  // namespace
