#include "accounts/AccountStore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "accounts/AccountCsv.h"
#include "accounts/OwnerOnlyAccess.h"

CAccountStore::CAccountStore(QString path) : m_path(std::move(path)) {}

AccountFileRead CAccountStore::Load(CAccountList& list) {
    CAccountList read;
    const AccountFileRead result = LoadAccounts(m_path, read);
    if (result.result == AccountFileRead::Result::Incomplete) {
        m_unreadFileText = FormatAccountFile(read);
        m_keptPath =
            m_path + QDateTime::currentDateTime().toString(QStringLiteral(".'unreadable'-yyyyMMdd-HHmmss"));
    }
    for (const CAccount& account : read) {
        list.AddTail(account);
    }
    return result;
}

bool CAccountStore::Save(const CAccountList& list, QString* reason) {
    if (m_unreadFileText) {
        if (FormatAccountFile(list) == *m_unreadFileText) {
            return true;  // nothing of the user's would be written that the file does not hold
        }
        if (!KeepUnreadFile(reason)) {
            return false;
        }
        m_unreadFileText.reset();
    }
    return SaveAccounts(m_path, list, reason);
}

bool CAccountStore::KeepUnreadFile(QString* reason) {
    const QFileInfo file(m_path);
    if (!file.exists() && !file.isSymLink()) {
        return true;  // gone meanwhile: nothing left to keep
    }
    QString kept = m_keptPath;
    for (int n = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++n) {
        kept = m_keptPath + QStringLiteral("-%1").arg(n);
    }
    QFile unread(m_path);
    if (!unread.rename(kept)) {
        if (reason != nullptr) {
            *reason = QStringLiteral("%1: %2").arg(kept, unread.errorString());
        }
        return false;
    }
    m_keptPath = kept;
    RestrictToOwner(kept);
    return true;
}
