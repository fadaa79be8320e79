#include "ui/TooltipText.h"

#include <QStringEncoder>
#include <QTextBoundaryFinder>

QString CutTooltip(const QString& text, int maxBytes) {
    QStringEncoder encoder(QStringConverter::System);
    // Whole characters as the user sees them: a surrogate pair or a letter with its combining
    // marks is kept or left out as one.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype bytes = 0;
    qsizetype end = 0;
    for (qsizetype next = characters.toNextBoundary(); next > end; next = characters.toNextBoundary()) {
        const QByteArray encoded = encoder.encode(QStringView(text).mid(end, next - end));
        bytes += encoded.size();
        if (bytes > maxBytes) {
            break;
        }
        end = next;
    }
    return text.left(end);
}
