#pragma once

#include <string>
#include <string_view>
#include <vector>

// Writing the commands of an IMAP client that logs in (RFC 3501, RFC 4616, RFC 7888).

// A command as it goes out: its first piece at once, each further piece only after the server has
// asked for it with a continuation request ("+"), as a synchronising literal or SASL needs.
using ImapCommandPieces = std::vector<std::string>;

// "<tag> LOGIN <user> <password>": each as a quoted string where one can carry its bytes (7-bit,
// with '"' and '\' escaped), else as a literal: synchronising, or sent at once ("{n+}") where the
// server lists LITERAL+. Needs credentials without CR, LF or NUL.
ImapCommandPieces LoginCommand(std::string_view tag, std::string_view user, std::string_view password,
                               bool literalPlus);

// The SASL PLAIN message (no authorisation identity, then the user and the password, each after a
// NUL) in base64, as AUTHENTICATE PLAIN sends it.
std::string PlainCredentials(std::string_view user, std::string_view password);
