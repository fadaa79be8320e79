// The probe against a scripted server on loopback that misbehaves in every way it can.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "protocol/MailProber.h"
#include "protocol/pop3/Pop3Probe.h"
#include "tests/protocol/ProbeTestSupport.h"
#ifndef _WIN32
#include "tests/servers/BlackHoleListener.h"
#endif
#include "tests/servers/ScriptedPop3Server.h"

namespace {

const QByteArray kAllCommands = "USER alice\r\nPASS pw\r\nSTAT\r\nQUIT\r\n";
const QByteArray kLoginAndStat = "USER alice\r\nPASS pw\r\nSTAT\r\n";
const QByteArray kGreeting = "+OK ready\r\n";

struct Observed {
    ProbeOutcome outcome;
    QByteArray sent;  // every byte the server received
};

std::string LoopbackServer(const ScriptedPop3Server& server) {
    return "127.0.0.1:" + std::to_string(server.Port());
}

ProbeOptions ShortIdle() {
    ProbeOptions options = TestProbeOptions();
    options.idleTimeout = std::chrono::milliseconds(300);
    return options;
}

Observed ProbeAndCollect(ScriptedPop3Server& server, const std::string& field, const ProbeOptions& options,
                         const std::string& user = "alice", const std::string& password = "pw") {
    Observed observed;
    observed.outcome = RunProbe(user, password, field, options);
    // The probe closes its end before it reports; the server must see that, so no connection is
    // left behind.
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.AllClientsGone(); }, 10000)) << "connection left open";
    observed.sent = server.Received();
    return observed;
}

Observed ProbeScript(const ServerScript& script, const ProbeOptions& options = TestProbeOptions()) {
    ScriptedPop3Server server(script);
    return ProbeAndCollect(server, LoopbackServer(server), options);
}

ServerScript StatAnsweredWith(const QByteArray& reply) {
    return ServerScript::Conversation(kGreeting, {"+OK\r\n", "+OK Logged in.\r\n", reply});
}

TEST(Pop3Probe, ReadsTheCountFromTheStatReply) {
    const Observed three = ProbeScript(StatAnsweredWith("+OK 3 512 and extra words\r\n+OK bye\r\n"));
    EXPECT_EQ(three.outcome.result, 3);
    EXPECT_EQ(three.outcome.statLine, "+OK 3 512 and extra words");
    EXPECT_EQ(three.sent, kAllCommands);

    const Observed none = ProbeScript(StatAnsweredWith("+OK 0 0\r\n"));
    EXPECT_EQ(none.outcome.result, ProbeCode::kNoMail);
    EXPECT_EQ(none.outcome.statLine, "+OK 0 0");

    const Observed noNumber = ProbeScript(StatAnsweredWith("+OK\r\n"));
    EXPECT_EQ(noNumber.outcome.result, ProbeCode::kNoMail);
    EXPECT_EQ(noNumber.outcome.statLine, "+OK");
    EXPECT_EQ(noNumber.sent, kAllCommands);
}

TEST(Pop3Probe, ARefusedOrNegativeStatIsARefusal) {
    const Observed negative = ProbeScript(StatAnsweredWith("+OK -5 0\r\n"));
    EXPECT_EQ(negative.outcome.result, ProbeCode::kRefused);
    EXPECT_EQ(negative.outcome.statLine, "+OK -5 0");

    const Observed errors =
        ProbeScript(ServerScript::Conversation("-ERR\r\n", {"-ERR\r\n", "-ERR\r\n", "-ERR\r\n"}));
    EXPECT_EQ(errors.outcome.result, ProbeCode::kRefused);
    EXPECT_EQ(errors.outcome.statLine, "-ERR");
    EXPECT_EQ(errors.sent, kAllCommands);
}

