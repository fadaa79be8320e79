#include "protocol/imap/ImapSyntax.h"

#include <algorithm>
#include <charconv>

namespace {

// The words after which a response code may follow.
constexpr std::string_view kConditions[] = {"OK", "NO", "BAD", "PREAUTH", "BYE"};

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view NextWord(std::string_view& text) {
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    return word;
}

std::optional<std::uint64_t> ReadNumber(std::string_view digits) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsImapDigit) || error != std::errc()) {
        return std::nullopt;
    }
    return value;
}

// A quoted string at the front of `text` ("\"" and "\\" stand for themselves); consumed.
std::optional<std::string> ReadQuoted(std::string_view& text) {
    std::string value;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            text.remove_prefix(i + 1);
            return value;
        }
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
        }
        value.push_back(text[i]);
    }
    return std::nullopt;
}

// A literal at the front of `text`: "{n}", the line end the reader kept, n bytes; consumed.
std::optional<std::string> ReadLiteral(std::string_view& text) {
    const std::size_t close = text.find('}');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    const auto size = ReadNumber(text.substr(1, close - 1));
    const std::string_view after = text.substr(close + 1);
    if (!size || !after.starts_with("\r\n") || after.size() - 2 < *size) {
        return std::nullopt;
    }
    const std::string value(after.substr(2, static_cast<std::size_t>(*size)));
    text = after.substr(2 + static_cast<std::size_t>(*size));
    return value;
}

// An atom, quoted string or literal at the front of `text`; consumed.
std::optional<std::string> ReadAstring(std::string_view& text) {
    if (text.starts_with('"')) {
        return ReadQuoted(text);
    }
    if (text.starts_with('{')) {
        return ReadLiteral(text);
    }
    const std::size_t end = std::min(text.find(' '), text.size());
    if (end == 0) {
        return std::nullopt;
    }
    std::string value(text.substr(0, end));
    text.remove_prefix(end);
    return value;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
}

ImapResponseParts SplitResponse(std::string_view text) {
    ImapResponseParts parts;
    if (text.starts_with('+')) {
        parts.kind = ImapResponseParts::Kind::Continuation;
        parts.rest = text.substr(std::min<std::size_t>(2, text.size()));
        return parts;
    }
    const std::string_view tag = NextWord(text);
    parts.kind = tag == "*" ? ImapResponseParts::Kind::Untagged : ImapResponseParts::Kind::Tagged;
    parts.tag = parts.kind == ImapResponseParts::Kind::Tagged ? tag : std::string_view();
    parts.name = NextWord(text);
    const bool mayHaveCode = std::ranges::any_of(
        kConditions, [&](std::string_view condition) { return EqualsIgnoringCase(parts.name, condition); });
    const std::size_t close = text.find(']');
    if (mayHaveCode && text.starts_with('[') && close != std::string_view::npos) {
        parts.code = text.substr(1, close - 1);
        text.remove_prefix(close + 1);
        if (text.starts_with(' ')) {
            text.remove_prefix(1);
        }
    }
    parts.rest = text;
    return parts;
}

std::vector<std::string> ReadCapabilities(std::string_view list) {
    std::vector<std::string> names;
    while (!list.empty()) {
        const std::string_view word = NextWord(list);
        if (word.empty()) {
            continue;
        }
        std::string name(word);
        std::transform(name.begin(), name.end(), name.begin(), UpperAscii);
        names.push_back(std::move(name));
    }
    return names;
}

std::pair<std::string_view, std::string_view> SplitCode(std::string_view code) {
    const std::string_view name = NextWord(code);
    return {name, code};
}

std::optional<std::uint64_t> ReadInboxUnseen(std::string_view rest) {
    const auto mailbox = ReadAstring(rest);
    // INBOX is INBOX in any case; every other name is another mailbox.
    if (!mailbox || !EqualsIgnoringCase(*mailbox, "INBOX") || !rest.starts_with(" (")) {
        return std::nullopt;
    }
    rest.remove_prefix(2);
    const std::size_t close = rest.find(')');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view items = rest.substr(0, close);
    while (!items.empty()) {
        const std::string_view item = NextWord(items);
        const std::string_view value = NextWord(items);
        if (EqualsIgnoringCase(item, "UNSEEN")) {
            return ReadNumber(value);
        }
    }
    return std::nullopt;
}
