#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "protocol/ProbeOutcome.h"
#include "protocol/pop3/Pop3Dialogue.h"

namespace {

constexpr const char* kGreeting = "+OK Dovecot ready.\r\n";

// Runs a whole dialogue with the server's replies, one reply per Receive call; returns everything
// the client sent.
std::string Converse(CPop3Dialogue& dialogue, const std::vector<std::string>& replies) {
    std::string sent;
    for (const std::string& reply : replies) {
        sent += dialogue.Receive(reply);
    }
    return sent;
}

TEST(Pop3Dialogue, SendsTheFourCommandsOneAfterEachReply) {
    CPop3Dialogue dialogue("alice", "s3cret pw");
    EXPECT_EQ(dialogue.Receive(kGreeting), "USER alice\r\n");
    EXPECT_EQ(dialogue.Receive("+OK\r\n"), "PASS s3cret pw\r\n");
    EXPECT_EQ(dialogue.Receive("+OK Logged in.\r\n"), "STAT\r\n");
    EXPECT_FALSE(dialogue.IsDone());
    EXPECT_EQ(dialogue.Receive("+OK 3 512\r\n"), "QUIT\r\n");
    EXPECT_TRUE(dialogue.IsDone());
    EXPECT_EQ(dialogue.Result(), 3);
    EXPECT_EQ(dialogue.StatLine(), "+OK 3 512");
    EXPECT_EQ(dialogue.Receive("+OK Logging out.\r\n"), "") << "the QUIT reply is not read";
}

TEST(Pop3Dialogue, NothingIsSentBeforeTheGreetingLineIsComplete) {
    CPop3Dialogue dialogue("u", "p");
    EXPECT_EQ(dialogue.Receive("+OK hel"), "");
    EXPECT_EQ(dialogue.Receive("lo\r"), "");
    EXPECT_EQ(dialogue.Receive("\n"), "USER u\r\n");
}

TEST(Pop3Dialogue, RepliesArrivingTogetherAreAnsweredInOrder) {
    const std::string all = std::string(kGreeting) + "+OK\r\n+OK\r\n+OK 2 100\r\n";
    CPop3Dialogue together("u", "p");
    EXPECT_EQ(together.Receive(all), "USER u\r\nPASS p\r\nSTAT\r\nQUIT\r\n");
    EXPECT_EQ(together.Result(), 2);

    CPop3Dialogue byteByByte("u", "p");
    std::string sent;
    for (char c : all) {
        sent += byteByByte.Receive(std::string(1, c));
    }
    EXPECT_EQ(sent, "USER u\r\nPASS p\r\nSTAT\r\nQUIT\r\n");
    EXPECT_EQ(byteByByte.StatLine(), "+OK 2 100");
}

TEST(Pop3Dialogue, IgnoresTheLoginRepliesAndRefusesAnErrorToStat) {
    CPop3Dialogue dialogue("u", "wrong");
    const std::string sent = Converse(
        dialogue,
        {kGreeting, "-ERR no\r\n", "-ERR [AUTH] Authentication failed.\r\n", "-ERR Unknown command.\r\n"});
    EXPECT_EQ(sent, "USER u\r\nPASS wrong\r\nSTAT\r\nQUIT\r\n");
    EXPECT_EQ(dialogue.Result(), ProbeCode::kRefused);
    EXPECT_EQ(dialogue.StatLine(), "-ERR Unknown command.");
}

TEST(Pop3Dialogue, AnOverlongGreetingDoesNotPutTheRepliesOutOfStep) {
    CPop3Dialogue dialogue("u", "p");
    const std::string greeting = "+OK " + std::string(1000, 'g') + "\r\n";
    Converse(dialogue, {greeting, "+OK\r\n", "+OK\r\n", "+OK 7 700\r\n"});
    EXPECT_EQ(dialogue.Result(), 7);
    EXPECT_EQ(dialogue.StatLine(), "+OK 7 700");
}

TEST(Pop3Dialogue, AStreamEndingBeforeTheStatReplyBreaksTheDialogue) {
    for (int repliesBeforeClose = 0; repliesBeforeClose <= 3; ++repliesBeforeClose) {
        CPop3Dialogue dialogue("u", "p");
        const std::vector<std::string> replies{"+OK 5 ready\r\n", "+OK 5\r\n", "+OK 5\r\n"};
        Converse(dialogue, std::vector<std::string>(replies.begin(),
                                                    replies.begin() + std::min(repliesBeforeClose, 3)));
        dialogue.EndStream();
        EXPECT_TRUE(dialogue.IsDone());
        EXPECT_EQ(dialogue.Result(), ProbeCode::kDialogueBroken) << repliesBeforeClose;
        EXPECT_FALSE(dialogue.StatLine().has_value()) << "an older line is never taken for the STAT reply";
    }
    CPop3Dialogue partGreeting("u", "p");
    partGreeting.Receive("+OK 9 hel");
    partGreeting.EndStream();
    EXPECT_EQ(partGreeting.Result(), ProbeCode::kDialogueBroken);
}

TEST(Pop3Dialogue, AStatReplyCutShortByTheCloseIsWhatArrived) {
    CPop3Dialogue dialogue("u", "p");
    Converse(dialogue, {kGreeting, "+OK\r\n", "+OK\r\n", "+OK 4 1"});
    dialogue.EndStream();
    EXPECT_EQ(dialogue.Result(), 4);
    EXPECT_EQ(dialogue.StatLine(), "+OK 4 1");
}

TEST(Pop3Dialogue, GivingUpBreaksTheDialogueButNotAFinishedOne) {
    CPop3Dialogue waiting("u", "p");
    waiting.Receive(kGreeting);
    waiting.Abandon();
    EXPECT_EQ(waiting.Result(), ProbeCode::kDialogueBroken);

    CPop3Dialogue finished("u", "p");
    Converse(finished, {kGreeting, "+OK\r\n", "+OK\r\n", "+OK 1 1\r\n"});
    finished.Abandon();
    finished.EndStream();
    EXPECT_EQ(finished.Result(), 1);
}

TEST(Pop3Dialogue, CredentialsWithLineBreaksOrNulAreNeverSent) {
    const std::string nul("a\0b", 3);
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {"a\r\nDELE 1", "p"}, {"u", "p\rx"}, {"u\n", "p"}, {nul, "p"}, {"u", nul}}) {
        CPop3Dialogue dialogue(user, password);
        EXPECT_TRUE(dialogue.IsDone());
        EXPECT_EQ(dialogue.Result(), ProbeCode::kRefused);
        EXPECT_EQ(dialogue.Receive(std::string(kGreeting) + "+OK\r\n+OK\r\n+OK 1 1\r\n"), "");
        EXPECT_FALSE(dialogue.StatLine().has_value());
    }
    CPop3Dialogue spaces(" u s ", "\t#,;\"");
    EXPECT_EQ(spaces.Receive(kGreeting), "USER  u s \r\n");
}