TEST(Pop3Probe, StaysInStepAfterAnOverlongGreeting) {
    const Observed observed = ProbeScript(ServerScript::Conversation(
        "+OK " + QByteArray(2000, 'g') + "\r\n", {"+OK\r\n", "+OK\r\n", "+OK 2 300\r\n"}));
    EXPECT_EQ(observed.outcome.result, 2);
    EXPECT_EQ(observed.outcome.statLine, "+OK 2 300");
    EXPECT_EQ(observed.sent, kAllCommands);
}

TEST(Pop3Probe, BareLfLineEndsWorkAndBareCrEatsTheNextByte) {
    const Observed lf = ProbeScript(ServerScript::Conversation("+OK hi\n", {"+OK\n", "+OK\n", "+OK 4 4\n"}));
    EXPECT_EQ(lf.outcome.result, 4);
    EXPECT_EQ(lf.sent, kAllCommands);

    // Each CR takes the next byte with it, so a server that waits after a bare CR waits for ever -
    // until the probe gives up.
    const Observed lockstep =
        ProbeScript(ServerScript::Conversation("+OK hi\r", {"+OK\r", "+OK\r", "+OK 4 4\r"}), ShortIdle());
    EXPECT_EQ(lockstep.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_FALSE(lockstep.outcome.statLine.has_value());
    EXPECT_EQ(lockstep.sent, "");

    // Sent all at once, each reply loses its first byte to the CR before it.
    const Observed burst = ProbeScript(ServerScript().Send("+OK hi\r+OK\r+OK\r+OK 4 4\r").Close());
    EXPECT_EQ(burst.outcome.result, ProbeCode::kRefused);
    EXPECT_EQ(burst.outcome.statLine, "OK 4 4");
    EXPECT_EQ(burst.sent, kLoginAndStat);
}

TEST(Pop3Probe, AConnectionEndingBeforeTheStatReplyIsBroken) {
    const Observed afterGreeting = ProbeScript(ServerScript().Send(kGreeting).Close());
    EXPECT_EQ(afterGreeting.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_FALSE(afterGreeting.outcome.statLine.has_value());
    EXPECT_EQ(afterGreeting.sent, "USER alice\r\n");

    const Observed greetingWithCount = ProbeScript(
        ServerScript::Conversation("+OK 7 messages\r\n", {"+OK\r\n", "+OK\r\n"}).AwaitLine().Close());
    EXPECT_EQ(greetingWithCount.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_FALSE(greetingWithCount.outcome.statLine.has_value());
    EXPECT_EQ(greetingWithCount.sent, kLoginAndStat);

    const Observed reset =
        ProbeScript(ServerScript::Conversation(kGreeting, {"+OK\r\n"}).AwaitLine().Reset());
    EXPECT_EQ(reset.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_FALSE(reset.outcome.statLine.has_value());
    EXPECT_EQ(reset.sent, "USER alice\r\nPASS pw\r\n");

    const Observed immediately = ProbeScript(ServerScript().Close());
    EXPECT_EQ(immediately.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_EQ(immediately.sent, "");
}

TEST(Pop3Probe, AStatReplyCutShortByTheCloseCountsAsItArrived) {
    const Observed observed = ProbeScript(
        ServerScript::Conversation(kGreeting, {"+OK\r\n", "+OK\r\n"}).AwaitLine().Send("+OK 5 5").Close());
    EXPECT_EQ(observed.outcome.result, 5);
    EXPECT_EQ(observed.outcome.statLine, "+OK 5 5");
    EXPECT_EQ(observed.sent, kLoginAndStat);
}

TEST(Pop3Probe, GivesUpOnASilentServer) {
    const Observed silent = ProbeScript(ServerScript(), ShortIdle());
    EXPECT_EQ(silent.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_FALSE(silent.outcome.statLine.has_value());
    EXPECT_EQ(silent.sent, "");

    const Observed silentAfterPass =
        ProbeScript(ServerScript::Conversation(kGreeting, {"+OK\r\n"}), ShortIdle());
    EXPECT_EQ(silentAfterPass.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_EQ(silentAfterPass.sent, "USER alice\r\nPASS pw\r\n");
}

TEST(Pop3Probe, SurvivesTenMegabytesWithoutALineEnd) {
    const QByteArray flood(10 * 1024 * 1024, 'f');
    const Observed asGreeting = ProbeScript(ServerScript().Send(flood).Close());
    EXPECT_EQ(asGreeting.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_EQ(asGreeting.sent, "");

    const Observed asStatReply = ProbeScript(StatAnsweredWith("+OK 6 " + flood + "\r\n"));
    EXPECT_EQ(asStatReply.outcome.result, 6);
    EXPECT_EQ(asStatReply.outcome.statLine, "+OK 6 " + QByteArray(514 - 6, 'f'));
    EXPECT_EQ(asStatReply.sent, kAllCommands);
}

TEST(Pop3Probe, TakesBinaryJunkWithNuls) {
    const QByteArray junk("\0\x01\x7f\xff\xfe\0junk\0\x1b[0m", 15);
    const Observed observed = ProbeScript(ServerScript::Conversation(
        junk + "\r\n", {junk + "\n", junk + "\r\n", QByteArray("+OK 2\0\xff 9\r\n", 11) + junk}));
    EXPECT_EQ(observed.outcome.result, 2);
    EXPECT_EQ(observed.outcome.statLine, "+OK 2");
    EXPECT_EQ(observed.sent, kAllCommands);
}

// These need Linux's own behaviour: a full accept queue that silently drops connection requests.
#ifndef _WIN32
TEST(Pop3Probe, AConnectionThatNeverCompletesIsAConnectionError) {
    const BlackHoleListener blackHole(QHostAddress::LocalHost);
    ProbeOptions options = TestProbeOptions();
    options.connectTimeout = std::chrono::milliseconds(300);
    const ProbeOutcome outcome =
        RunProbe("alice", "pw", "127.0.0.1:" + std::to_string(blackHole.Port()), options);
    EXPECT_EQ(outcome.result, ProbeCode::kConnectError);
    EXPECT_FALSE(outcome.statLine.has_value());
}

TEST(Pop3Probe, TheWholeProbeHasATimeLimit) {
    ProbeOptions options = TestProbeOptions();
    options.probeTimeout = std::chrono::milliseconds(1000);
    // Every byte comes well within the idle limit, but the greeting never ends.
    const Observed dripping = ProbeScript(ServerScript().Drip('.', std::chrono::milliseconds(100)), options);
    EXPECT_EQ(dripping.outcome.result, ProbeCode::kDialogueBroken);
    EXPECT_EQ(dripping.sent, "");

    // A connection that never completes, with a connect limit that would come much later.
    options.connectTimeout = std::chrono::hours(1);
    const BlackHoleListener blackHole(QHostAddress::LocalHost);
    const ProbeOutcome neverConnected =
        RunProbe("alice", "pw", "127.0.0.1:" + std::to_string(blackHole.Port()), options);
    EXPECT_EQ(neverConnected.result, ProbeCode::kConnectError);
}
#endif

// A name whose first address is `first` and whose second is the scripted server's 127.0.0.1.
ProbeOptions NameWithAddresses(const QHostAddress& first) {
    ProbeOptions options = TestProbeOptions();
    options.resolve = [first](const QString& name) {
        return name == "mail.test" ? QList<QHostAddress>{first, QHostAddress(QHostAddress::LocalHost)}
                                   : QList<QHostAddress>{};
    };
    return options;
}

#ifndef _WIN32
TEST(Pop3Probe, ADeadFirstAddressDoesNotHideAWorkingSecond) {
    ScriptedPop3Server server(StatAnsweredWith("+OK 1 1\r\n"));
    // Loopback answers on every 127.x.y.z; this one drops the connection requests.
    const BlackHoleListener blackHole(QHostAddress("127.0.0.2"), server.Port());
    // Tried one after the other, the first address would take the whole connect limit.
    const Observed observed = ProbeAndCollect(server, "mail.test:" + std::to_string(server.Port()),
                                              NameWithAddresses(QHostAddress("127.0.0.2")));
    EXPECT_EQ(observed.outcome.result, 1);
    EXPECT_EQ(observed.sent, kAllCommands);
}
#endif

TEST(Pop3Probe, ARefusedAddressMovesOnAtOnce) {
    ScriptedPop3Server server(StatAnsweredWith("+OK 1 1\r\n"));
    ProbeOptions options = NameWithAddresses(QHostAddress("127.0.0.3"));
    // Only a refusal, never the delay, can start the second attempt before the connect limit.
    options.nextAddressDelay = std::chrono::hours(1);
    const Observed observed = ProbeAndCollect(server, "mail.test:" + std::to_string(server.Port()), options);
    EXPECT_EQ(observed.outcome.result, 1);
    EXPECT_EQ(observed.sent, kAllCommands);
}

TEST(Pop3Probe, NeverSendsCredentialsWithLineBreaksOrNul) {
    ScriptedPop3Server server(StatAnsweredWith("+OK 1 1\r\n"));
    const std::string field = LoopbackServer(server);
    for (const auto& [user, password] :
         std::vector<std::pair<std::string, std::string>>{{"alice\r\nDELE 1", "pw"},
                                                          {"alice", "pw\nDELE 1"},
                                                          {"alice", "pw\r"},
                                                          {std::string("al\0ice", 6), "pw"},
                                                          {"alice", std::string("pw\0", 3)}}) {
        const ProbeOutcome outcome = RunProbe(user, password, field);
        EXPECT_EQ(outcome.result, ProbeCode::kRefused);
        EXPECT_FALSE(outcome.statLine.has_value());
    }
    // A good probe afterwards: the server has taken in every connection made before its own.
    EXPECT_EQ(RunProbe("alice", "pw", field).result, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.AllClientsGone(); }, 10000));
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_EQ(server.Received(), kAllCommands);
}

TEST(Pop3Probe, NothingListeningIsAConnectionError) {
    quint16 closedPort = 0;
    {
        QTcpServer placeholder;
        ASSERT_TRUE(placeholder.listen(QHostAddress::LocalHost, 0));
        closedPort = placeholder.serverPort();
    }
    for (const std::string& field :
         {"127.0.0.1:" + std::to_string(closedPort), "pop3s://127.0.0.1:" + std::to_string(closedPort)}) {
        const ProbeOutcome outcome = RunProbe("alice", "pw", field);
        EXPECT_EQ(outcome.result, ProbeCode::kConnectError) << field;
        EXPECT_FALSE(outcome.statLine.has_value());
    }
}

TEST(Pop3Probe, UnusableServerFieldsConnectNowhere) {
    ScriptedPop3Server server(StatAnsweredWith("+OK 1 1\r\n"));
    const std::string port = std::to_string(server.Port());
    for (const std::string& field :
         std::vector<std::string>{"pop3://127.0.0.1:" + port, "imap://127.0.0.1:" + port, "127.0.0.1:0",
                                  "127.0.0.1:70000", "127.0.0.1:" + port + "x", std::string(), "[::1"}) {
        EXPECT_EQ(RunProbe("alice", "pw", field).result, ProbeCode::kConnectError) << field;
    }
    EXPECT_EQ(RunProbe("alice", "pw", "no-such-host.invalid:" + port).result, ProbeCode::kConnectError);
    EXPECT_EQ(server.Connections(), 0);
}

TEST(Pop3Probe, AcceptsEveryFormOfTheServerField) {
    ScriptedPop3Server v4(StatAnsweredWith("+OK 1 1\r\n"));
    const std::string port = std::to_string(v4.Port());
    for (const std::string& field : {"127.0.0.1:" + port, "localhost:" + port}) {
        EXPECT_EQ(RunProbe("alice", "pw", field).result, 1) << field;
    }
    ScriptedPop3Server v6(StatAnsweredWith("+OK 2 2\r\n"), nullptr, true);
    const Observed bracketed = ProbeAndCollect(v6, "[::1]:" + std::to_string(v6.Port()), TestProbeOptions());
    EXPECT_EQ(bracketed.outcome.result, 2);
    EXPECT_EQ(bracketed.sent, kAllCommands);
}

// Needs a limit on the process's descriptors, which Windows does not have.
#ifndef _WIN32
TEST(Pop3Probe, ASocketThatCannotBeCreatedIsAConnectionError) {
    ScriptedPop3Server server(StatAnsweredWith("+OK 1 1\r\n"));
    const std::string field = LoopbackServer(server);
    // The same probe works while descriptors are left (this also readies the sanitizers, which
    // need a descriptor of their own the first time they check a type).
    ASSERT_EQ(RunProbe("alice", "pw", field).result, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.AllClientsGone(); }, 10000));

    std::optional<ProbeOutcome> outcome;
    rlimit original{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &original), 0);
    // With the limit at the lowest free descriptor, no new descriptor can be made.
    const int lowestFree = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit exhausted = original;
    exhausted.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &exhausted), 0);
    auto probe = ProbeMailbox(
        "alice", "pw", field, [&](const ProbeOutcome& reported) { outcome = reported; }, TestProbeOptions());
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &original), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 10000));
    EXPECT_EQ(outcome->result, ProbeCode::kConnectError);
    EXPECT_EQ(server.Connections(), 1) << "only the first probe got through";
}
#endif

