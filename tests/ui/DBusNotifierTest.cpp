#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "accounts/CAccountList.h"
#include "alerts/MailNotices.h"
#include "res/Strings.h"
#include "tests/servers/NotificationServer.h"
#include "tests/support/TestAccount.h"
#include "ui/DBusNotifier.h"

namespace {

// A notification service on a loaded machine may answer late; each wait ends as soon as it can.
constexpr int kWaitMs = 5000;

QStringList g_warnings;
void RecordWarning(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        g_warnings << message;
    }
}

// The program's notifier and notification rule talking over the private session bus to the
// test's notification service.
class DBusNotifierTest : public ::testing::Test {
protected:
    DBusNotifierTest() { notices.SetEnabled(true); }

    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under with-session-bus.sh";
    }

    NotificationServer server;
    CAccountList accounts;
    const AccountId alice = accounts.AddTail(TestAccount{"alice"});
    const AccountId bob = accounts.AddTail(TestAccount{"bob"});
    CDBusNotifier notifier;
    CMailNotices notices{accounts, &notifier};
};

TEST_F(DBusNotifierTest, ARiseNotifiesOnceAnotherReplacesItAndZeroClosesIt) {
    ASSERT_TRUE(server.Start());
    notices.OnCount(alice, 0, 2);
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.notifies.size() == 1u; }, kWaitMs));
    const NotificationServer::Received first = server.notifies[0];
    std::cout << NotificationServer::Describe(first).toStdString() << "\n";
    EXPECT_EQ(first.appName, "Quillpost");
    EXPECT_EQ(first.summary, "Quillpost");
    EXPECT_EQ(first.body, Str::Text("alice (pop.example.test)\nメールが2通あります。"));
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_TRUE(first.actions.contains("default"));
    EXPECT_EQ(first.hints.value("desktop-entry").toString(), "quillpost");
    EXPECT_EQ(NotificationServer::ImageSize(first), QSize(48, 48));

    notices.OnCount(alice, 2, 2);  // no rise: nothing goes out
    notices.OnCount(alice, 2, 5);
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.notifies.size() == 2u; }, kWaitMs));
    EXPECT_EQ(server.notifies[1].replacesId, first.id);
    EXPECT_EQ(server.notifies[1].body, Str::Text("alice (pop.example.test)\nメールが5通あります。"));

    // Two rises before the service answered the first: the second still replaces the first.
    notices.OnCount(bob, 0, 1);
    notices.OnCount(bob, 1, 2);
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.notifies.size() == 4u; }, kWaitMs));
    EXPECT_EQ(server.notifies[3].replacesId, server.notifies[2].id);
    EXPECT_NE(server.notifies[2].id, first.id);

    notices.OnCount(alice, 5, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.closes == std::vector<uint>{first.id}; }, kWaitMs));
}

TEST_F(DBusNotifierTest, TheDefaultActionShowsAndRaisesTheWindow) {
    ASSERT_TRUE(server.Start());
    QWidget window;
    notifier.SetOwnerWindow(&window);
    notices.OnCount(alice, 0, 1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.notifies.size() == 1u; }, kWaitMs));
    ASSERT_FALSE(window.isVisible());
    server.InvokeAction(server.notifies[0].id, "default");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isVisible(); }, kWaitMs));
}

TEST_F(DBusNotifierTest, TheEndWithdrawsEveryNotificationEvenOneStillWaitingForItsId) {
    ASSERT_TRUE(server.Start());
    notices.OnCount(alice, 0, 1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.notifies.size() == 1u; }, kWaitMs));
    notices.OnCount(bob, 0, 1);  // the service has not answered this one yet
    QMetaObject::invokeMethod(qApp, "aboutToQuit");
    ASSERT_EQ(server.notifies.size(), 2u);
    EXPECT_EQ(server.closes, (std::vector<uint>{server.notifies[0].id, server.notifies[1].id}));
}

TEST_F(DBusNotifierTest, WithoutAServiceOrABusNothingIsShownOrReported) {
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(RecordWarning);
    notices.OnCount(alice, 0, 1);
    notices.OnCount(alice, 1, 3);
    {
        CDBusNotifier offBus(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                           QStringLiteral("no-bus")));
        offBus.Show(1, "Quillpost", "text");
        offBus.Withdraw(1);
    }
    // Once a service comes, the next rise is shown as a new notification: the failed calls left
    // nothing behind that waits or replaces.
    ASSERT_TRUE(server.Start());
    notices.OnCount(alice, 3, 4);
    const bool shown = QTest::qWaitFor([this] { return server.notifies.size() == 1u; }, kWaitMs);
    qInstallMessageHandler(previous);
    ASSERT_TRUE(shown);
    EXPECT_EQ(server.notifies[0].replacesId, 0u);
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join('\n').toStdString();
}

}  // namespace
