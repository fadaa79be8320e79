#include "check/AccountIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#ifdef Q_OS_WIN
// Qt for Windows may come without Qt Svg: there the pictures are compiled in ready drawn, one PNG
// per size (":/icons/<id>/<size>.png").
QIcon BuiltinIcon(int resourceId) {
    const QDir sizes(QStringLiteral(":/icons/%1").arg(resourceId));
    QIcon icon;
    for (const QString& name : sizes.entryList(QDir::Files)) {
        icon.addFile(sizes.filePath(name));
    }
    return icon;
}
#else
QIcon BuiltinIcon(int resourceId) {
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(resourceId));
}
#endif

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
