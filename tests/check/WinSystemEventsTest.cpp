#include <gtest/gtest.h>

#include <QSignalSpy>

#include "check/WinSystemEvents.h"
#include "tests/support/PostedEvents.h"

namespace {

// The wake-up broadcast reaches a hidden top-level window, which wine makes only with a display
// driver, and the test run has none: here the window's absence must merely do no harm.
TEST(WinSystemEvents, ABurstOfNetworkChangesIsOneChange) {
    CWinSystemEvents events;
    QSignalSpy changed(&events, &CSystemEvents::networkChanged);
    events.PostNetworkChanged();
    events.PostNetworkChanged();
    ASSERT_TRUE(DeliverQueuedEvents());
    events.PostNetworkChanged();  // news after the last went out is news again
    ASSERT_TRUE(DeliverQueuedEvents());
    EXPECT_EQ(changed.count(), 2);
}

}  // namespace
