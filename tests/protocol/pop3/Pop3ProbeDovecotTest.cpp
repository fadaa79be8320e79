// The probe and the prober against a real POP3 server (dovecot) on loopback.
#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "protocol/MailProber.h"
#include "tests/protocol/ProbeTestSupport.h"
#include "tests/servers/DovecotServer.h"

namespace {

class Pop3ProbeDovecot : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_server = std::make_unique<DovecotServer>(
            std::vector<DovecotServer::User>{{"alice", "secret"}, {"bob", "hunter2"}});
    }
    static void TearDownTestSuite() { s_server.reset(); }

    static std::string Plain() { return "127.0.0.1:" + std::to_string(s_server->Pop3Port()); }
    static std::string Tls(const std::string& host = "127.0.0.1") {
        return "pop3s://" + host + ":" + std::to_string(s_server->Pop3sPort());
    }
    static std::string Stls() { return "pop3+starttls://127.0.0.1:" + std::to_string(s_server->Pop3Port()); }
    static ProbeOptions Trusting() { return TestProbeOptions({s_server->Certificate().certificate}); }

    static inline std::unique_ptr<DovecotServer> s_server;
};

TEST_F(Pop3ProbeDovecot, CountsTheMessagesOverPlainPop3AndTls) {
    for (int count : {0, 1, 5}) {
        s_server->SetMessageCount("alice", count);
        const ProbeOutcome plain = RunProbe("alice", "secret", Plain(), Trusting());
        EXPECT_EQ(plain.result, count);
        ASSERT_TRUE(plain.statLine.has_value());
        EXPECT_TRUE(plain.statLine->startsWith("+OK " + QByteArray::number(count) + " "))
            << plain.statLine->constData();

        const ProbeOutcome tls = RunProbe("alice", "secret", Tls(), Trusting());
        EXPECT_EQ(tls.result, count);
        EXPECT_EQ(tls.statLine, plain.statLine);
    }
}

TEST_F(Pop3ProbeDovecot, CountsTheMessagesAfterStlsWithTheLoginInsideTls) {
    s_server->SetMessageCount("bob", 2);
    const qsizetype logBefore = s_server->Log().size();
    const ProbeOutcome outcome = RunProbe("bob", "hunter2", Stls(), Trusting());
    EXPECT_EQ(outcome.result, 2);
    ASSERT_TRUE(outcome.statLine.has_value());
    EXPECT_TRUE(outcome.statLine->startsWith("+OK 2 ")) << outcome.statLine->constData();
    // Dovecot notes on each login whether it came inside TLS.
    QString login;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList lines = s_server->Log().mid(logBefore).split('\n');
            const auto found = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
                return line.contains("Login: user=<bob>");
            });
            login = found != lines.end() ? *found : QString();
            return !login.isEmpty();
        },
        10000));
    EXPECT_TRUE(login.contains(", TLS")) << login.toStdString();
}

TEST_F(Pop3ProbeDovecot, ReachesTheServerByNameAndOverIpv6) {
    s_server->SetMessageCount("bob", 2);
    EXPECT_EQ(RunProbe("bob", "hunter2", Tls("localhost"), Trusting()).result, 2);
    if (s_server->HasIpv6()) {
        EXPECT_EQ(RunProbe("bob", "hunter2", "[::1]:" + std::to_string(s_server->Pop3Port())).result, 2);
        EXPECT_EQ(RunProbe("bob", "hunter2", Tls("[::1]"), Trusting()).result, 2);
    }
}

TEST_F(Pop3ProbeDovecot, AWrongPasswordIsRefusedWithTheServersOwnLine) {
    s_server->SetMessageCount("alice", 3);
    for (const std::string& server : {Plain(), Tls(), Stls()}) {
        const ProbeOutcome outcome = RunProbe("alice", "wrong", server, Trusting());
        EXPECT_EQ(outcome.result, ProbeCode::kRefused) << server;
        // After the failed login dovecot does not know STAT in its state.
        EXPECT_EQ(outcome.statLine, "-ERR Unknown command.") << server;
    }
    EXPECT_EQ(RunProbe("alice", "secret", Plain()).result, 3) << "a failed login costs the next one nothing";
}

