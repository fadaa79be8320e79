#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "accounts/AccountFile.h"
#include "accounts/CAccountList.h"

// The account file of one run: read once, saved whole after every change and at exit. A file
// that exists but could not be read completely is never replaced without being kept: the first
// save that has something to write writes the new list beside it, then renames it to KeptPath()
// and puts the new list in its place.
class CAccountStore {
public:
    explicit CAccountStore(QString path);

    const QString& Path() const { return m_path; }

    // Appends the file's accounts to `list`.
    AccountFileRead Load(CAccountList& list);

    // Writes the list over the file. After an incomplete read, a list still as it was read leaves
    // the file untouched (and counts as saved); anything else keeps the unread file, and on any
    // failure it stays where it was. `reason` gets the system's words for a failure.
    bool Save(const CAccountList& list, QString* reason = nullptr);

    // Where a file that could not be read is kept: "ACCOUNT.CSV.unreadable-<date>-<time>" beside
    // it, with a number added should that name be taken.
    const QString& KeptPath() const { return m_keptPath; }

    // When Load found no file: the names of files an earlier run left beside it (unread files it
    // kept, a new list it had not yet put in place), so that the user can look for the accounts.
    const QStringList& LeftBeside() const { return m_leftBeside; }

private:
    bool KeepUnreadFile(QString* reason);

    QString m_path;
    QString m_keptPath;
    QStringList m_leftBeside;
    // While the file on disk is one that was not read completely: what was read of it, as a save
    // would write it.
    std::optional<std::string> m_unreadFileText;
};
