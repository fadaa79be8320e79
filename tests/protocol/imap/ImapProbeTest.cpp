// The IMAP probe and the program's prober against dovecot on loopback, and against a scripted
// server for what dovecot will not do.
#include <gtest/gtest.h>

#include "protocol/MailProber.h"
#include "tests/protocol/ProbeTestSupport.h"
#include "tests/servers/DovecotServer.h"
#include "tests/servers/ScriptedPop3Server.h"

namespace {

ProbeOutcome RunImapProbe(const std::string& user, const std::string& password, const std::string& server,
                          const ProbeOptions& options) {
    return RunProbe(user, password, server, options, StartMailProbe);
}

// The lines of dovecot's log that follow `from` and hold `what`.
QStringList LogLines(const DovecotServer& server, qsizetype from, const QString& what) {
    return server.Log().mid(from).split('\n').filter(what);
}

class ImapProbeDovecot : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_server = std::make_unique<DovecotServer>(
            std::vector<DovecotServer::User>{{"alice", "secret"}, {"carol", "a\"b\\c d\xc3\xa4"}});
    }
    static void TearDownTestSuite() { s_server.reset(); }

    static std::string Imaps(const std::string& host = "127.0.0.1") {
        return "imaps://" + host + ":" + std::to_string(s_server->ImapsPort());
    }
    static std::string Imap(const std::string& scheme, const std::string& host = "127.0.0.1") {
        return scheme + "://" + host + ":" + std::to_string(s_server->ImapPort());
    }
    static ProbeOptions Trusting() { return TestProbeOptions({s_server->Certificate().certificate}); }

    static inline std::unique_ptr<DovecotServer> s_server;
};

TEST_F(ImapProbeDovecot, CountsUnseenMailOverTlsStartTlsAndPlainTextAndLogsOut) {
    for (int count : {0, 3}) {
        s_server->SetMessageCount("alice", count);
        const qsizetype logBefore = s_server->Log().size();
        for (const std::string& server : {Imaps(), Imap("imap+starttls"), Imap("imap")}) {
            const ProbeOutcome outcome = RunImapProbe("alice", "secret", server, Trusting());
            EXPECT_EQ(outcome.result, count) << server;
            EXPECT_EQ(outcome.statLine, "* STATUS INBOX (UNSEEN " + QByteArray::number(count) + ")")
                << server;
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return LogLines(*s_server, logBefore, "Logged out").size() == 3; }))
            << s_server->Log().mid(logBefore).toStdString();
        EXPECT_EQ(LogLines(*s_server, logBefore, "Login: user=<alice>").filter(", TLS").size(), 2);
    }
}

// Carol's password holds a quote, a backslash, a space and 8-bit bytes.
TEST_F(ImapProbeDovecot, TheCountFallsWhenMailIsMarkedSeen) {
    s_server->SetMessageCount("carol", 3);
    EXPECT_EQ(RunImapProbe("carol", "a\"b\\c d\xc3\xa4", Imaps(), Trusting()).result, 3);
    s_server->MarkSeen("carol", 2);
    EXPECT_EQ(RunImapProbe("carol", "a\"b\\c d\xc3\xa4", Imap("imap"), Trusting()).result, 1);
}

TEST_F(ImapProbeDovecot, AWrongPasswordIsALoginErrorWithTheServersLine) {
    for (const std::string& server : {Imaps(), Imap("imap+starttls")}) {
        const ProbeOutcome outcome = RunImapProbe("alice", "wrong", server, Trusting());
        EXPECT_EQ(outcome.result, ProbeCode::kRefused) << server;
        EXPECT_TRUE(outcome.statLine->endsWith(" NO [AUTHENTICATIONFAILED] Authentication failed."))
            << server;
    }
}

// Dovecot takes a connection from 127.0.0.1 to 127.0.0.2 as insecure.
TEST_F(ImapProbeDovecot, LoginDisabledIsALoginErrorAndStartTlsLiftsIt) {
    s_server->SetMessageCount("alice", 2);
    const qsizetype logBefore = s_server->Log().size();
    EXPECT_EQ(RunImapProbe("alice", "secret", Imap("imap", "127.0.0.2"), Trusting()).result,
              ProbeCode::kRefused);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return !LogLines(*s_server, logBefore, "logging out (no auth attempts")
                    .filter("lip=127.0.0.2")
                    .isEmpty();
    })) << s_server->Log().mid(logBefore).toStdString();
    // "localhost", which the certificate names, at 127.0.0.2.
    ProbeOptions options = Trusting();
    options.resolve = [](const QString&) { return QList<QHostAddress>{QHostAddress("127.0.0.2")}; };
    EXPECT_EQ(RunImapProbe("alice", "secret", Imap("imap+starttls", "localhost"), options).result, 2);
}

TEST_F(ImapProbeDovecot, CertificatesAreVerified) {
    for (const std::string& server : {Imaps(), Imap("imap+starttls")}) {
        EXPECT_EQ(RunImapProbe("alice", "secret", server, {}).result, ProbeCode::kConnectError) << server;
    }
}

// A scripted server, answering under the command's tag as a real one does, that goes silent.
TEST(ImapProbe, GivingUpOnASilentServerLogsOut) {
    ScriptedPop3Server server(ServerScript()
                                  .Send("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR] ready\r\n")
                                  .AwaitLine()
                                  .SendTagged("OK Logged in\r\n"));
    ProbeOptions options = TestProbeOptions();
    options.idleTimeout = std::chrono::milliseconds(300);
    const ProbeOutcome outcome =
        RunImapProbe("alice", "pw", "imap://127.0.0.1:" + std::to_string(server.Port()), options);
    EXPECT_EQ(outcome.result, ProbeCode::kDialogueBroken);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.AllClientsGone(); }, 10000));
    EXPECT_TRUE(server.Received().endsWith("STATUS INBOX (UNSEEN)\r\na3 LOGOUT\r\n"))
        << server.Received().constData();
}

}  // namespace
