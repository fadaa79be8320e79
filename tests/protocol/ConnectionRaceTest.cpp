#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "protocol/ConnectionRace.h"

namespace {

// The check's time-out may come in the same pass of the event loop in which an attempt's
// connection completes, before the race has heard of it: given up, it must leave nothing connected
// and name no winner.
TEST(ConnectionRace, AbandonedItClosesEvenAnAttemptWhoseConnectionHasJustCompleted) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    auto* race = new CConnectionRace(
        {{QHostAddress(QHostAddress::LocalHost)}, server.serverPort(), {}}, [] { return new QTcpSocket; },
        std::chrono::milliseconds(250), nullptr);
    QSignalSpy won(race, &CConnectionRace::Won);
    race->Start();
    ASSERT_TRUE(server.waitForNewConnection(10000));  // without the event loop: the race has not heard
    QTcpSocket* accepted = server.nextPendingConnection();
    race->Abandon();
    race->deleteLater();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return accepted->state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(won.size(), 0);
}

}  // namespace
