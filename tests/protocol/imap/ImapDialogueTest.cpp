// The IMAP dialogue and its response reader, without any I/O: byte exchanges in tables.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "protocol/ProbeOutcome.h"
#include "protocol/imap/ImapDialogue.h"

namespace {

using Upgrade = CImapDialogue::Upgrade;

const std::string kGreeting =
    "* OK [CAPABILITY IMAP4rev1 SASL-IR LOGIN-REFERRALS ID ENABLE IDLE LITERAL+ STARTTLS AUTH=PLAIN "
    "AUTH=LOGIN] Dovecot (Debian) ready.\r\n";
const std::string kTlsGreeting = "* OK [CAPABILITY IMAP4rev1 STARTTLS AUTH=PLAIN SASL-IR] ready\r\n";
const std::string kNoPlain = "* OK [CAPABILITY IMAP4rev1 AUTH=LOGIN] hi\r\n";
// base64 of "\0alice\0secret"
const std::string kAuthenticate = "a1 AUTHENTICATE PLAIN AGFsaWNlAHNlY3JldA==\r\n";
const std::string kStatus = "a2 STATUS INBOX (UNSEEN)\r\n";
// Stands for the moment TLS comes up, in place of bytes from the server.
const std::string kTlsUp = "<TLS>";
constexpr int kNotDone = 999;
constexpr std::size_t kBound = CImapResponseReader::kMaxResponseLength;

struct Case {
    int result;
    std::optional<std::string> statLine;
    // In turn: what the server sends (or kTlsUp), and what the dialogue must answer at once.
    std::vector<std::string> talk;
    std::string password = "secret";
    std::string user = "alice";
};

std::string Feed(CImapDialogue& dialogue, const std::string& server, bool byteByByte) {
    if (server == kTlsUp) {
        return dialogue.TlsStarted();
    }
    std::string sent;
    for (std::size_t at = 0; at < server.size(); at += byteByByte ? 1 : server.size()) {
        sent += dialogue.Receive(server.substr(at, byteByByte ? 1 : server.size()));
    }
    return sent;
}

// Plays each case twice: every piece the server sends at once, then every byte on its own.
void Play(const std::vector<Case>& cases, Upgrade upgrade = Upgrade::None) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        for (bool byteByByte : {false, true}) {
            SCOPED_TRACE("case " + std::to_string(i) + (byteByByte ? ", byte by byte" : ""));
            CImapDialogue dialogue(c.user, c.password, upgrade);
            for (std::size_t turn = 0; turn + 1 < c.talk.size(); turn += 2) {
                EXPECT_EQ(Feed(dialogue, c.talk[turn], byteByByte), c.talk[turn + 1])
                    << "after " << c.talk[turn];
            }
            EXPECT_EQ(dialogue.IsDone() ? dialogue.Result() : kNotDone, c.result);
            EXPECT_EQ(dialogue.StatLine(), c.statLine);
        }
    }
}

