#pragma once
// The text format of ACCOUNT.CSV: one account per line, twelve comma-separated fields, no quoting.
// Pure functions over bytes, so the format is testable and fuzzable without files.

#include <cstdint>
#include <string>
#include <string_view>

#include "accounts/CAccount.h"
#include "accounts/CAccountList.h"
#include "accounts/Decimal.h"

// Takes the next field off the front of `line`: leading white space is skipped, the field runs to
// the next comma, trailing white space is dropped. `line` keeps what follows that comma, or
// becomes empty when there was none.
std::string NextField(std::string& line);

// One line (without its line end) to an account, with the corrections applied to the numbers.
CAccount ParseAccountLine(std::string line);

// The account's line, without its line end. A password kept in the keyring leaves its field empty.
std::string FormatAccountLine(const CAccount& account);

// Appends one account per line of `bytes` to `list`. CR LF and LF end a line, a lone CR stays in
// the line, Ctrl-Z ends the text, and a last line without a line end still counts.
void ParseAccountFile(std::string_view bytes, CAccountList& list);

// The whole file: every account's line followed by CR LF.
std::string FormatAccountFile(const CAccountList& list);