TEST(Pop3Probe, DestroyingAProbeEndsItWithoutAReport) {
    ScriptedPop3Server server{ServerScript()};
    bool reported = false;
    auto probe = ProbeMailbox(
        "alice", "pw", LoopbackServer(server), [&](const ProbeOutcome&) { reported = true; },
        TestProbeOptions());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.Connections() == 1; }, 10000));
    probe.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.AllClientsGone(); }, 10000));
    ASSERT_TRUE(DeliverQueuedEvents());  // a report queued before the end would have come
    EXPECT_FALSE(reported);
}

class Pop3ProbeTls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new QTemporaryDir;
        s_good = new TestCertificate(MakeLoopbackCertificate(s_folder->path(), "good"));
        s_otherName = new TestCertificate(
            MakeTestCertificate(s_folder->path(), "other", "mail.other.example", "DNS:mail.other.example"));
        s_expired = new TestCertificate(MakeTestCertificate(s_folder->path(), "expired", "localhost",
                                                            "IP:127.0.0.1,DNS:localhost",
                                                            CertificateValidity::Expired));
    }
    static void TearDownTestSuite() {
        delete s_expired;
        delete s_otherName;
        delete s_good;
        delete s_folder;
    }

    // Trusts the server's own certificate, so that only its name or dates can fail it.
    static Observed ProbeTls(const TestCertificate& shown, const std::string& host = "127.0.0.1") {
        ScriptedPop3Server server(StatAnsweredWith("+OK 3 33\r\n"), &shown);
        return ProbeAndCollect(server, "pop3s://" + host + ":" + std::to_string(server.Port()),
                               TestProbeOptions({shown.certificate}));
    }

    // A server that offers STLS and upgrades with `shown`; `afterStls` is its reply to STLS.
    static Observed ProbeStls(const TestCertificate& shown, const QByteArray& afterStls = "+OK Begin TLS\r\n",
                              const QByteArray& capabilities = "+OK\r\nUSER\r\nSTLS\r\n.\r\n") {
        const ServerScript script = ServerScript::Conversation(kGreeting, {capabilities, afterStls})
                                        .StartTls()
                                        .AwaitLine()
                                        .Send("+OK\r\n")
                                        .AwaitLine()
                                        .Send("+OK\r\n")
                                        .AwaitLine()
                                        .Send("+OK 3 33\r\n");
        ScriptedPop3Server server(script, ServerTls{.certificate = &shown, .fromFirstByte = false});
        return ProbeAndCollect(server, "pop3+starttls://127.0.0.1:" + std::to_string(server.Port()),
                               TestProbeOptions({s_good->certificate}));
    }

    static inline QTemporaryDir* s_folder = nullptr;
    static inline TestCertificate* s_good = nullptr;
    static inline TestCertificate* s_otherName = nullptr;
    static inline TestCertificate* s_expired = nullptr;
};

