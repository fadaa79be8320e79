#pragma once
// Gives a test its own settings store in a folder of its own. The default format becomes an INI
// file there on every platform: on Windows the native store is the registry, which every test
// process running at the same time would otherwise share.

#include <QCoreApplication>
#include <QSettings>
#include <QString>

#include "res/Strings.h"

inline void UsePrivateSettings(const QString& folder, const QString& applicationName) {
    QCoreApplication::setOrganizationName(Str::kVendor);
    QCoreApplication::setApplicationName(applicationName);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}
