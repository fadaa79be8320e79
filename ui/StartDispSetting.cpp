#include "ui/StartDispSetting.h"

#include "ui/SettingValue.h"

namespace StartDispSetting {

int Read(const QSettings& settings) {
    return ReadInt32Setting(settings, kName, kDefault);
}

void Write(QSettings& settings, int value) {
    settings.setValue(kName, value);
    settings.sync();  // a failing write is ignored: the tick box must never stop the window
}

}  // namespace StartDispSetting
