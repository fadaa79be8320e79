#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

#include "check/TrayNotifier.h"

// Pictures made once and reused. Every new QIcon of an SVG renders and caches its pixmaps anew,
// so a tray or a list that asked for fresh icons at every check would grow for as long as the
// program runs.
class CIconCache {
public:
    QIcon Builtin(int resourceId);
    // The file's first icon, else the "no mail" picture. A file is read once until ForgetFiles().
    QIcon AccountIcon(const QString& iconFile);
    // A tray picture: a built-in one, or a file's (read afresh: the tray adds an account's icon
    // only when it appears), falling back to the "no mail" picture.
    QIcon Picture(const TrayIcon& icon);
    // Icon files may have changed on disk.
    void ForgetFiles() { m_files.clear(); }

private:
    // What the file yielded, or the picture that stands in for it (AccountTrayIcon decides).
    QIcon AccountPicture(const QString& iconFile, const QIcon& fromFile);

    QHash<int, QIcon> m_builtins;
    QHash<QString, QIcon> m_files;
};
