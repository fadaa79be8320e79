#pragma once
// The setting "Notify", beside "StartDisp": whether a rising mail count shows a desktop
// notification. Where there is no tray the notification is the only signal of new mail, so it is
// on unless the user switched it off; where there is one, it is off unless switched on.

#include <QSettings>

namespace NotifySetting {

inline constexpr char kName[] = "Notify";

// Non-zero is on.
bool Read(const QSettings& settings, bool trayAvailable);
// Stored as 1 or 0.
void Write(QSettings& settings, bool on);

}  // namespace NotifySetting