TEST_F(Pop3ProbeTls, SpeaksTlsFromTheFirstByteWithATrustedCertificate) {
    for (const char* host : {"127.0.0.1", "localhost"}) {
        const Observed observed = ProbeTls(*s_good, host);
        EXPECT_EQ(observed.outcome.result, 3) << host;
        EXPECT_EQ(observed.outcome.statLine, "+OK 3 33");
        EXPECT_EQ(observed.sent, kAllCommands);
    }
}

TEST_F(Pop3ProbeTls, RefusesCertificatesThatDoNotVerify) {
    for (const TestCertificate* shown : {s_otherName, s_expired}) {
        const Observed observed = ProbeTls(*shown);
        EXPECT_EQ(observed.outcome.result, ProbeCode::kConnectError) << shown->certificateFile.toStdString();
        EXPECT_FALSE(observed.outcome.statLine.has_value());
        EXPECT_EQ(observed.sent, "");
    }
    ScriptedPop3Server untrusted(StatAnsweredWith("+OK 3 33\r\n"), s_good);
    const Observed observed = ProbeAndCollect(
        untrusted, "pop3s://127.0.0.1:" + std::to_string(untrusted.Port()), TestProbeOptions());
    EXPECT_EQ(observed.outcome.result, ProbeCode::kConnectError);
    EXPECT_EQ(observed.sent, "");
}

