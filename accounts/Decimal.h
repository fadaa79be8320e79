#pragma once

#include <cstdint>
#include <string_view>

// White space as the C library's isspace() sees it in the "C" locale.
constexpr bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The digits 0 to 9 and nothing else, in any character type (never another script's digits).
constexpr bool IsDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

// Decimal text to a 32-bit value the way the C library reads it: leading white space, optional
// sign, digits up to the first non-digit, no digits giving 0. Out-of-range values clamp rather
// than wrap, so a huge number never turns into a small or negative one.
std::int32_t ReadDecimal(std::string_view text);