TEST(ImapDialogue, LogsInCountsUnseenMailInInboxAndLogsOut) {
    Play({
        Case(3, "* STATUS INBOX (UNSEEN 3)",
             {kGreeting, kAuthenticate, "a1 OK [CAPABILITY IMAP4rev1 IDLE] Logged in\r\n", kStatus,
              "* STATUS INBOX (UNSEEN 3)\r\na2 OK Status completed.\r\n", "a3 LOGOUT\r\n"}),
        // Capabilities asked for; PLAIN's message after the continuation request.
        Case(0, "* STATUS \"INBOX\" (MESSAGES 9 UNSEEN 0)",
             {"* OK ready\r\n", "a1 CAPABILITY\r\n", "* CAPABILITY IMAP4rev1 auth=plain\r\na1 OK\r\n",
              "a2 AUTHENTICATE PLAIN\r\n", "+ \r\n", "AGFsaWNlAHNlY3JldA==\r\n", "a2 OK\r\n",
              "a3 STATUS INBOX (UNSEEN)\r\n", "* STATUS \"INBOX\" (MESSAGES 9 UNSEEN 0)\r\na3 OK\r\n",
              "a4 LOGOUT\r\n"}),
        Case(100000, "* STATUS inbox (UNSEEN 100000)",
             {kNoPlain, "a1 LOGIN \"a\\\"b\" \"c\\\\d e\"\r\n", "a1 OK\r\n", kStatus,
              "* STATUS inbox (UNSEEN 100000)\r\na2 OK\r\n", "a3 LOGOUT\r\n"},
             "c\\d e", "a\"b"),
        // Literals for 8-bit bytes, each after its continuation request.
        Case(kNotDone, {},
             {kNoPlain, "a1 LOGIN {2}\r\n", "+ \r\n", "\xe4u {2}\r\n", "+ go on\r\n", "\xfc\x70\r\n",
              "a1 OK\r\n", kStatus},
             "\xfc\x70", "\xe4u"),
        Case(kNotDone, {},
             {"* OK [CAPABILITY IMAP4rev1 LITERAL+] hi\r\n", "a1 LOGIN {2+}\r\n\xe4u \"pw\"\r\n"}, "pw",
             "\xe4u"),
        Case(INT_MAX, "* STATUS INBOX (UNSEEN 4294967295)",
             {"* PREAUTH [CAPABILITY IMAP4rev1] logged in\r\n", "a1 STATUS INBOX (UNSEEN)\r\n",
              "* STATUS INBOX (UNSEEN 4294967295)\r\na1 OK\r\n", "a2 LOGOUT\r\n"}),
    });
}

TEST(ImapDialogue, RefusalsAreLoginErrorsShowingTheServersLine) {
    Play({
        Case(ProbeCode::kRefused, "a1 BAD no literals",
             {kNoPlain, "a1 LOGIN \"alice\" {1}\r\n", "a1 BAD no literals\r\n", "a2 LOGOUT\r\n"}, "\xe4"),
        // PLAIN has nothing more to say: the exchange is cancelled.
        Case(ProbeCode::kRefused, "a1 BAD cancelled",
             {kGreeting, kAuthenticate, "+ more?\r\n", "*\r\n", "a1 BAD cancelled\r\n", "a2 LOGOUT\r\n"}),
        Case(ProbeCode::kRefused, "a2 NO Mailbox doesn't exist",
             {kGreeting, kAuthenticate, "a1 OK\r\n", kStatus, "a2 NO Mailbox doesn't exist\r\n",
              "a3 LOGOUT\r\n"}),
        Case(ProbeCode::kRefused, "a2 OK",
             {kGreeting, kAuthenticate, "a1 OK\r\n", kStatus,
              "* STATUS INBOX (UNSEEN -5)\r\n* STATUS INBOX (MESSAGES 5)\r\n* STATUS Sent (UNSEEN 5)\r\n"
              "* STATUS INBOX (UNSEEN 5\r\na2 OK\r\n",
              "a3 LOGOUT\r\n"}),
    });
}

TEST(ImapDialogue, UntaggedResponsesMayComeAtAnyMoment) {
    Play({Case(7, "* STATUS {5}",
               {"* 3 EXISTS\r\n* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready\r\n", "a1 AUTHENTICATE PLAIN\r\n",
                "* OK " + std::string(kBound - 5, 'x') + "\r\n+ \r\n", "AGFsaWNlAHNlY3JldA==\r\n",
                "* CAPABILITY IMAP4rev1\r\n* 4 EXISTS\r\na1 OK\r\n", kStatus,
                "* STATUS {5}\r\nInBox (UNSEEN 7)\r\n* FLAGS (\\Seen)\r\n* SEARCH 1 2\r\n"
                "* 1 FETCH (BODY[] {4}\r\n0)\r\n)\r\na2 OK\r\n",
                "a3 LOGOUT\r\n"})});
}

