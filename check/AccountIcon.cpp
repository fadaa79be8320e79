#include "check/AccountIcon.h"

#include <QFileInfo>
#include <QImageReader>

QIcon BuiltinIcon(int resourceId) {
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(resourceId));
}

QIcon IconFromFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return {};
    }
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull()) {
        return {};
    }
    return QIcon(QPixmap::fromImage(image));
}

TrayIcon AccountTrayIcon(const QString& iconFile, const QIcon& fromFile) {
    return fromFile.isNull() ? TrayIcon::Builtin(IconId::kNoMail) : TrayIcon::FromFile(iconFile);
}

TrayIcon AccountTrayIcon(const QString& iconFile) {
    return AccountTrayIcon(iconFile, IconFromFile(iconFile));
}
