// A check that keeps its connection, and the watch dialogue that goes on over it, without any I/O.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/imap/ImapDialogue.h"
#include "protocol/imap/ImapWatchDialogue.h"

namespace {

// Stand for what the owner asks of the watch, in place of bytes from the server.
const std::string kCount = "<count>", kRenew = "<renew>", kLogOut = "<logout>";

struct Case {
    std::string capabilities;  // after the login
    // In turn: what the server sends (or what the owner asks), and what the watch must answer at once.
    std::vector<std::pair<std::string, std::string>> talk;
    std::vector<int> counts;  // taken on the way
    IMailWatch::End ending = IMailWatch::End::Dropped;
};

// A check of three unseen messages, kept; then the watch.
void Play(const Case& c) {
    CImapDialogue check("alice", "secret", CImapDialogue::Upgrade::None, CImapDialogue::Keep::WhereIdle);
    check.Receive("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR IDLE] ready\r\n");
    check.Receive("a1 OK [CAPABILITY " + c.capabilities + "] in\r\n");
    EXPECT_EQ(check.Receive("* STATUS INBOX (UNSEEN 3)\r\na2 OK\r\n* 1 FETCH (FLAGS ())\r\n"), "");
    ASSERT_TRUE(check.KeepsConnection());
    CImapWatchDialogue watch(*check.Session());
    EXPECT_EQ(watch.Begin(), "a3 EXAMINE INBOX\r\n");
    std::vector<int> counts;
    for (const auto& [said, expected] : c.talk) {
        const std::string answer = said == kCount    ? watch.CountNow()
                                   : said == kRenew  ? watch.Renew()
                                   : said == kLogOut ? watch.LogOut()
                                                     : watch.Receive(said);
        EXPECT_EQ(answer, expected) << "after " << said;
        if (const auto count = watch.TakeCount()) {
            counts.push_back(count->unseen);
        }
    }
    EXPECT_EQ(counts, c.counts);
    EXPECT_TRUE(watch.IsOver());
    EXPECT_EQ(watch.Ending(), c.ending);
}

TEST(ImapWatchDialogue, ExaminesCountsAndIdlesUntilAChangeOrAnAskCountsAgain) {
    const std::string examined = "* 4 EXISTS\r\n* 1 RECENT\r\na3 OK [READ-ONLY] done\r\n";
    // ESEARCH: the count alone. The first count differs from the check's: mail came between. Changes
    // told while IDLE begins or ends are counted once; one told during a search, again.
    Play({"IMAP4rev1 IDLE ESEARCH",
          {{examined, "a4 SEARCH RETURN (COUNT) UNSEEN\r\n"},
           {"* ESEARCH (TAG \"a4\") COUNT 4\r\na4 OK\r\n", "a5 IDLE\r\n"},
           {"* 5 EXISTS\r\n", ""},
           {"+ idling\r\n", "DONE\r\n"},
           {"* 6 EXISTS\r\n* 2 EXPUNGE\r\n", ""},
           {"a5 OK\r\n", "a6 SEARCH RETURN (COUNT) UNSEEN\r\n"},
           {"* ESEARCH (TAG \"a6\") COUNT 2\r\n* 3 FETCH (FLAGS (\\Seen))\r\n* ESEARCH (TAG \"a5\") COUNT "
            "9\r\n"
            "a6 OK\r\n",
            "a7 IDLE\r\n"},
           {"+ idling\r\n", "DONE\r\n"},
           {kLogOut, "a8 LOGOUT\r\n"}},
          {4, 2}});
    // Plain SEARCH; the first count is the check's and is kept back. Asked for a count or a
    // renewal while IDLE begins, it ends IDLE as soon as it has begun.
    Play({"IMAP4rev1 IDLE",
          {{examined, "a4 SEARCH UNSEEN\r\n"},
           {"* SEARCH 2 3 4\r\na4 OK\r\n", "a5 IDLE\r\n"},
           {kCount, ""},
           {"+ idling\r\n", "DONE\r\n"},
           {"a5 OK\r\n", "a6 SEARCH UNSEEN\r\n"},
           {"* SEARCH 4\r\na6 OK\r\n", "a7 IDLE\r\n"},
           {kRenew, ""},
           {"+ idling\r\n", "DONE\r\n"},
           {"a7 OK\r\n", "a8 IDLE\r\n"},
           {"+ idling\r\n", ""},
           {kRenew, "DONE\r\n"},
           {kLogOut, "a9 LOGOUT\r\n"}},
          {1}});
}

TEST(ImapWatchDialogue, ARefusalBeforeItIdlesMeansItCannotWatchAndOneAfterThatItDropped) {
    using End = IMailWatch::End;
    Play({"IMAP4rev1 IDLE", {{"a3 NO [NONEXISTENT] no INBOX\r\n", "a4 LOGOUT\r\n"}}, {}, End::Refused});
    Play({"IMAP4rev1 IDLE",
          {{"a3 OK\r\n* SEARCH\r\na4 OK\r\n", "a4 SEARCH UNSEEN\r\na5 IDLE\r\n"},
           {"+ \r\n", ""},
           {"a5 BAD\r\n", "a6 LOGOUT\r\n"}},
          {0}});
    Play({"IMAP4rev1 IDLE", {{"a2 OK\r\n", "a4 LOGOUT\r\n"}}, {}});  // another command's tag
}

}  // namespace
