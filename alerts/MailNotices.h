#pragma once

#include <map>

#include "accounts/AccountId.h"

class CAccountList;
class IMailNotifier;

// When a notification about an account's mail appears, is replaced or goes: it appears when the
// account's count rises (the moment the "増えたとき" alerts go off, whatever the account's own alert
// settings), is replaced when the count rises again and goes when the count drops to 0. One per
// account, kept by the account's identity, so deleting one account leaves the others' as they are.
class CMailNotices {
public:
    // `notifier` may be null: then nothing is ever shown.
    CMailNotices(const CAccountList& accounts, IMailNotifier* notifier);
    ~CMailNotices();
    CMailNotices(const CMailNotices&) = delete;
    CMailNotices& operator=(const CMailNotices&) = delete;

    // Switched off, no new notification appears; those shown still go when their count drops.
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool IsEnabled() const { return m_enabled; }

    // A check moved the account's count from `previous` to `count` (0 after an error too).
    void OnCount(AccountId account, int previous, int count);
    // The account is leaving the list.
    void OnAccountRemoved(AccountId account) { Withdraw(account); }

private:
    void Withdraw(AccountId account);

    const CAccountList& m_accounts;
    IMailNotifier* m_notifier;
    bool m_enabled = false;
    std::map<AccountId, int> m_keyOf;  // account -> key of its notification
    int m_nextKey = 1;
};
