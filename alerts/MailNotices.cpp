#include "alerts/MailNotices.h"

#include "accounts/AccountText.h"
#include "accounts/CAccountList.h"
#include "alerts/MailNotifier.h"
#include "res/Strings.h"

CMailNotices::CMailNotices(const CAccountList& accounts, IMailNotifier* notifier)
    : m_accounts(accounts), m_notifier(notifier) {}

CMailNotices::~CMailNotices() {
    // A notification left behind would outlive the program that could answer its click.
    while (!m_keyOf.empty()) {
        Withdraw(m_keyOf.begin()->first);
    }
}

void CMailNotices::OnCount(AccountId id, int previous, int count) {
    if (m_notifier == nullptr) {
        return;
    }
    if (count <= 0) {
        Withdraw(id);
        return;
    }
    const CAccount* account = m_accounts.Find(id);
    if (!m_enabled || previous >= count || account == nullptr) {
        return;
    }
    auto [entry, added] = m_keyOf.try_emplace(id, m_nextKey);
    if (added) {
        ++m_nextKey;
    }
    const QString text = QStringLiteral("%1 (%2)\n%3")
                             .arg(DisplayText(account->m_strUser), DisplayText(account->m_strServer),
                                  QString::asprintf(Str::kMailCount, count));
    m_notifier->Show(entry->second, Str::Text(Str::kAppName), text);
}

void CMailNotices::Withdraw(AccountId id) {
    const auto found = m_keyOf.find(id);
    if (found == m_keyOf.end()) {
        return;
    }
    m_notifier->Withdraw(found->second);
    m_keyOf.erase(found);
}
