#include "ui/KeyringSetting.h"

#include "ui/SettingValue.h"

namespace KeyringSetting {

bool Read(const QSettings& settings) {
    return ReadInt32Setting(settings, kName, 0) != 0;
}

void Write(QSettings& settings, bool on) {
    settings.setValue(kName, on ? 1 : 0);
    settings.sync();
}

}  // namespace KeyringSetting
