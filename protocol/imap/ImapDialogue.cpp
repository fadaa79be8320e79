#include "protocol/imap/ImapDialogue.h"

#include <algorithm>
#include <climits>

#include "protocol/Credentials.h"
#include "protocol/ProbeOutcome.h"
#include "protocol/imap/ImapSyntax.h"

namespace {

// The status line shows one line of text: a response's first, up to any NUL.
std::string StatusLineOf(const std::string& text) {
    return text.substr(0, text.find_first_of(std::string_view("\r\n\0", 3)));
}

}  // namespace

CImapDialogue::CImapDialogue(std::string_view user, std::string_view password, Upgrade upgrade)
    : m_user(user), m_password(password), m_upgrade(upgrade), m_result(ProbeCode::kDialogueBroken) {
    if (HoldsLineBreakOrNul(user) || HoldsLineBreakOrNul(password)) {
        FinishWith(ProbeCode::kRefused, false);
    }
}

std::string CImapDialogue::Receive(std::string_view bytes) {
    std::string toSend;
    while (!IsDone() && !bytes.empty()) {
        if (AwaitsTls()) {
            FinishWith(ProbeCode::kConnectError, false);
            break;
        }
        bytes.remove_prefix(m_reader.Feed(bytes));
        if (m_reader.IsOverlong()) {
            toSend += FinishWith(Broken(), true);
            break;
        }
        if (m_reader.IsComplete()) {
            toSend += OnResponse(m_reader.Response());
            m_reader.StartNext();
        }
    }
    return toSend;
}

void CImapDialogue::EndStream() {
    if (!IsDone()) {
        FinishWith(Broken(), false);
    }
}

std::string CImapDialogue::Abandon() {
    if (IsDone()) {
        return {};
    }
    return FinishWith(Broken(), true);
}

std::string CImapDialogue::TlsStarted() {
    if (!AwaitsTls()) {
        return {};
    }
    m_tlsUp = true;
    m_capabilities.clear();
    m_step = Step::Capability;
    return Send("CAPABILITY");
}

bool CImapDialogue::HasCapability(std::string_view upperCaseName) const {
    return std::find(m_capabilities.begin(), m_capabilities.end(), upperCaseName) != m_capabilities.end();
}

std::string CImapDialogue::OnResponse(const ImapResponse& response) {
    const ImapResponseParts parts = SplitResponse(response.text);
    if (m_step == Step::Greeting) {
        return OnGreeting(parts);
    }
    switch (parts.kind) {
        case ImapResponseParts::Kind::Continuation:
            return OnContinuation();
        case ImapResponseParts::Kind::Untagged:
            return OnUntagged(parts, response.text);
        case ImapResponseParts::Kind::Tagged:
            break;
    }
    return OnTagged(parts, response.text);
}

std::string CImapDialogue::OnGreeting(const ImapResponseParts& parts) {
    // Whatever speaks first with anything but an untagged response is no IMAP server.
    if (parts.kind != ImapResponseParts::Kind::Untagged) {
        return FinishWith(Broken(), false);
    }
    if (EqualsIgnoringCase(parts.name, "BYE")) {
        return FinishWith(ProbeCode::kConnectError, false);
    }
    const bool preauth = EqualsIgnoringCase(parts.name, "PREAUTH");
    if (!preauth && !EqualsIgnoringCase(parts.name, "OK")) {
        return OnUntagged(parts, {});
    }
    m_greeted = true;
    LearnCapabilitiesFromCode(parts.code);
    if (preauth) {
        // Logged in before any TLS: STARTTLS is no longer possible, and nothing is protected.
        return m_upgrade == Upgrade::StartTls ? FinishWith(ProbeCode::kConnectError, true) : AskStatus();
    }
    if (m_capabilities.empty()) {
        m_step = Step::Capability;
        return Send("CAPABILITY");
    }
    return AfterCapabilities();
}

std::string CImapDialogue::OnUntagged(const ImapResponseParts& parts, const std::string& text) {
    if (EqualsIgnoringCase(parts.name, "BYE")) {
        return FinishWith(Broken(), false);
    }
    if (EqualsIgnoringCase(parts.name, "CAPABILITY")) {
        LearnCapabilities(parts.rest);
    } else if (!parts.code.empty()) {
        LearnCapabilitiesFromCode(parts.code);
    } else if (m_step == Step::Status && EqualsIgnoringCase(parts.name, "STATUS")) {
        if (const auto unseen = ReadInboxUnseen(parts.rest)) {
            m_unseen = static_cast<int>(std::min<std::uint64_t>(*unseen, INT_MAX));
            m_statusLine = StatusLineOf(text);
        }
    }
    return {};
}

