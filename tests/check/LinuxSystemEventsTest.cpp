// The Linux source against what it really listens to: a private system bus on which the test
// stands in for logind, and a network namespace of the test's own in which it adds and removes
// the default route. Runs under in-network-namespace.sh and QUILLPOST_BUS_TYPE=system with-session-bus.sh.
#include <gtest/gtest.h>

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

#include "check/LinuxSystemEvents.h"
#include "tests/servers/HostCommand.h"
#include "tests/support/PostedEvents.h"

namespace {

TEST(LinuxSystemEvents, OnlyLogindsWakingUpIsAResume) {
    const QString path = "/org/freedesktop/login1", manager = "org.freedesktop.login1.Manager";
    QDBusConnection logind = QDBusConnection::connectToBus(QDBusConnection::SystemBus, "logind");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1")) << "run on a private system bus";
    CLinuxSystemEvents events;
    QSignalSpy resumed(&events, &CSystemEvents::resumed);
    // Triggered by every PrepareForSleep this program's own connection receives: once it has seen
    // both, the events source has been handed both.
    QAction received;
    QDBusConnection::systemBus().connect({}, path, manager, "PrepareForSleep", &received, SLOT(trigger()));
    QSignalSpy delivered(&received, &QAction::triggered);
    for (const bool goingToSleep : {true, false}) {
        ASSERT_TRUE(
            logind.send(QDBusMessage::createSignal(path, manager, "PrepareForSleep") << goingToSleep));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.count() == 2; }, 10000));
    ASSERT_TRUE(DeliverQueuedEvents());
    EXPECT_EQ(resumed.count(), 1);
}

TEST(LinuxSystemEvents, ADefaultRouteComingAndGoingAreNetworkChanges) {
    CLinuxSystemEvents events;
    QSignalSpy changed(&events, &CSystemEvents::networkChanged);
    for (const char* change : {"add", "del"}) {
        const int before = changed.count();
        ASSERT_NO_THROW(RunHostCommand("ip", {"route", change, "default", "via", "10.200.0.2"}));
        EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() > before; }, 10000)) << change;
    }
}

}  // namespace
