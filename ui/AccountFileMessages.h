#pragma once
// What the user is told when the account file could not be read or saved: the file, the system's
// reason and what became of the accounts, over the main window.

#include <QString>

class QWidget;

namespace AccountFileMessages {

// A file that exists but could not be read completely, and the name it will be kept under.
void ShowReadFailure(QWidget* owner, const QString& path, const QString& reason, const QString& keptPath);

// A failed save after an add, edit or delete: the accounts stay as they are in the program.
void ShowSaveFailure(QWidget* owner, const QString& path, const QString& reason);

// A failed save at exit. Returns true when the user asks to try again, false to end without it.
bool AskRetryExitSave(QWidget* owner, const QString& path, const QString& reason);

// A failed save at exit with nobody there to answer (the session is ending): the error output.
void LogExitSaveFailure(const QString& path, const QString& reason);

}  // namespace AccountFileMessages
