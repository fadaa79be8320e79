#pragma once

#include <QSystemTrayIcon>

#include "ui/TrayService.h"

// The live tray icon with this id (each is a child of the service, named by its id), or null.
inline QSystemTrayIcon* IconFor(const CTrayService& tray, int id) {
    return tray.findChild<QSystemTrayIcon*>(QString::number(id), Qt::FindDirectChildrenOnly);
}