TEST(ImapDialogue, BrokenOrForeignServersEndIt) {
    const int broken = ProbeCode::kDialogueBroken;
    Play({
        Case(ProbeCode::kConnectError, {}, {"* BYE [UNAVAILABLE] overloaded\r\n", ""}),
        Case(broken, {}, {"+OK POP3 ready\r\n", ""}),  // no IMAP server
        Case(broken, {}, {kGreeting, kAuthenticate, "* BYE going away\r\n", ""}),
        Case(broken, {}, {kGreeting, kAuthenticate, "a7 OK\r\n", "a2 LOGOUT\r\n"}),
        Case(broken, {}, {kGreeting, kAuthenticate, "a1 OK\r\n", kStatus, "+ \r\n", "a3 LOGOUT\r\n"}),
        Case(broken, {}, {"* OK\r\n", "a1 CAPABILITY\r\n", "a1 BAD\r\n", "a2 LOGOUT\r\n"}),
        // Past the response bound: a line, and a literal announced.
        Case(broken, {}, {kGreeting, kAuthenticate, "* OK " + std::string(kBound, 'x'), "a2 LOGOUT\r\n"}),
        Case(broken, {},
             {kGreeting, kAuthenticate, "* 1 FETCH (BODY[] {" + std::to_string(kBound) + "}\r\n",
              "a2 LOGOUT\r\n"}),
    });
}

TEST(ImapDialogue, AnEndedStreamBreaksItAndGivingUpLogsOutWhereTheServerCanTakeIt) {
    // What the server said, and the farewell when the probe gives up then.
    const std::vector<std::pair<std::string, std::string>> endings{
        {"", ""},  // no greeting: perhaps no IMAP server
        {kGreeting, "a2 LOGOUT\r\n"},
        {kGreeting + "a1 OK\r\n* STATUS INBOX (UNSEEN 3)\r\n", "a3 LOGOUT\r\n"},
        {"* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] hi\r\n", ""},  // PLAIN's message is still to come
        {kNoPlain, ""},                                         // and here the literal's bytes
    };
    for (const auto& [server, farewell] : endings) {
        CImapDialogue abandoned("alice", "\xe4");
        abandoned.Receive(server);
        EXPECT_EQ(abandoned.Abandon(), farewell);
        EXPECT_EQ(abandoned.Result(), ProbeCode::kDialogueBroken);
        CImapDialogue closed("alice", "\xe4");
        closed.Receive(server);
        closed.EndStream();
        EXPECT_EQ(closed.Result(), ProbeCode::kDialogueBroken);
    }
}

// The safety rules, a test each.

TEST(ImapDialogue, StartTlsIsRequiredAndNoCredentialLeavesWithoutIt) {
    const std::string startTls = "a1 STARTTLS\r\n";
    const int refused = ProbeCode::kConnectError;
    Play(
        {
            Case(refused, {},
                 {"* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR STARTTLSX] ready\r\n", "a1 LOGOUT\r\n"}),
            Case(refused, {},
                 {"* OK\r\n", "a1 CAPABILITY\r\n", "* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\na1 OK\r\n",
                  "a2 LOGOUT\r\n"}),
            Case(refused, {}, {"+OK POP3 ready\r\n", ""}),
            Case(refused, {}, {kTlsGreeting, startTls, "a1 NO not now\r\n", "a2 LOGOUT\r\n"}),
            Case(refused, {}, {kTlsGreeting, startTls, "a0 OK\r\n", "a2 LOGOUT\r\n"}),
            Case(refused, {}, {kTlsGreeting, startTls, "* BYE\r\n", ""}),
            Case(kNotDone, {},
                 {kTlsGreeting, startTls, "a1 OK Begin TLS\r\n", "", kTlsUp, "a2 CAPABILITY\r\n",
                  "* CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR\r\na2 OK\r\n",
                  "a3 AUTHENTICATE PLAIN AGFsaWNlAHNlY3JldA==\r\n"}),
        },
        Upgrade::StartTls);
    // Closed, or silent until the probe gives up.
    for (bool closes : {true, false}) {
        CImapDialogue dialogue("alice", "secret", Upgrade::StartTls);
        dialogue.Receive(kTlsGreeting);
        EXPECT_EQ(closes ? (dialogue.EndStream(), "") : dialogue.Abandon(), closes ? "" : "a2 LOGOUT\r\n");
        EXPECT_EQ(dialogue.Result(), ProbeCode::kConnectError);
    }
}

