#include "accounts/InstalledCopy.h"

#include <QDir>
#include <QFileInfo>

QString InstalledDataFolder(const QString& executableDir) {
    const QFileInfo data(QDir(executableDir).filePath(QStringLiteral("../share/quillpost")));
    return data.isDir() ? data.absoluteFilePath() : QString();
}
