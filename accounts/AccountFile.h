#pragma once
// Where ACCOUNT.CSV lives, and reading and writing it whole.

#include <QString>

#include "accounts/CAccountList.h"

// ACCOUNT.CSV beside the executable. When that folder holds no ACCOUNT.CSV and no file can be
// created there, or it belongs to an installed copy (InstalledDataFolder), the file lives in the
// per-user application data folder instead, so that the accounts are not lost at exit. On Windows
// a folder under "Program Files" always sends it to the per-user folder.
QString AccountFilePath(const QString& executableDir, const QString& perUserDir);

// The path for the running program (its own folder, or the per-user data folder).
QString AccountFilePathForThisProgram();

// What reading the file came to. "Incomplete" is a file that exists but could not be opened or
// read to its end (no permission, an I/O error, a lock held by another program).
struct AccountFileRead {
    enum class Result { Read, Missing, Incomplete };
    Result result = Result::Read;
    QString reason;  // the system's words, for an incomplete read
};

// Appends the file's accounts to `list`. A missing file adds nothing; a read error part-way keeps
// the accounts of the complete lines read before it.
AccountFileRead LoadAccounts(const QString& path, CAccountList& list);

// Replaces the file with the list, atomically: on any failure the old file stays as it was.
// Where the folder takes no new file but the file itself is writable, the file is rewritten in
// place instead (and put back as it was should that write fail). A newly created file is readable
// and writable by its owner only; an existing file keeps its permissions, except on Windows,
// where every save gives it an access list for its owner alone (RestrictToOwner). Returns whether the new
// file is in place; `reason` then gets the system's words for a failure.
bool SaveAccounts(const QString& path, const CAccountList& list, QString* reason = nullptr);
