#include "accounts/AccountText.h"

#include <QByteArray>
#include <QStringDecoder>

namespace {

QByteArrayView View(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

#ifndef Q_OS_WIN
QString FromCodePage932(std::string_view bytes) {
    // The Windows flavour of Shift_JIS (with the NEC and IBM extensions), as those files were
    // written; plain Shift_JIS where the converter library knows only that name.
    QStringDecoder cp932("windows-31j");
    if (!cp932.isValid()) {
        cp932 = QStringDecoder("Shift_JIS");
    }
    if (!cp932.isValid()) {
        return QString::fromLocal8Bit(View(bytes));
    }
    return cp932.decode(View(bytes));
}
#endif

}  // namespace

QString DisplayText(std::string_view bytes) {
#ifdef Q_OS_WIN
    return QString::fromLocal8Bit(View(bytes));
#else
    // Stateless, so that a sequence cut off at the end counts as invalid too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(View(bytes));
    if (!utf8.hasError()) {
        return text;
    }
    return FromCodePage932(bytes);
#endif
}

std::string TypedBytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
