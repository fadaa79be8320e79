#pragma once

#include <QString>

// An installed copy is bin/quillpost beside share/quillpost/, where it keeps its read-only data.
// That folder for the executable in `executableDir`, or an empty string when there is none (a
// build folder, or a copy unpacked anywhere).
QString InstalledDataFolder(const QString& executableDir);
