#include "protocol/imap/ImapWatchDialogue.h"

#include <algorithm>
#include <climits>

#include "protocol/imap/ImapSyntax.h"

CImapWatchDialogue::CImapWatchDialogue(ImapSession session) : m_session(std::move(session)) {}

std::string CImapWatchDialogue::Begin() {
    std::string toSend = Send("EXAMINE INBOX");
    return toSend + Receive(std::exchange(m_session.unread, {}));
}

std::string CImapWatchDialogue::Receive(std::string_view bytes) {
    std::string toSend;
    while (!IsOver() && !bytes.empty()) {
        bytes.remove_prefix(m_reader.Feed(bytes));
        if (m_reader.IsOverlong()) {
            toSend += Stop(true);
            break;
        }
        if (m_reader.IsComplete()) {
            toSend += OnResponse(m_reader.Response());
            m_reader.StartNext();
        }
    }
    return toSend;
}

std::string CImapWatchDialogue::CountNow() {
    // A count under way is as fresh as the one asked for.
    if (IsOver() || m_step == Step::Search) {
        return {};
    }
    m_countWanted = true;
    return m_step == Step::Idling ? EndIdle() : std::string();
}

std::string CImapWatchDialogue::Renew() {
    // IDLE asked for ends as soon as it begins; any other step awaits an answer already.
    m_renewWanted = m_step == Step::IdleAsked;
    return m_step == Step::Idling ? EndIdle() : std::string();
}

std::string CImapWatchDialogue::LogOut() {
    return Stop(true);
}

void CImapWatchDialogue::EndStream() {
    m_step = Step::Over;
}

bool CImapWatchDialogue::AwaitsAnswer() const {
    return m_step == Step::Examine || m_step == Step::Search || m_step == Step::IdleAsked ||
           m_step == Step::IdleEnding;
}

std::optional<CImapWatchDialogue::Count> CImapWatchDialogue::TakeCount() {
    return std::exchange(m_count, std::nullopt);
}

std::string CImapWatchDialogue::OnResponse(const ImapResponse& response) {
    const ImapResponseParts parts = SplitResponse(response.text);
    switch (parts.kind) {
        case ImapResponseParts::Kind::Continuation:
            return OnContinuation();
        case ImapResponseParts::Kind::Untagged:
            return OnUntagged(response, parts);
        case ImapResponseParts::Kind::Tagged:
            break;
    }
    return OnTagged(parts);
}

std::string CImapWatchDialogue::OnUntagged(const ImapResponse& response, const ImapResponseParts& parts) {
    if (EqualsIgnoringCase(parts.name, "BYE")) {
        return Stop(false);
    }
    if (m_step == Step::Search) {
        if (response.searchCount) {
            m_searched = response.searchCount;
        } else if (const auto count = EqualsIgnoringCase(parts.name, "ESEARCH")
                                          ? ReadEsearchCount(parts.rest, m_pendingTag)
                                          : std::nullopt) {
            m_searched = count;
            m_searchLine = StatusLineOf(response.text);
        } else if (IsMailboxChange(parts)) {
            // Told while the server searched, it may have come after the search: counted again.
            m_countWanted = true;
        }
        return {};
    }
    // What EXAMINE reports is the mailbox as it is, which the count after it takes in.
    if (m_step == Step::Examine || !IsMailboxChange(parts)) {
        return {};
    }
    m_countWanted = true;
    return m_step == Step::Idling ? EndIdle() : std::string();
}

std::string CImapWatchDialogue::OnTagged(const ImapResponseParts& parts) {
    if (parts.tag != m_pendingTag) {
        return Stop(true);
    }
    // IDLE is over once answered, whoever ended it.
    if (m_step == Step::IdleAsked || m_step == Step::Idling) {
        m_step = Step::IdleEnding;
    }
    if (!EqualsIgnoringCase(parts.name, "OK")) {
        // Before it ever idled, the server will not let it watch; after, it has gone wrong.
        m_refused = !m_established;
        return Stop(true);
    }
    switch (m_step) {
        case Step::Examine:
            m_countWanted = true;
            break;
        case Step::Search:
            return OnSearched();
        case Step::IdleEnding:
            break;
        case Step::IdleAsked:
        case Step::Idling:
        case Step::LoggingOut:
        case Step::Over:
            return {};
    }
    if (!std::exchange(m_countWanted, false)) {
        return StartIdle();
    }
    m_step = Step::Search;
    m_searched.reset();
    m_searchLine.reset();
    const bool esearch = std::ranges::find(m_session.capabilities, "ESEARCH") != m_session.capabilities.end();
    return Send(esearch ? "SEARCH RETURN (COUNT) UNSEEN" : "SEARCH UNSEEN");
}

std::string CImapWatchDialogue::OnSearched() {
    if (!m_searched) {
        m_refused = !m_established;
        return Stop(true);
    }
    const int unseen = static_cast<int>(std::min<std::uint64_t>(*m_searched, INT_MAX));
    if (m_established || unseen != m_session.unseen) {
        m_count = Count{.unseen = unseen, .line = m_searchLine};
    }
    return StartIdle();
}

std::string CImapWatchDialogue::OnContinuation() {
    if (m_step != Step::IdleAsked) {
        return Stop(true);
    }
    m_step = Step::Idling;
    m_established = true;
    return m_countWanted || std::exchange(m_renewWanted, false) ? EndIdle() : std::string();
}

std::string CImapWatchDialogue::StartIdle() {
    m_step = Step::IdleAsked;
    return Send("IDLE");
}

std::string CImapWatchDialogue::EndIdle() {
    m_step = Step::IdleEnding;
    return "DONE\r\n";
}

std::string CImapWatchDialogue::Send(const std::string& command) {
    m_pendingTag = "a" + std::to_string(++m_session.tagNumber);
    return m_pendingTag + " " + command + "\r\n";
}

std::string CImapWatchDialogue::Stop(bool logOut) {
    if (IsOver()) {
        return {};
    }
    // IDLE takes nothing but DONE; sent before its continuation request, DONE is read after it.
    const bool idle = m_step == Step::Idling || m_step == Step::IdleAsked;
    m_step = logOut ? Step::LoggingOut : Step::Over;
    return logOut ? (idle ? "DONE\r\n" : "") + Send("LOGOUT") : std::string();
}
