// The Exif data is read by libexif, the orientation applied here, pixel for pixel.
#include "platform/orientation.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <memory>

namespace colorsplit {

int ExifOrientation(const QByteArray& exif) {
    // libexif wants the block as JPEG carries it; PNG's eXIf chunk is the bare TIFF structure.
    static const char header[] = "Exif\0\0";
    QByteArray block = exif;
    if (!block.startsWith(QByteArray(header, 6)))
        block.prepend(header, 6);
    // libexif logs nothing unless given a log, and gives up quietly on damaged data: the
    // picture then opens as stored.
    const std::unique_ptr<ExifData, decltype(&exif_data_unref)> data(
        exif_data_new_from_data(reinterpret_cast<const unsigned char*>(block.constData()),
                                static_cast<unsigned int>(block.size())),
        &exif_data_unref);
    if (!data)
        return 1;
    const ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry == nullptr || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 ||
        entry->data == nullptr || entry->size < 2)
        return 1;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

QSize OrientedSize(QSize stored, int orientation) {
    return orientation >= 5 ? stored.transposed() : stored;
}

QImage Oriented(const QImage& stored, int orientation) {
    if (orientation < 2 || orientation > 8)
        return stored;
    const int w = stored.width(), h = stored.height();
    // Output pixel (x, y) is stored pixel (sx, sy) = (ax x + bx y + cx, ay x + by y + cy).
    struct Map {
        int ax, bx, cx, ay, by, cy;
    };
    const Map maps[] = {
        {1, 0, 0, 0, 1, 0},            // 1
        {-1, 0, w - 1, 0, 1, 0},       // 2
        {-1, 0, w - 1, 0, -1, h - 1},  // 3
        {1, 0, 0, 0, -1, h - 1},       // 4
        {0, 1, 0, 1, 0, 0},            // 5
        {0, 1, 0, -1, 0, h - 1},       // 6
        {0, -1, w - 1, -1, 0, h - 1},  // 7
        {0, -1, w - 1, 1, 0, 0},       // 8
    };
    const Map& m = maps[orientation - 1];
    QImage shown(OrientedSize(stored.size(), orientation), stored.format());
    if (shown.isNull())
        return shown;
    const auto* pixels = reinterpret_cast<const QRgb*>(stored.constBits());
    const qsizetype stride = stored.bytesPerLine() / 4;
    // In tiles, so that a quarter turn reads down the stored picture's columns a cache line at
    // a time rather than a row of the output at a time.
    constexpr int kTile = 64;
    for (int y0 = 0; y0 < shown.height(); y0 += kTile) {
        for (int x0 = 0; x0 < shown.width(); x0 += kTile) {
            const int y1 = std::min(shown.height(), y0 + kTile);
            const int x1 = std::min(shown.width(), x0 + kTile);
            for (int y = y0; y < y1; ++y) {
                auto* out = reinterpret_cast<QRgb*>(shown.scanLine(y));
                for (int x = x0; x < x1; ++x) {
                    const int sx = m.ax * x + m.bx * y + m.cx;
                    const int sy = m.ay * x + m.by * y + m.cy;
                    out[x] = pixels[sy * stride + sx];
                }
            }
        }
    }
    return shown;
}

}  // namespace colorsplit
