#pragma once

#include <string_view>

// A user name or password holding CR, LF or NUL could end a command early and smuggle another one
// to the server after it; such credentials are never sent.
inline bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}
