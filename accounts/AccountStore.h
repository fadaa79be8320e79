#pragma once

#include <QString>
#include <optional>
#include <string>

#include "accounts/AccountFile.h"
#include "accounts/CAccountList.h"

// The account file of one run: read once, saved whole after every change and at exit. A file
// that exists but could not be read completely is never replaced without being kept: the first
// save that has something to write first renames it to KeptPath().
class CAccountStore {
public:
    explicit CAccountStore(QString path);

    const QString& Path() const { return m_path; }

    // Appends the file's accounts to `list`.
    AccountFileRead Load(CAccountList& list);

    // Writes the list over the file. After an incomplete read, a list still as it was read leaves
    // the file untouched (and counts as saved); anything else keeps the unread file first, and a
    // file that cannot be kept is not replaced. `reason` gets the system's words for a failure.
    bool Save(const CAccountList& list, QString* reason = nullptr);

    // Where a file that could not be read is kept: "ACCOUNT.CSV.unreadable-<date>-<time>" beside
    // it, with a number added should that name be taken.
    const QString& KeptPath() const { return m_keptPath; }

private:
    bool KeepUnreadFile(QString* reason);

    QString m_path;
    QString m_keptPath;
    // While the file on disk is one that was not read completely: what was read of it, as a save
    // would write it.
    std::optional<std::string> m_unreadFileText;
};
