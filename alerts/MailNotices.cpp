#include "alerts/MailNotices.h"

#include "accounts/AccountText.h"
#include "accounts/CAccountList.h"
#include "alerts/MailNotifier.h"
#include "res/Strings.h"

CMailNotices::CMailNotices(const CAccountList& accounts, IMailNotifier* notifier)
    : m_accounts(accounts), m_notifier(notifier) {}

CMailNotices::~CMailNotices() {
    // A notification left behind would outlive the program that could answer its click.
    while (!m_keyAt.empty()) {
        Withdraw(m_keyAt.begin()->first);
    }
}

void CMailNotices::OnCount(int position, int previous, int count) {
    if (m_notifier == nullptr) {
        return;
    }
    if (count <= 0) {
        Withdraw(position);
        return;
    }
    const CAccount* account = m_accounts.GetAt(position);
    if (!m_enabled || previous >= count || account == nullptr) {
        return;
    }
    auto [entry, added] = m_keyAt.try_emplace(position, m_nextKey);
    if (added) {
        ++m_nextKey;
    }
    const QString text = QStringLiteral("%1 (%2)\n%3")
                             .arg(DisplayText(account->m_strUser), DisplayText(account->m_strServer),
                                  QString::asprintf(Str::kMailCount, count));
    m_notifier->Show(entry->second, Str::Text(Str::kAppName), text);
}

void CMailNotices::OnAccountRemoved(int position) {
    Withdraw(position);
    std::map<int, int> moved;
    for (const auto& [p, key] : m_keyAt) {
        moved.emplace(p > position ? p - 1 : p, key);
    }
    m_keyAt = std::move(moved);
}

void CMailNotices::Withdraw(int position) {
    const auto found = m_keyAt.find(position);
    if (found == m_keyAt.end()) {
        return;
    }
    m_notifier->Withdraw(found->second);
    m_keyAt.erase(found);
}
