#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/MailWatch.h"
#include "protocol/imap/ImapDialogue.h"
#include "protocol/imap/ImapResponseReader.h"

// What a connection kept open after a check says to the IMAP server, without any I/O: INBOX
// examined (read-only: no flag ever changes), its unseen mail counted once more (mail may have come
// since the check's STATUS), then IDLE (RFC 2177). A change the server tells of (EXISTS, EXPUNGE,
// FETCH) or a count asked for: DONE, SEARCH UNSEEN (RETURN (COUNT) where ESEARCH is listed), IDLE
// again. A renewal: DONE, IDLE again. Changes told while a count is under way are in that count.
//
// The watch is over when the server says BYE, closes, answers what was not asked or under another
// tag, or refuses a command; a refusal before the first IDLE means it cannot watch at all.
class CImapWatchDialogue {
public:
    struct Count {
        int unseen = 0;
        std::optional<std::string> line;  // the ESEARCH answer, for the status line
    };

    explicit CImapWatchDialogue(ImapSession session);

    // The first command, and the answers to what the server sent after the check.
    std::string Begin();
    std::string Receive(std::string_view bytes);
    std::string CountNow();
    std::string Renew();
    // DONE where it idles, and LOGOUT, whose answer is not waited for.
    std::string LogOut();
    // The server closed the connection, or it broke.
    void EndStream();

    // A command of ours waits for the server's answer.
    bool AwaitsAnswer() const;
    bool IsOver() const { return m_step == Step::Over || m_step == Step::LoggingOut; }
    // Why it is over, once it is.
    IMailWatch::End Ending() const { return m_refused ? IMailWatch::End::Refused : IMailWatch::End::Dropped; }
    // The latest count taken since the last call, when there is one. The first is kept back when
    // it equals the check's count, which the owner has already.
    std::optional<Count> TakeCount();

private:
    enum class Step {
        Examine,     // EXAMINE INBOX sent
        Search,      // SEARCH sent
        IdleAsked,   // IDLE sent, its continuation request awaited
        Idling,      // the server tells of changes as they come
        IdleEnding,  // DONE sent, IDLE's completion awaited
        LoggingOut,
        Over
    };

    std::string OnResponse(const ImapResponse& response);
    std::string OnUntagged(const ImapResponse& response, const ImapResponseParts& parts);
    std::string OnTagged(const ImapResponseParts& parts);
    std::string OnSearched();
    std::string OnContinuation();
    std::string StartIdle();
    std::string EndIdle();
    std::string Send(const std::string& command);
    // Ends the watch; `logOut` where the server may still take LOGOUT.
    std::string Stop(bool logOut);

    ImapSession m_session;
    CImapResponseReader m_reader;
    Step m_step = Step::Examine;
    std::string m_pendingTag;
    bool m_countWanted = false;
    bool m_renewWanted = false;
    bool m_established = false;  // it has idled once
    bool m_refused = false;
    std::optional<std::uint64_t> m_searched;  // the answer to the SEARCH under way
    std::optional<std::string> m_searchLine;
    std::optional<Count> m_count;
};
