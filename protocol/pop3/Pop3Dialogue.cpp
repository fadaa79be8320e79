#include "protocol/pop3/Pop3Dialogue.h"

#include <algorithm>
#include <cctype>

#include "accounts/Decimal.h"
#include "protocol/Credentials.h"
#include "protocol/ProbeOutcome.h"

namespace {

std::size_t SkipSpace(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsCSpace(text[pos])) {
        ++pos;
    }
    return pos;
}

// A decimal integer as %d reads it: optional sign, at least one digit.
std::optional<int> ReadInteger(std::string_view text, std::size_t pos) {
    const std::size_t firstDigit =
        pos < text.size() && (text[pos] == '+' || text[pos] == '-') ? pos + 1 : pos;
    if (firstDigit >= text.size() || !IsDigit(text[firstDigit])) {
        return std::nullopt;
    }
    return ReadDecimal(text.substr(pos));
}

// The line buffer is a C string: whatever follows a NUL is not part of its text.
std::string TextOf(const std::string& line) {
    return line.substr(0, line.find('\0'));
}

bool StartsWithOk(std::string_view line) {
    return line.starts_with("+OK");
}

// A CAPA line names its capability in its first word, in any case.
bool NamesCapability(std::string_view line, std::string_view upperCaseName) {
    const std::string_view word = line.substr(0, line.find(' '));
    return std::ranges::equal(word, upperCaseName, [](char got, char wanted) {
        return std::toupper(static_cast<unsigned char>(got)) == wanted;
    });
}

}  // namespace

StatReply ParseStatReply(std::string_view line) {
    StatReply reply;
    std::size_t pos = SkipSpace(line, 0);
    const std::size_t tokenStart = pos;
    while (pos < line.size() && !IsCSpace(line[pos])) {
        ++pos;
    }
    if (pos == tokenStart) {
        return reply;
    }
    reply.token = std::string(line.substr(tokenStart, pos - tokenStart));
    reply.count = ReadInteger(line, SkipSpace(line, pos));
    return reply;
}

int StatResult(const StatReply& reply) {
    if (reply.token.compare(0, 3, "+OK") != 0) {
        return ProbeCode::kRefused;
    }
    const int count = reply.count.value_or(0);
    return count < 0 ? ProbeCode::kRefused : count;
}

CPop3Dialogue::CPop3Dialogue(std::string_view user, std::string_view password, Upgrade upgrade)
    : m_user(user), m_password(password), m_upgrade(upgrade), m_result(ProbeCode::kDialogueBroken) {
    if (HoldsLineBreakOrNul(user) || HoldsLineBreakOrNul(password)) {
        FinishWith(ProbeCode::kRefused);
    }
}

std::string CPop3Dialogue::Receive(std::string_view bytes) {
    std::string toSend;
    while (!IsDone() && !bytes.empty()) {
        if (AwaitsTls()) {
            FinishWith(ProbeCode::kConnectError);
            break;
        }
        bytes.remove_prefix(m_reader.Feed(bytes));
        if (m_reader.IsLineComplete()) {
            toSend += OnLine();
            m_reader.StartNextLine();
        }
    }
    return toSend;
}

std::string CPop3Dialogue::TlsStarted() {
    return AwaitsTls() ? SendUser() : std::string();
}

void CPop3Dialogue::EndStream() {
    if (IsDone()) {
        return;
    }
    if (IsNegotiatingTls()) {
        FinishWith(ProbeCode::kConnectError);
        return;
    }
    // Only the STAT reply may be cut short by the close: its bytes so far are the reply. Any
    // earlier close means the STAT reply never came, whatever the buffer still holds.
    if (m_step == Step::StatReply && m_reader.EndStream()) {
        OnLine();
        return;
    }
    FinishWith(ProbeCode::kDialogueBroken);
}

std::string CPop3Dialogue::Abandon() {
    if (!IsDone()) {
        FinishWith(IsNegotiatingTls() ? ProbeCode::kConnectError : ProbeCode::kDialogueBroken);
    }
    return {};
}

bool CPop3Dialogue::IsNegotiatingTls() const {
    switch (m_step) {
        case Step::Greeting:
            return m_upgrade == Upgrade::Stls;
        case Step::CapaReply:
        case Step::CapaList:
        case Step::StlsReply:
        case Step::TlsHandshake:
            return true;
        default:
            return false;
    }
}

std::string CPop3Dialogue::OnLine() {
    switch (m_step) {
        case Step::Greeting:
            if (m_upgrade == Upgrade::Stls) {
                m_step = Step::CapaReply;
                return "CAPA\r\n";
            }
            return SendUser();
        case Step::CapaReply:
            if (!StartsWithOk(TextOf(m_reader.Line()))) {
                FinishWith(ProbeCode::kConnectError);
                return {};
            }
            m_step = Step::CapaList;
            return {};
        case Step::CapaList:
            return OnCapaLine(TextOf(m_reader.Line()));
        case Step::StlsReply:
            return OnStlsReply(TextOf(m_reader.Line()));
        case Step::TlsHandshake:
            break;
        case Step::UserReply:
            m_step = Step::PassReply;
            return "PASS " + m_password + "\r\n";
        case Step::PassReply:
            m_step = Step::StatReply;
            return "STAT\r\n";
        case Step::StatReply:
            m_statLine = TextOf(m_reader.Line());
            FinishWith(StatResult(ParseStatReply(*m_statLine)));
            // The reply to QUIT is not waited for.
            return "QUIT\r\n";
        case Step::Done:
            break;
    }
    return {};
}

std::string CPop3Dialogue::OnCapaLine(std::string_view line) {
    if (line != ".") {
        m_stlsOffered = m_stlsOffered || NamesCapability(line, "STLS");
        return {};
    }
    if (!m_stlsOffered) {
        FinishWith(ProbeCode::kConnectError);
        return {};
    }
    m_step = Step::StlsReply;
    return "STLS\r\n";
}

std::string CPop3Dialogue::OnStlsReply(std::string_view line) {
    if (!StartsWithOk(line)) {
        FinishWith(ProbeCode::kConnectError);
        return {};
    }
    m_step = Step::TlsHandshake;
    return {};
}

std::string CPop3Dialogue::SendUser() {
    m_step = Step::UserReply;
    return "USER " + m_user + "\r\n";
}

void CPop3Dialogue::FinishWith(int result) {
    m_result = result;
    m_step = Step::Done;
}