TEST_F(Pop3ProbeDovecot, AnUntrustedCertificateIsAConnectionError) {
    for (const std::string& server : {Tls(), Stls()}) {
        const ProbeOutcome outcome = RunProbe("alice", "secret", server, TestProbeOptions());
        EXPECT_EQ(outcome.result, ProbeCode::kConnectError) << server;
        EXPECT_FALSE(outcome.statLine.has_value());
    }
    // A trusted certificate that does not carry the name asked for: the server is the right one,
    // reached through a name of the test's own, so only the name check can refuse it.
    ProbeOptions otherName = Trusting();
    otherName.resolve = [](const QString&) {
        return QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost)};
    };
    EXPECT_EQ(RunProbe("alice", "secret", Tls("mail.example.test"), otherName).result,
              ProbeCode::kConnectError);
}

TEST_F(Pop3ProbeDovecot, TheProberRunsProbesSideBySideAndReportsEachOnce) {
    s_server->SetMessageCount("alice", 4);
    s_server->SetMessageCount("bob", 1);
    CMailProber prober(Trusting());
    std::vector<std::pair<std::string, int>> reports;
    // Every probe holds its callback, and with it a share of this token, until the prober lets the
    // probe go: then no further report can come.
    auto token = std::make_shared<int>();
    const std::weak_ptr<int> callbacksHeld = token;
    const auto record = [&reports, &token](const std::string& who) {
        return [&reports, who, token](const ProbeOutcome& outcome) {
            reports.emplace_back(who, outcome.result);
        };
    };
    prober.Start("alice", "secret", Plain(), record("alice plain"));
    prober.Start("bob", "hunter2", Tls(), record("bob tls"));
    prober.Start("bob", "nope", Plain(), record("bob wrong"));
    EXPECT_TRUE(reports.empty()) << "reported from inside Start";
    token.reset();
    EXPECT_EQ(callbacksHeld.use_count(), 3);  // one running probe each
    ASSERT_TRUE(QTest::qWaitFor([&] { return callbacksHeld.expired(); }, 30000)) << reports.size();
    std::sort(reports.begin(), reports.end());
    EXPECT_EQ(reports, (std::vector<std::pair<std::string, int>>{
                           {"alice plain", 4}, {"bob tls", 1}, {"bob wrong", ProbeCode::kRefused}}));
}

TEST_F(Pop3ProbeDovecot, TheNextProbeMayStartFromInsideDone) {
    s_server->SetMessageCount("alice", 2);
    CMailProber prober(Trusting());
    std::vector<int> results;
    auto token = std::make_shared<int>();
    const std::weak_ptr<int> callbackCopies = token;
    std::function<void(const ProbeOutcome&)> next = [&, token](const ProbeOutcome& outcome) {
        results.push_back(outcome.result);
        if (results.size() < 3) {
            prober.Start("alice", "secret", results.size() % 2 ? Tls() : Plain(), next);
        }
    };
    token.reset();
    prober.Start("alice", "secret", Plain(), next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return results.size() == 3; }, 30000));
    EXPECT_EQ(results, (std::vector<int>{2, 2, 2}));
    // Every finished probe was let go: only `next` itself still holds the callback.
    EXPECT_TRUE(QTest::qWaitFor([&] { return callbackCopies.use_count() == 1; }, 10000));
}

TEST_F(Pop3ProbeDovecot, DestroyingTheProberAbandonsItsProbes) {
    bool reported = false;
    {
        CMailProber prober(Trusting());
        prober.Start("alice", "secret", Plain(), [&](const ProbeOutcome&) { reported = true; });
        prober.Start("bob", "hunter2", Tls(), [&](const ProbeOutcome&) { reported = true; });
    }
    // The server is still fine for the next probe, whose answer also shows that the abandoned ones
    // had time to report, had they not been abandoned.
    s_server->SetMessageCount("bob", 1);
    EXPECT_EQ(RunProbe("bob", "hunter2", Plain()).result, 1);
    EXPECT_FALSE(reported);
}

}  // namespace