TEST_F(Pop3ProbeTls, AHandshakeThatNeverEndsIsAConnectionError) {
    ScriptedPop3Server plainAndSilent{ServerScript()};
    ProbeOptions options = TestProbeOptions({s_good->certificate});
    options.connectTimeout = std::chrono::milliseconds(300);
    const Observed observed = ProbeAndCollect(
        plainAndSilent, "pop3s://127.0.0.1:" + std::to_string(plainAndSilent.Port()), options);
    EXPECT_EQ(observed.outcome.result, ProbeCode::kConnectError);
    EXPECT_FALSE(observed.outcome.statLine.has_value());
    // Only the start of a TLS handshake went out, no command.
    EXPECT_FALSE(observed.sent.contains("USER"));
}

TEST_F(Pop3ProbeTls, StlsNeverFallsBackToPlainText) {
    const Observed upgraded = ProbeStls(*s_good);
    EXPECT_EQ(upgraded.outcome.result, 3);
    EXPECT_EQ(upgraded.sent, "CAPA\r\nSTLS\r\n" + kAllCommands);

    const Observed notOffered = ProbeStls(*s_good, "+OK Begin TLS\r\n", "+OK\r\nUSER\r\n.\r\n");
    EXPECT_EQ(notOffered.outcome.result, ProbeCode::kConnectError);
    EXPECT_EQ(notOffered.sent, "CAPA\r\n");

    const Observed noCapa = ProbeStls(*s_good, "+OK Begin TLS\r\n", "-ERR unknown command\r\n");
    EXPECT_EQ(noCapa.outcome.result, ProbeCode::kConnectError);
    EXPECT_EQ(noCapa.sent, "CAPA\r\n");

    const Observed refused = ProbeStls(*s_good, "-ERR TLS not available\r\n");
    EXPECT_EQ(refused.outcome.result, ProbeCode::kConnectError);
    EXPECT_EQ(refused.sent, "CAPA\r\nSTLS\r\n");

    for (const TestCertificate* shown : {s_otherName, s_expired}) {
        const Observed unverified = ProbeStls(*shown);
        EXPECT_EQ(unverified.outcome.result, ProbeCode::kConnectError)
            << shown->certificateFile.toStdString();
        EXPECT_FALSE(unverified.outcome.statLine.has_value());
        EXPECT_EQ(unverified.sent, "CAPA\r\nSTLS\r\n");
    }
}

