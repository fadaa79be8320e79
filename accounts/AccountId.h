#pragma once

#include <compare>
#include <cstdint>

// Which account this is, for as long as the program runs. The account list gives one to every
// account it takes in and never gives the same one again, so it stays with its account while
// others are added and deleted (a list position does not). It lives in memory only: ACCOUNT.CSV
// never holds it.
struct AccountId {
    std::uint32_t value = 0;  // 0: not in a list

    explicit operator bool() const { return value != 0; }
    auto operator<=>(const AccountId&) const = default;
};
