#include "ui/qt/icon_file.h"

#include <cstdint>

namespace korvane {

namespace {

constexpr int kDirectorySize = 6;
constexpr int kEntrySize = 16;
constexpr int kBitmapHeaderSize = 40;

void putLe16(QByteArray& out, int value) {
    const auto v = static_cast<quint16>(value);
    out.append(static_cast<char>(v & 0xff));
    out.append(static_cast<char>(v >> 8));
}

void putLe32(QByteArray& out, quint32 value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.append(static_cast<char>((value >> shift) & 0xff));
    }
}

// One image as the icon format keeps it: a bitmap header of twice the height, the colour rows
// bottom up (blue, green, red, alpha), then the mask rows (all clear: the alpha decides).
QByteArray iconImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    const int maskRowBytes = ((width + 31) / 32) * 4;
    QByteArray out;
    putLe32(out, kBitmapHeaderSize);
    putLe32(out, static_cast<quint32>(width));
    putLe32(out, static_cast<quint32>(height * 2));
    putLe16(out, 1);   // planes
    putLe16(out, 32);  // bits per pixel
    putLe32(out, 0);   // no compression
    putLe32(out, static_cast<quint32>(width * height * 4 + maskRowBytes * height));
    for (int i = 0; i < 4; ++i) {
        putLe32(out, 0);  // resolution and palette: unused
    }
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = image.pixel(x, y);
            out.append(static_cast<char>(qBlue(pixel)));
            out.append(static_cast<char>(qGreen(pixel)));
            out.append(static_cast<char>(qRed(pixel)));
            out.append(static_cast<char>(qAlpha(pixel)));
        }
    }
    out.append(QByteArray(maskRowBytes * height, '\0'));
    return out;
}

}  // namespace

QByteArray iconFile(const std::vector<QImage>& images) {
    std::vector<QByteArray> bodies;
    for (const QImage& image : images) {
        bodies.push_back(iconImage(image));
    }
    QByteArray out;
    putLe16(out, 0);  // reserved
    putLe16(out, 1);  // an icon, not a cursor
    putLe16(out, static_cast<int>(images.size()));
    quint32 offset = kDirectorySize + kEntrySize * static_cast<quint32>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        out.append(static_cast<char>(size >= 256 ? 0 : size));
        out.append(static_cast<char>(images[i].height() >= 256 ? 0 : images[i].height()));
        out.append('\0');  // no palette
        out.append('\0');  // reserved
        putLe16(out, 1);   // planes
        putLe16(out, 32);  // bits per pixel
        putLe32(out, static_cast<quint32>(bodies[i].size()));
        putLe32(out, offset);
        offset += static_cast<quint32>(bodies[i].size());
    }
    for (const QByteArray& body : bodies) {
        out.append(body);
    }
    return out;
}

}  // namespace korvane