TEST_F(Pop3ProbeTls, RepliesSentBeforeTheStlsHandshakeAreNeverBelieved) {
    // An attacker in the middle answers USER, PASS and STAT in plain text, in the same packet.
    const Observed observed = ProbeStls(*s_good, "+OK Begin TLS\r\n+OK\r\n+OK\r\n+OK 9 99\r\n");
    EXPECT_EQ(observed.outcome.result, ProbeCode::kConnectError);
    EXPECT_FALSE(observed.outcome.statLine.has_value());
    EXPECT_EQ(observed.sent, "CAPA\r\nSTLS\r\n");
}

// Makes the program-wide TLS default allow TLS 1.1 for as long as it lives.
class Tls11AllowedByDefault {
public:
    Tls11AllowedByDefault() : m_saved(QSslConfiguration::defaultConfiguration()) {
        QSslConfiguration weak = m_saved;
        weak.setProtocol(QSsl::AnyProtocol);
        // OpenSSL 3 speaks TLS 1.1 only at security level 0.
        weak.setBackendConfigurationOption("CipherString", "DEFAULT:@SECLEVEL=0");
        QSslConfiguration::setDefaultConfiguration(weak);
    }
    ~Tls11AllowedByDefault() { QSslConfiguration::setDefaultConfiguration(m_saved); }

private:
    QSslConfiguration m_saved;
};

