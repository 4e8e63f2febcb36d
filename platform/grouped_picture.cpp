#include "platform/grouped_picture.h"

#include <cstring>

#include "platform/png_writer.h"

namespace colorsplit {

namespace {

const QRgb* Row(const GroupedPicture& g, int y) {
    return reinterpret_cast<const QRgb*>(g.picture.constScanLine(y));
}

const std::uint8_t* Groups(const GroupedPicture& g, int y) {
    return g.groups.data() + static_cast<size_t>(y) * static_cast<size_t>(g.picture.width());
}

}  // namespace

QImage QuantisedPicture(const GroupedPicture& g) {
    QImage quantised(g.picture.size(), QImage::Format_RGB32);
    for (int y = 0; y < quantised.height(); ++y) {
        const std::uint8_t* groups = Groups(g, y);
        auto* out = reinterpret_cast<QRgb*>(quantised.scanLine(y));
        for (int x = 0; x < quantised.width(); ++x)
            out[x] = g.colours[groups[x]] | 0xFF000000u;
    }
    return quantised;
}

QByteArray QuantisedPng(const GroupedPicture& g) {
    const int w = g.picture.width();
    return EncodePng(w, g.picture.height(), PngPixels::kRgb, [&](int y, std::uint8_t* out) {
        const std::uint8_t* groups = Groups(g, y);
        for (int x = 0; x < w; ++x, out += 3) {
            const QRgb c = g.colours[groups[x]];
            out[0] = static_cast<std::uint8_t>(qRed(c));
            out[1] = static_cast<std::uint8_t>(qGreen(c));
            out[2] = static_cast<std::uint8_t>(qBlue(c));
        }
    });
}

QByteArray LayerPng(const GroupedPicture& g, int n) {
    const int w = g.picture.width();
    return EncodePng(w, g.picture.height(), PngPixels::kRgba, [&](int y, std::uint8_t* out) {
        const std::uint8_t* groups = Groups(g, y);
        const QRgb* row = Row(g, y);
        for (int x = 0; x < w; ++x, out += 4) {
            if (groups[x] != n) {
                std::memset(out, 0, 4);
                continue;
            }
            out[0] = static_cast<std::uint8_t>(qRed(row[x]));
            out[1] = static_cast<std::uint8_t>(qGreen(row[x]));
            out[2] = static_cast<std::uint8_t>(qBlue(row[x]));
            out[3] = 0xFF;
        }
    });
}

QByteArray FilmPng(const GroupedPicture& g, int n) {
    const int w = g.picture.width();
    return EncodePng(w, g.picture.height(), PngPixels::kBlackAndWhite,
                     [&](int y, std::uint8_t* out) {
                         const std::uint8_t* groups = Groups(g, y);
                         std::memset(out, 0, (static_cast<size_t>(w) + 7) / 8);
                         for (int x = 0; x < w; ++x)
                             if (groups[x] != n)
                                 out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                     });
}

}  // namespace colorsplit
