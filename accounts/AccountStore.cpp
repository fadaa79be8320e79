#include "accounts/AccountStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "accounts/AccountCsv.h"
#include "accounts/OwnerOnlyAccess.h"

namespace {

bool Failed(QString* reason, const QString& file, const QString& why) {
    if (reason != nullptr) {
        *reason = QStringLiteral("%1: %2").arg(file, why);
    }
    return false;
}

}  // namespace

CAccountStore::CAccountStore(QString path) : m_path(std::move(path)) {}

AccountFileRead CAccountStore::Load(CAccountList& list) {
    CAccountList read;
    const AccountFileRead result = LoadAccounts(m_path, read);
    if (result.result == AccountFileRead::Result::Incomplete) {
        m_unreadFileText = FormatAccountFile(read);
        m_keptPath =
            m_path + QDateTime::currentDateTime().toString(QStringLiteral(".'unreadable'-yyyyMMdd-HHmmss"));
    }
    if (result.result == AccountFileRead::Result::Missing) {
        const QFileInfo file(m_path);
        m_leftBeside = file.dir().entryList(
            {file.fileName() + QStringLiteral(".unreadable-*"), file.fileName() + QStringLiteral(".new")},
            QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
    }
    for (const CAccount& account : read) {
        list.AddTail(account);
    }
    return result;
}

bool CAccountStore::Save(const CAccountList& list, QString* reason) {
    if (!m_unreadFileText) {
        return SaveAccounts(m_path, list, reason);
    }
    if (FormatAccountFile(list) == *m_unreadFileText) {
        return true;  // nothing of the user's would be written that the file does not hold
    }
    // The new list is written whole under another name first: should that fail, the unread file
    // has not moved.
    const QString staged = m_path + QStringLiteral(".new");
    if (!SaveAccounts(staged, list, reason)) {
        return false;
    }
    if (!KeepUnreadFile(reason)) {
        QFile::remove(staged);
        return false;
    }
    QFile fresh(staged);
    if (!fresh.rename(m_path)) {
        Failed(reason, m_path, fresh.errorString());
        QFile::rename(m_keptPath, m_path);
        QFile::remove(staged);
        return false;
    }
    m_unreadFileText.reset();
    return true;
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
        return Failed(reason, kept, unread.errorString());
    }
    m_keptPath = kept;
    RestrictToOwner(kept);
    return true;
}