TEST_F(Pop3ProbeTls, RefusesServersOlderThanTls12WhateverTheDefault) {
    if (QSslSocket::activeBackend() != "openssl") {
        GTEST_SKIP() << "the TLS 1.1 server and the weakened default are set up through OpenSSL's options";
    }
    const Tls11AllowedByDefault allowed;
    const ServerTls tls11{.certificate = s_good, .fromFirstByte = true, .onlyTls11 = true};
    ScriptedPop3Server tlsServer(StatAnsweredWith("+OK 3 33\r\n"), tls11);
    // A socket left at the default does connect: the refusal below is the probe's own doing.
    QSslSocket plainDefault;
    plainDefault.setPeerVerifyMode(QSslSocket::VerifyNone);
    QSignalSpy encrypted(&plainDefault, &QSslSocket::encrypted);
    plainDefault.connectToHostEncrypted("127.0.0.1", tlsServer.Port());
    ASSERT_TRUE(encrypted.wait(10000)) << plainDefault.errorString().toStdString();
    plainDefault.abort();

    const Observed tls = ProbeAndCollect(tlsServer, "pop3s://127.0.0.1:" + std::to_string(tlsServer.Port()),
                                         TestProbeOptions({s_good->certificate}));
    EXPECT_EQ(tls.outcome.result, ProbeCode::kConnectError);
    EXPECT_FALSE(tls.sent.contains("USER"));
    // IMAP's TLS sockets come from the same place.
    const std::string imaps = "imaps://127.0.0.1:" + std::to_string(tlsServer.Port());
    EXPECT_EQ(RunProbe("a", "p", imaps, TestProbeOptions({s_good->certificate}), StartMailProbe).result,
              ProbeCode::kConnectError);

    ScriptedPop3Server stlsServer(
        ServerScript::Conversation(kGreeting, {"+OK\r\nSTLS\r\n.\r\n", "+OK\r\n"})
            .StartTls()
            .AwaitLine()
            .Send("+OK\r\n"),
        ServerTls{.certificate = s_good, .fromFirstByte = false, .onlyTls11 = true});
    const Observed stls =
        ProbeAndCollect(stlsServer, "pop3+starttls://127.0.0.1:" + std::to_string(stlsServer.Port()),
                        TestProbeOptions({s_good->certificate}));
    EXPECT_EQ(stls.outcome.result, ProbeCode::kConnectError);
    EXPECT_EQ(stls.sent, "CAPA\r\nSTLS\r\n");
}

}  // namespace