std::string CImapDialogue::OnTagged(const ImapResponseParts& parts, const std::string& text) {
    if (parts.tag != m_pendingTag) {
        return FinishWith(Broken(), true);
    }
    // The command is over, whatever of it was still to come.
    m_piecesToCome.clear();
    m_authenticating = false;
    const bool ok = EqualsIgnoringCase(parts.name, "OK");
    switch (m_step) {
        case Step::Capability:
            if (!ok) {
                return FinishWith(Broken(), true);
            }
            LearnCapabilitiesFromCode(parts.code);
            return AfterCapabilities();
        case Step::StartTls:
            if (!ok) {
                return FinishWith(ProbeCode::kConnectError, true);
            }
            m_step = Step::TlsHandshake;
            return {};
        case Step::Login:
            if (!ok) {
                m_statLine = StatusLineOf(text);
                return FinishWith(ProbeCode::kRefused, true);
            }
            LearnCapabilitiesFromCode(parts.code);
            return AskStatus();
        case Step::Status:
            m_statLine = ok && m_unseen ? m_statusLine : StatusLineOf(text);
            return FinishWith(ok && m_unseen ? *m_unseen : ProbeCode::kRefused, true);
        case Step::Greeting:
        case Step::TlsHandshake:
        case Step::Done:
            break;
    }
    return FinishWith(Broken(), true);
}

std::string CImapDialogue::OnContinuation() {
    if (!m_piecesToCome.empty()) {
        std::string piece = std::move(m_piecesToCome.front());
        m_piecesToCome.erase(m_piecesToCome.begin());
        return piece;
    }
    if (m_authenticating) {
        // PLAIN has nothing more to say: the exchange is cancelled, and the refusal follows.
        m_authenticating = false;
        return "*\r\n";
    }
    return FinishWith(Broken(), true);
}

std::string CImapDialogue::AfterCapabilities() {
    if (m_upgrade == Upgrade::StartTls && !m_tlsUp) {
        if (!HasCapability("STARTTLS")) {
            return FinishWith(ProbeCode::kConnectError, true);
        }
        m_step = Step::StartTls;
        return Send("STARTTLS");
    }
    return LogIn();
}

std::string CImapDialogue::LogIn() {
    if (HasCapability("LOGINDISABLED")) {
        return FinishWith(ProbeCode::kRefused, true);
    }
    m_step = Step::Login;
    if (HasCapability("AUTH=PLAIN")) {
        m_authenticating = true;
        const std::string credentials = PlainCredentials(m_user, m_password);
        if (HasCapability("SASL-IR")) {
            return Send("AUTHENTICATE PLAIN " + credentials);
        }
        return Send(ImapCommandPieces{NextTag() + " AUTHENTICATE PLAIN\r\n", credentials + "\r\n"});
    }
    return Send(LoginCommand(NextTag(), m_user, m_password, HasCapability("LITERAL+")));
}

std::string CImapDialogue::AskStatus() {
    m_step = Step::Status;
    return Send("STATUS INBOX (UNSEEN)");
}

void CImapDialogue::LearnCapabilities(std::string_view list) {
    m_capabilities = ReadCapabilities(list);
}

void CImapDialogue::LearnCapabilitiesFromCode(std::string_view code) {
    const auto [name, list] = SplitCode(code);
    if (EqualsIgnoringCase(name, "CAPABILITY")) {
        LearnCapabilities(list);
    }
}

std::string CImapDialogue::Send(const std::string& command) {
    return Send(ImapCommandPieces{NextTag() + " " + command + "\r\n"});
}

std::string CImapDialogue::Send(ImapCommandPieces pieces) {
    std::string first = std::move(pieces.front());
    pieces.erase(pieces.begin());
    m_piecesToCome = std::move(pieces);
    return first;
}

std::string CImapDialogue::NextTag() {
    m_pendingTag = "a" + std::to_string(++m_tagNumber);
    return m_pendingTag;
}

bool CImapDialogue::IsNegotiatingTls() const {
    return m_upgrade == Upgrade::StartTls && !m_tlsUp;
}

int CImapDialogue::Broken() const {
    // Until an upgraded connection is inside TLS, it is no usable connection at all.
    return IsNegotiatingTls() ? ProbeCode::kConnectError : ProbeCode::kDialogueBroken;
}

bool CImapDialogue::TakesCommands() const {
    // Not while a command of ours is unfinished: the server would read the next as part of it.
    return m_greeted && m_step != Step::TlsHandshake && m_piecesToCome.empty();
}

std::string CImapDialogue::FinishWith(int result, bool logOut) {
    const bool farewell = logOut && TakesCommands();
    m_result = result;
    m_step = Step::Done;
    return farewell ? NextTag() + " LOGOUT\r\n" : std::string();
}
