// Draws one SVG picture at the sizes given into one .ico file and one PNG per size. Usage:
//   quillpost_icon_render PICTURE.svg OUT.ico PNG_FOLDER SIZE...
// The small sizes go into the .ico as 32-bit bitmaps, 256 as PNG, which is what every Windows
// since Vista reads.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLargestBitmap = 48;

QImage Render(QSvgRenderer& svg, int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(0, 0, size, size));
    return image;
}

template <typename T>
void Put(QByteArray& out, T value) {
    const T little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

QByteArray Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// An icon bitmap: a BITMAPINFOHEADER of twice the height, the colour rows bottom up, then the
// (unused, all clear) 1-bit mask with rows padded to 32 bits.
QByteArray Bitmap(const QImage& image) {
    const int size = image.width();
    QByteArray out;
    Put<quint32>(out, 40);
    Put<qint32>(out, size);
    Put<qint32>(out, size * 2);
    Put<quint16>(out, 1);
    Put<quint16>(out, 32);
    Put<quint32>(out, 0);
    Put<quint32>(out, 0);
    Put<qint32>(out, 0);
    Put<qint32>(out, 0);
    Put<quint32>(out, 0);
    Put<quint32>(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < size; ++x) {
            Put<quint32>(out, row[x]);  // ARGB32 as a little-endian word is B, G, R, A
        }
    }
    const int maskRow = ((size + 31) / 32) * 4;
    out.append(QByteArray(maskRow * size, '\0'));
    return out;
}

QByteArray Ico(const std::vector<QImage>& images) {
    std::vector<QByteArray> entries;
    for (const QImage& image : images) {
        entries.push_back(image.width() > kLargestBitmap ? Png(image) : Bitmap(image));
    }
    QByteArray out;
    Put<quint16>(out, 0);
    Put<quint16>(out, 1);
    Put<quint16>(out, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        const auto side = static_cast<quint8>(size >= 256 ? 0 : size);  // 0 stands for 256
        Put<quint8>(out, side);
        Put<quint8>(out, side);
        Put<quint8>(out, 0);
        Put<quint8>(out, 0);
        Put<quint16>(out, 1);
        Put<quint16>(out, 32);
        Put<quint32>(out, static_cast<quint32>(entries[i].size()));
        Put<quint32>(out, offset);
        offset += static_cast<quint32>(entries[i].size());
    }
    for (const QByteArray& entry : entries) {
        out.append(entry);
    }
    return out;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
    // A build step has no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<int> sizes;
    for (int i = 4; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size < 1 || size > 256) {
            std::fprintf(stderr, "%s: an icon is 1 to 256 pixels wide\n", argv[i]);
            return 2;
        }
        sizes.push_back(size);
    }
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PICTURE.svg OUT.ico PNG_FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "%s: not a picture that can be drawn\n", argv[1]);
        return 1;
    }
    const QString pngFolder = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(pngFolder);
    std::vector<QImage> images;
    for (int size : sizes) {
        images.push_back(Render(svg, size));
        if (!WriteFile(QDir(pngFolder).filePath(QString::number(size) + ".png"), Png(images.back()))) {
            std::fprintf(stderr, "cannot write into %s\n", argv[3]);
            return 1;
        }
    }
    if (!WriteFile(QString::fromLocal8Bit(argv[2]), Ico(images))) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
