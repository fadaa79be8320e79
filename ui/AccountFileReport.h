#pragma once
// The account file's reads and saves as the user sees them: a failure is told over the main
// window, naming the file, the system's reason and what became of the accounts.

#include <QString>

class CAccountList;
class CAccountStore;
class QWidget;

namespace AccountFileReport {

// A file that exists but could not be read completely, and the name it will be kept under.
void ReadFailed(QWidget* owner, const CAccountStore& store, const QString& reason);

// For the status line at start: the files left beside a missing account file, or nothing.
QString LeftBeside(const CAccountStore& store);

// The save after an add, edit or delete. On failure the accounts stay as they are in the program,
// and the next change or the exit tries again.
void SaveAfterChange(QWidget* owner, CAccountStore& store, const CAccountList& list);

// The exit save: on failure the user may try again or end without it. With nobody there to
// answer (the session is ending), the failure goes to the error output instead.
void SaveAtExit(QWidget* owner, CAccountStore& store, const CAccountList& list, bool userIsThere);

}  // namespace AccountFileReport
