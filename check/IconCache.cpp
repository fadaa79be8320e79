#include "check/IconCache.h"

#include "check/AccountIcon.h"

QIcon CIconCache::Builtin(int resourceId) {
    auto found = m_builtins.constFind(resourceId);
    if (found == m_builtins.constEnd()) {
        found = m_builtins.insert(resourceId, BuiltinIcon(resourceId));
    }
    return *found;
}

QIcon CIconCache::AccountIcon(const QString& iconFile) {
    auto found = m_files.constFind(iconFile);
    if (found == m_files.constEnd()) {
        found = m_files.insert(iconFile, IconFromFile(iconFile));
    }
    return AccountPicture(iconFile, *found);
}

QIcon CIconCache::Picture(const TrayIcon& icon) {
    if (icon.resourceId != 0) {
        return Builtin(icon.resourceId);
    }
    return AccountPicture(icon.file, IconFromFile(icon.file));
}

QIcon CIconCache::AccountPicture(const QString& iconFile, const QIcon& fromFile) {
    const TrayIcon chosen = AccountTrayIcon(iconFile, fromFile);
    return chosen.resourceId != 0 ? Builtin(chosen.resourceId) : fromFile;
}
