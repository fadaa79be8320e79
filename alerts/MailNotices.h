#pragma once

#include <map>

class CAccountList;
class IMailNotifier;

// When a notification about an account's mail appears, is replaced or goes: it appears when the
// account's count rises (the moment the "増えたとき" alerts go off, whatever the account's own alert
// settings), is replaced when the count rises again and goes when the count drops to 0. One per
// account; the notifier only ever sees keys that stay with their account when others are deleted.
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

    // A check of the account at `position` moved its count from `previous` to `count` (0 after an
    // error too).
    void OnCount(int position, int previous, int count);
    // The account at `position` left the list; the accounts after it moved up one place.
    void OnAccountRemoved(int position);

private:
    void Withdraw(int position);

    const CAccountList& m_accounts;
    IMailNotifier* m_notifier;
    bool m_enabled = false;
    std::map<int, int> m_keyAt;  // account position -> key of its notification
    int m_nextKey = 1;
};