TEST(ImapDialogue, AnyByteBetweenTheStartTlsOkAndTheHandshakeEndsIt) {
    // An attacker in the middle answers the login and STATUS in plain text, in the same packet or later.
    for (const std::vector<std::string>& chunks : std::vector<std::vector<std::string>>{
             {"a1 OK go\r\na2 OK\r\n* STATUS INBOX (UNSEEN 9)\r\n"}, {"a1 OK go\r\n", "*"}}) {
        CImapDialogue dialogue("alice", "secret", Upgrade::StartTls);
        dialogue.Receive(kTlsGreeting);
        for (const std::string& chunk : chunks) {
            EXPECT_EQ(dialogue.Receive(chunk), "");
        }
        EXPECT_EQ(dialogue.Result(), ProbeCode::kConnectError);
        EXPECT_EQ(dialogue.TlsStarted(), "");
        EXPECT_EQ(dialogue.Abandon(), "");
    }
}

TEST(ImapDialogue, CapabilitiesLearntBeforeTlsAreForgotten) {
    Play(
        {
            Case(kNotDone, {},
                 {"* OK [CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED] ready\r\n", "a1 STARTTLS\r\n",
                  "a1 OK [CAPABILITY IMAP4rev1 LOGINDISABLED] go\r\n", "", kTlsUp, "a2 CAPABILITY\r\n",
                  "* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\na2 OK\r\n", "a3 AUTHENTICATE PLAIN\r\n"}),
            Case(kNotDone, {},
                 {kTlsGreeting, "a1 STARTTLS\r\n", "a1 OK\r\n", "", kTlsUp, "a2 CAPABILITY\r\n", "a2 OK\r\n",
                  "a3 LOGIN \"alice\" \"secret\"\r\n"}),
        },
        Upgrade::StartTls);
}

TEST(ImapDialogue, APlainPreauthGreetingOnAStartTlsAccountIsAConnectionError) {
    Play({Case(ProbeCode::kConnectError, {},
               {"* PREAUTH [CAPABILITY IMAP4rev1 STARTTLS] hi\r\n", "a1 LOGOUT\r\n"})},
         Upgrade::StartTls);
}

TEST(ImapDialogue, LoginDisabledSendsNoCredentials) {
    Play({Case(ProbeCode::kRefused, {},
               {"* OK [CAPABILITY IMAP4rev1 LOGINDISABLED AUTH=PLAIN] hi\r\n", "a1 LOGOUT\r\n"})});
}

TEST(ImapDialogue, CredentialsWithCrLfOrNulAreNeverSent) {
    const std::string nul("a\0b", 3);
    const std::vector<std::pair<std::string, std::string>> credentials{
        {"alice\r\na9 DELETE INBOX", "p"}, {"alice", "p\r"}, {"alice", "p\n"}, {nul, "p"}, {"alice", nul}};
    for (const auto& [user, password] : credentials) {
        CImapDialogue dialogue(user, password, Upgrade::StartTls);
        EXPECT_EQ(dialogue.Result(), ProbeCode::kRefused);
        EXPECT_EQ(dialogue.Receive(kGreeting + "a1 OK\r\n"), "");
        EXPECT_EQ(dialogue.Abandon(), "");
    }
}

// The reader on its own, for what the dialogue never sees whole.

TEST(ImapResponseReader, CountsAHundredThousandSearchResultsWithoutKeepingThem) {
    std::string answer = "* SEARCH";
    for (int n = 1; n <= 100000; ++n) {
        answer += ' ' + std::to_string(n);
    }
    answer += " (MODSEQ 917162500)\r\n* search\r\n";
    CImapResponseReader reader;
    const std::size_t taken = reader.Feed(answer);
    ASSERT_TRUE(reader.IsComplete());
    EXPECT_EQ(reader.Response().searchCount, 100000u);
    EXPECT_EQ(reader.Response().text, "* SEARCH");
    reader.StartNext();
    reader.Feed(std::string_view(answer).substr(taken));
    ASSERT_TRUE(reader.IsComplete());
    EXPECT_EQ(reader.Response().searchCount, 0u);
}

}  // namespace
