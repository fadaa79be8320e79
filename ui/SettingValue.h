#pragma once

#include <QSettings>

// A 32-bit integer setting; a missing value, or one that is not a 32-bit integer, reads as
// `fallback`. Any stored type that holds such a number is accepted.
int ReadInt32Setting(const QSettings& settings, const char* name, int fallback);
