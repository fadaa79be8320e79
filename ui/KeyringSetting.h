#pragma once
// The setting "Keyring", beside "StartDisp" and "Notify": whether the passwords belong in the
// desktop's keyring rather than in ACCOUNT.CSV. Off unless the user switched it on.

#include <QSettings>

namespace KeyringSetting {

inline constexpr char kName[] = "Keyring";

// Non-zero is on.
bool Read(const QSettings& settings);
// Stored as 1 or 0.
void Write(QSettings& settings, bool on);

}  // namespace KeyringSetting
