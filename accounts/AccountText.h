#pragma once
// Account strings are bytes, kept exactly as read from ACCOUNT.CSV or typed; widgets, the tray,
// message boxes and name look-ups take text. These two are the only crossing between them.

#include <QString>
#include <string>
#include <string_view>

// Bytes as text to show. Files of this format come from Japanese systems: bytes that are not
// valid UTF-8 are read as code page 932 (Shift_JIS). On Windows the ANSI code page is the rule.
QString DisplayText(std::string_view bytes);

// Text the user typed, as bytes in the local 8-bit encoding (UTF-8 here, the ANSI code page on
// Windows).
std::string TypedBytes(const QString& text);
