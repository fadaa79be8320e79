#include <gtest/gtest.h>

#include "check/AccountWatches.h"

namespace {

TEST(ReconnectDelay, ThirtySecondsDoublingToFifteenMinutesEachWithinAFifthEitherWay) {
    using std::chrono::milliseconds;
    // Failed reconnects in a row, and the delay in seconds before it is spread by up to a fifth.
    const std::pair<int, int> cases[] = {{1, 30}, {2, 60}, {3, 120}, {5, 480}, {6, 900}, {100, 900}};
    for (const auto& [failures, seconds] : cases) {
        EXPECT_EQ(ReconnectDelay(failures, 0.0), milliseconds(seconds * 800)) << failures;
        EXPECT_NEAR(ReconnectDelay(failures, 0.99999).count(), seconds * 1200, 20) << failures;
    }
}

}  // namespace
