#include "protocol/imap/ImapResponseReader.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "protocol/imap/ImapSyntax.h"

namespace {

constexpr std::string_view kSearch = "* SEARCH";

// The size a line announces with a trailing "{n}", when it ends so; nothing when it does not, and
// UINT64_MAX for a size too large to read.
std::optional<std::uint64_t> AnnouncedLiteral(std::string_view line) {
    if (!line.ends_with('}')) {
        return std::nullopt;
    }
    const std::size_t open = line.rfind('{');
    if (open == std::string_view::npos || open + 2 > line.size() - 1) {
        return std::nullopt;
    }
    const std::string_view digits = line.substr(open + 1, line.size() - open - 2);
    if (!std::all_of(digits.begin(), digits.end(), IsImapDigit)) {
        return std::nullopt;
    }
    std::uint64_t size = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    return error == std::errc() ? size : UINT64_MAX;
}

}  // namespace

std::size_t CImapResponseReader::Feed(std::string_view input) {
    std::size_t used = 0;
    while (used < input.size() && m_state != State::Complete && m_state != State::Overlong) {
        if (m_state == State::Literal) {
            used += TakeLiteral(input.substr(used));
            continue;
        }
        const char byte = input[used++];
        if (m_state == State::Searching) {
            TakeSearchByte(byte);
        } else {
            TakeLineByte(byte);
        }
    }
    return used;
}

void CImapResponseReader::StartNext() {
    m_state = State::Line;
    m_response = {};
    m_lineStart = 0;
    m_literalLeft = 0;
    m_afterCr = false;
}

std::size_t CImapResponseReader::TakeLiteral(std::string_view input) {
    const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(m_literalLeft, input.size()));
    m_response.text.append(input.substr(0, taken));
    m_literalLeft -= taken;
    if (m_literalLeft == 0) {
        m_state = State::Line;
        m_lineStart = m_response.text.size();
    }
    return taken;
}

void CImapResponseReader::TakeLineByte(char byte) {
    if (byte == '\n') {
        m_afterCr = false;
        EndLine();
        return;
    }
    // A CR is part of the line end only right before its LF; anywhere else it is text.
    if (std::exchange(m_afterCr, false)) {
        Store('\r');
    }
    if (byte == '\r') {
        m_afterCr = true;
    } else {
        Store(byte);
    }
}

void CImapResponseReader::Store(char byte) {
    std::string& text = m_response.text;
    if (m_state != State::Line) {
        return;
    }
    if (text.size() == kMaxResponseLength) {
        m_state = State::Overlong;
        return;
    }
    text.push_back(byte);
    // A SEARCH answer lists message numbers after its name, and nothing that needs keeping.
    if (text.size() == kSearch.size() + 1 && byte == ' ' &&
        EqualsIgnoringCase(std::string_view(text).substr(0, kSearch.size()), kSearch)) {
        text.pop_back();
        m_state = State::Searching;
        m_searchCount = 0;
        m_searchDepth = 0;
        m_inSearchNumber = false;
    }
}

void CImapResponseReader::TakeSearchByte(char byte) {
    const bool digit = IsImapDigit(byte);
    if (digit && !m_inSearchNumber && m_searchDepth == 0) {
        ++m_searchCount;
    }
    m_inSearchNumber = digit;
    if (byte == '(') {
        ++m_searchDepth;
    } else if (byte == ')' && m_searchDepth > 0) {
        --m_searchDepth;
    } else if (byte == '\n') {
        m_response.searchCount = m_searchCount;
        Complete();
    }
}

void CImapResponseReader::EndLine() {
    std::string& text = m_response.text;
    const auto literal = AnnouncedLiteral(std::string_view(text).substr(m_lineStart));
    if (!literal) {
        if (EqualsIgnoringCase(text, kSearch)) {
            m_response.searchCount = 0;
        }
        Complete();
        return;
    }
    if (*literal > kMaxResponseLength - std::min(kMaxResponseLength, text.size() + 2)) {
        m_state = State::Overlong;
        return;
    }
    text += "\r\n";
    m_literalLeft = *literal;
    m_lineStart = text.size();
    m_state = *literal == 0 ? State::Line : State::Literal;
}

void CImapResponseReader::Complete() {
    m_state = State::Complete;
}
