#include "ui/TooltipText.h"

#include <QStringEncoder>

QString CutTooltip(const QString& text, int maxBytes) {
    QStringEncoder encoder(QStringConverter::System);
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        // One whole character: a surrogate pair counts as one.
        const qsizetype length = (text.at(end).isHighSurrogate() && end + 1 < text.size()) ? 2 : 1;
        const QByteArray encoded = encoder.encode(QStringView(text).mid(end, length));
        if (bytes + encoded.size() > maxBytes) {
            break;
        }
        bytes += static_cast<int>(encoded.size());
        end += length;
    }
    return text.left(end);
}
