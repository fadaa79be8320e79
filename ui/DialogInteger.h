#pragma once
// Reading an integer typed into a dialog box.

#include <QString>
#include <cstdint>
#include <optional>

// The number in `text`, or nothing when it is not one. Only the first 31 characters count; spaces
// and tabs may surround a decimal number with an optional sign. An empty box, other characters,
// and a zero not written with the digit 0 (such as "-0") are not numbers. Values beyond 32 bits
// are taken as the largest or smallest 32-bit value.
std::optional<std::int32_t> ParseDialogInteger(const QString& text);