TEST(Pop3Dialogue, TheStatLineEndsAtItsFirstNul) {
    CPop3Dialogue dialogue("u", "p");
    Converse(dialogue, {kGreeting, "+OK\r\n", "+OK\r\n", std::string("+OK 5\0 junk\r\n", 13)});
    EXPECT_EQ(dialogue.StatLine(), "+OK 5");
    EXPECT_EQ(dialogue.Result(), 5);

    CPop3Dialogue leadingNul("u", "p");
    Converse(leadingNul, {kGreeting, "+OK\r\n", "+OK\r\n", std::string("\0+OK 5\r\n", 8)});
    EXPECT_EQ(leadingNul.StatLine(), "");
    EXPECT_EQ(leadingNul.Result(), ProbeCode::kRefused);
}

constexpr const char* kCapaWithStls = "+OK\r\nTOP\r\nUSER\r\nstls\r\nSASL PLAIN\r\n.\r\n";

// A dialogue upgraded with STLS, brought to the point where it waits for TLS.
CPop3Dialogue AwaitingTls() {
    CPop3Dialogue dialogue("u", "p", CPop3Dialogue::Upgrade::Stls);
    Converse(dialogue, {kGreeting, kCapaWithStls, "+OK Begin TLS negotiation now.\r\n"});
    return dialogue;
}

TEST(Pop3Dialogue, WithStlsLogsInOnlyOnceTlsIsUp) {
    CPop3Dialogue dialogue("u", "p", CPop3Dialogue::Upgrade::Stls);
    EXPECT_EQ(dialogue.Receive(kGreeting), "CAPA\r\n");
    EXPECT_EQ(dialogue.Receive("+OK Capability list follows\r\nTOP\r\n"), "");
    EXPECT_EQ(dialogue.Receive("stls\r\n.\r\n"), "STLS\r\n") << "capabilities are named in any case";
    EXPECT_EQ(dialogue.Receive("+OK Begin TLS\r\n"), "");
    EXPECT_TRUE(dialogue.AwaitsTls());
    EXPECT_EQ(dialogue.TlsStarted(), "USER u\r\n");
    EXPECT_FALSE(dialogue.AwaitsTls());
    EXPECT_EQ(Converse(dialogue, {"+OK\r\n", "+OK\r\n", "+OK 2 20\r\n"}), "PASS p\r\nSTAT\r\nQUIT\r\n");
    EXPECT_EQ(dialogue.Result(), 2);
}

