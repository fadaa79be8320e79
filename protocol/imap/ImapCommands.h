#pragma once

#include <string>
#include <string_view>
#include <vector>

// Writing the commands of an IMAP client that logs in (RFC 3501, RFC 4616, RFC 7888).

// A command as it goes out: its first piece at once, each further piece only after the server has
// asked for it with a continuation request ("+"), as a synchronising literal or SASL needs.
using ImapCommandPieces = std::vector<std::string>;

// Which literals the server takes without asking for them first.
enum class ImapLiterals {
    Synchronising,             // each literal waits for the server's "+"
    NonSynchronising,          // LITERAL+: "{n+}" goes out with its bytes at once
    NonSynchronisingUpTo4096,  // LITERAL-: the same for literals of at most 4096 bytes
};

// "<tag> LOGIN <user> <password>": each as a quoted string where one can carry its bytes (7-bit,
// with '"' and '\' escaped), else as a literal. Needs credentials without CR, LF or NUL.
ImapCommandPieces LoginCommand(std::string_view tag, std::string_view user, std::string_view password,
                               ImapLiterals literals);

// The SASL PLAIN message (no authorisation identity, then the user and the password, each after a
// NUL) in base64, as AUTHENTICATE PLAIN sends it.
std::string PlainCredentials(std::string_view user, std::string_view password);
