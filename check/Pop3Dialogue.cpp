#include "check/Pop3Dialogue.h"

#include "accounts/Decimal.h"
#include "check/ProbeOutcome.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

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

bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The line buffer is a C string: whatever follows a NUL is not part of its text.
std::string TextOf(const std::string& line) {
    return line.substr(0, line.find('\0'));
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

CPop3Dialogue::CPop3Dialogue(std::string_view user, std::string_view password)
    : m_user(user), m_password(password), m_result(ProbeCode::kDialogueBroken) {
    if (HoldsLineBreakOrNul(user) || HoldsLineBreakOrNul(password)) {
        FinishWith(ProbeCode::kRefused);
    }
}

std::string CPop3Dialogue::Receive(std::string_view bytes) {
    std::string toSend;
    while (!IsDone() && !bytes.empty()) {
        bytes.remove_prefix(m_reader.Feed(bytes));
        if (m_reader.IsLineComplete()) {
            toSend += OnLine();
            m_reader.StartNextLine();
        }
    }
    return toSend;
}

void CPop3Dialogue::EndStream() {
    if (IsDone()) {
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

void CPop3Dialogue::Abandon() {
    if (!IsDone()) {
        FinishWith(ProbeCode::kDialogueBroken);
    }
}

std::string CPop3Dialogue::OnLine() {
    switch (m_step) {
        case Step::Greeting:
            m_step = Step::UserReply;
            return "USER " + m_user + "\r\n";
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

void CPop3Dialogue::FinishWith(int result) {
    m_result = result;
    m_step = Step::Done;
}
