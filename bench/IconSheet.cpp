// Draws the program's four pictures at tray and window sizes, on a light and on a dark
// background, with a magnified copy of the 16-pixel rendering, into one PNG: a contact sheet for
// judging how the pictures read. Usage: quillpost_icon_sheet OUT.png
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>

#include "check/AccountIcon.h"
#include "check/TrayNotifier.h"

namespace {

constexpr int kIds[] = {IconId::kApp, IconId::kNoMail, IconId::kMail, IconId::kError};
constexpr int kSizes[] = {16, 32, 48};
constexpr int kCell = 64;
constexpr int kZoom = 4;  // the 16-pixel picture, each pixel drawn as 4 x 4
const QColor kBackgrounds[] = {QColor(Qt::white), QColor(0x2b, 0x2b, 0x30)};

// One row: for each background the three sizes, then the magnified 16-pixel picture.
void DrawRow(QPainter& painter, int id, int top) {
    int left = 48;
    for (const QColor& background : kBackgrounds) {
        painter.fillRect(left, top, kCell * 3 + 16 * kZoom + 16, kCell, background);
        for (int size : kSizes) {
            const QPixmap pixmap = BuiltinIcon(id).pixmap(size, size);
            painter.drawPixmap(left + (kCell - size) / 2, top + (kCell - size) / 2, pixmap);
            left += kCell;
        }
        const QImage small = BuiltinIcon(id).pixmap(16, 16).toImage();
        painter.drawImage(QRect(left + 4, top, 16 * kZoom, 16 * kZoom), small);
        left += 16 * kZoom + 16 + 8;
    }
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, top, 44, kCell), Qt::AlignCenter, QString::number(id));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("icons.png");

    const int width = 48 + 2 * (kCell * 3 + 16 * kZoom + 24);
    const int height = static_cast<int>(std::size(kIds)) * (kCell + 8);
    QImage sheet(width, height, QImage::Format_ARGB32);
    sheet.fill(QColor(0xd8, 0xd8, 0xd8));
    QPainter painter(&sheet);
    int top = 4;
    for (int id : kIds) {
        DrawRow(painter, id, top);
        top += kCell + 8;
    }
    painter.end();
    return sheet.save(out) ? 0 : 1;
}
