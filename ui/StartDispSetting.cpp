#include "ui/StartDispSetting.h"

#include <limits>

namespace StartDispSetting {

int Read(const QSettings& settings) {
    const QVariant value = settings.value(kName);
    if (!value.isValid()) {
        return kDefault;
    }
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max()) {
        return kDefault;
    }
    return static_cast<int>(number);
}

void Write(QSettings& settings, int value) {
    settings.setValue(kName, value);
    settings.sync();  // a failing write is ignored: the tick box must never stop the window
}

}  // namespace StartDispSetting
