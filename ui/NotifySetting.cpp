#include "ui/NotifySetting.h"

#include "ui/SettingValue.h"

namespace NotifySetting {

bool Read(const QSettings& settings, bool trayAvailable) {
    return ReadInt32Setting(settings, kName, trayAvailable ? 0 : 1) != 0;
}

void Write(QSettings& settings, bool on) {
    settings.setValue(kName, on ? 1 : 0);
    settings.sync();  // a failing write is ignored, like "StartDisp"'s
}

}  // namespace NotifySetting
