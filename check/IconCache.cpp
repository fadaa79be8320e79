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
    return OrNoMail(*found);
}

QIcon CIconCache::Picture(const TrayIcon& icon) {
    if (icon.resourceId != 0) {
        return Builtin(icon.resourceId);
    }
    return OrNoMail(IconFromFile(icon.file));
}

QIcon CIconCache::OrNoMail(const QIcon& fromFile) {
    return fromFile.isNull() ? Builtin(IconId::kNoMail) : fromFile;
}
