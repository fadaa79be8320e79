#pragma once
// The one per-user setting: whether the main window shows at start-up ("StartDisp").

#include <QSettings>

namespace StartDispSetting {

inline constexpr char kName[] = "StartDisp";
inline constexpr int kDefault = 1;

// A missing value, or one that is not a 32-bit integer, reads as the default.
int Read(const QSettings& settings);
void Write(QSettings& settings, int value);

// Whether the check box shows ticked: only 1 ... 2 (values outside 0 ... 2 show unticked).
inline bool ShowsTicked(int value) {
    return value == 1 || value == 2;
}

}  // namespace StartDispSetting