TEST(Pop3Dialogue, WithStlsNeverFallsBackToPlainText) {
    const std::vector<std::vector<std::string>> refusals{
        {kGreeting, "+OK\r\nTOP\r\nUSER\r\nSTLSX\r\n.\r\n"},  // not offered
        {kGreeting, "-ERR unknown command\r\n"},
        {kGreeting, kCapaWithStls, "-ERR not now\r\n"},
        {kGreeting, kCapaWithStls, "OK\r\n"},
    };
    for (const auto& replies : refusals) {
        CPop3Dialogue dialogue("u", "p", CPop3Dialogue::Upgrade::Stls);
        const std::string sent = Converse(dialogue, replies);
        EXPECT_TRUE(dialogue.IsDone()) << replies.back();
        EXPECT_EQ(dialogue.Result(), ProbeCode::kConnectError) << replies.back();
        EXPECT_EQ(sent.find("USER"), std::string::npos) << replies.back();
        EXPECT_EQ(dialogue.TlsStarted(), "");
    }
    CPop3Dialogue closed = AwaitingTls();
    closed.EndStream();
    EXPECT_EQ(closed.Result(), ProbeCode::kConnectError);
    CPop3Dialogue abandoned("u", "p", CPop3Dialogue::Upgrade::Stls);
    abandoned.Receive(kGreeting);
    abandoned.Abandon();
    EXPECT_EQ(abandoned.Result(), ProbeCode::kConnectError);
    EXPECT_EQ(abandoned.TlsStarted(), "");
}

TEST(Pop3Dialogue, NothingBetweenTheStlsReplyAndTlsCountsAsAReply) {
    CPop3Dialogue samePacket("u", "p", CPop3Dialogue::Upgrade::Stls);
    Converse(samePacket, {kGreeting, kCapaWithStls});
    EXPECT_EQ(samePacket.Receive("+OK\r\n+OK\r\n+OK\r\n+OK 9 99\r\n"), "");
    EXPECT_EQ(samePacket.Result(), ProbeCode::kConnectError);
    EXPECT_EQ(samePacket.TlsStarted(), "");
    EXPECT_FALSE(samePacket.StatLine().has_value());

    CPop3Dialogue later = AwaitingTls();
    EXPECT_EQ(later.Receive("+"), "");
    EXPECT_EQ(later.Result(), ProbeCode::kConnectError);
    EXPECT_EQ(later.TlsStarted(), "");
}

struct StatCase {
    const char* line;
    int result;
};

TEST(StatReply, ReadsLikePercentSSpacePercentD) {
    const StatCase cases[] = {
        {"+OK 3 512", 3},
        {"+OK 0 0", 0},
        {"+OK", 0},  // no count: no mail
        {"+OK abc", 0},
        {"+OK 0x10", 0},
        {"+OK -5", ProbeCode::kRefused},
        {"+OK - 5", 0},
        {"+OK +7", 7},
        {"+OK 3 512 and more words", 3},
        {"+OK\t\v5", 5},
        {"   +OK 4", 4},
        {"+OKAY 2", 2},  // only the token's first three characters count
        {"+OK12 2", 2},
        {"+ok 3", ProbeCode::kRefused},
        {"-ERR 3", ProbeCode::kRefused},
        {"OK 3", ProbeCode::kRefused},
        {"+O", ProbeCode::kRefused},
        {"", ProbeCode::kRefused},
        {"     ", ProbeCode::kRefused},
        {"+OK 99999999999999999999", INT_MAX},
        {"+OK -99999999999999999999", ProbeCode::kRefused},
        {"+OK 2147483647", INT_MAX},
        {"+OK 12abc", 12},
    };
    for (const StatCase& c : cases) {
        EXPECT_EQ(StatResult(ParseStatReply(c.line)), c.result) << '"' << c.line << '"';
    }
    EXPECT_EQ(ParseStatReply("  +OKAY 12 3").token, "+OKAY");
    EXPECT_EQ(ParseStatReply("+OK -2147483648").count, INT_MIN);
    EXPECT_FALSE(ParseStatReply("+OK x").count.has_value());
}

}  // namespace
