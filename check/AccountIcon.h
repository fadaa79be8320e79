#pragma once

#include <QIcon>
#include <QString>

#include "check/TrayNotifier.h"

// One of the program's own pictures (128 ... 131), compiled in as resources.
QIcon BuiltinIcon(int resourceId);

// The first icon a file yields, or a null icon when it yields none (missing, unreadable, not a
// picture Qt can read).
QIcon IconFromFile(const QString& path);

// The picture an account shows: its icon file's, else the "no mail" picture. `fromFile` is what
// IconFromFile() gave for the file.
TrayIcon AccountTrayIcon(const QString& iconFile, const QIcon& fromFile);
// The same, reading the file.
TrayIcon AccountTrayIcon(const QString& iconFile);
