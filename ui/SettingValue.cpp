#include "ui/SettingValue.h"

#include <limits>

int ReadInt32Setting(const QSettings& settings, const char* name, int fallback) {
    const QVariant value = settings.value(name);
    if (!value.isValid()) {
        return fallback;
    }
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max()) {
        return fallback;
    }
    return static_cast<int>(number);
}
