#pragma once
// Account strings are bytes in the local 8-bit encoding; widgets, the tray and name look-ups take
// text. These two are the crossing between them.

#include <QByteArray>
#include <QString>
#include <string>

inline QString LocalText(const std::string& bytes) {
    return QString::fromLocal8Bit(QByteArray::fromStdString(bytes));
}
inline std::string LocalBytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
