#pragma once

#include <cstddef>
#include <vector>

#include "accounts/CAccount.h"

// The ordered list of accounts. A position is an account's list row; the order is the file's order
// followed by the accounts added in this run. Everything that must stay with an account while
// others come and go (timers, checks, tray icons, notifications) goes by its identity instead.
class CAccountList {
public:
    // Takes in a copy at the tail, with an identity no account of this list ever had; returns it.
    AccountId AddTail(const CAccount& account);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }

    // Null for a position outside 0 ... count-1.
    CAccount* GetAt(int position);
    const CAccount* GetAt(int position) const;

    // Returns false (and changes nothing) for a position outside the list.
    bool RemoveAt(int position);

    // Position of the account holding a timer id, or -1.
    int FindByTimerId(std::uint32_t timerId) const;
    // The account with this identity, or null (deleted, or never in this list).
    CAccount* Find(AccountId id);
    const CAccount* Find(AccountId id) const;

    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<CAccount> m_items;
    AccountId m_lastId;
};
