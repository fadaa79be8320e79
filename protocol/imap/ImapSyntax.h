#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading what an IMAP server says (RFC 3501, section 9), as far as a count of unread mail needs.

constexpr bool IsImapDigit(char c) {
    return c >= '0' && c <= '9';
}

// ASCII letters compared without regard to case; every other byte as it is.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// A response cut into its parts. Views into the response's text.
struct ImapResponseParts {
    enum class Kind { Tagged, Untagged, Continuation };
    Kind kind = Kind::Untagged;
    std::string_view tag;   // a tagged response's tag
    std::string_view name;  // the word after the tag or "*": OK, NO, BAD, PREAUTH, BYE, CAPABILITY,
                            // STATUS, a message number, ...
    // After OK, NO, BAD, PREAUTH or BYE: the response code inside "[...]", when there is one.
    std::string_view code;
    std::string_view rest;  // what follows the name (and the code)
};

ImapResponseParts SplitResponse(std::string_view text);

// The capabilities a CAPABILITY response or response code lists, upper-cased. `list` is what
// follows the word CAPABILITY.
std::vector<std::string> ReadCapabilities(std::string_view list);

// The name of a response code ("CAPABILITY" in "CAPABILITY IMAP4rev1 ...") and what follows it.
std::pair<std::string_view, std::string_view> SplitCode(std::string_view code);

// The number of unseen messages a STATUS response gives for INBOX. `rest` is what follows the
// word STATUS: a mailbox name (atom, quoted string or literal), then a parenthesised list of items
// and numbers. Nothing for another mailbox, or when the UNSEEN item is missing or no number.
std::optional<std::uint64_t> ReadInboxUnseen(std::string_view rest);
