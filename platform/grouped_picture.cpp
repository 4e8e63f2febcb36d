#include "platform/grouped_picture.h"

#include <algorithm>
#include <cstring>

namespace colorsplit {

QImage QuantisedPicture(const GroupedPicture& g) {
    QImage quantised(g.picture.size(), QImage::Format_RGB32);
    const auto w = static_cast<size_t>(g.picture.width());
    for (int y = 0; y < quantised.height(); ++y) {
        const std::uint8_t* groups = g.groups.data() + static_cast<size_t>(y) * w;
        auto* out = reinterpret_cast<QRgb*>(quantised.scanLine(y));
        for (size_t x = 0; x < w; ++x)
            out[x] = g.colours[groups[x]] | 0xFF000000u;
    }
    return quantised;
}

void QuantisedRow(const std::uint8_t* groups, int width, const std::vector<QRgb>& colours,
                  std::uint8_t* out) {
    for (int x = 0; x < width; ++x, out += 3) {
        const QRgb c = colours[groups[x]];
        out[0] = static_cast<std::uint8_t>(qRed(c));
        out[1] = static_cast<std::uint8_t>(qGreen(c));
        out[2] = static_cast<std::uint8_t>(qBlue(c));
    }
}

void LayerRow(const QRgb* pixels, const std::uint8_t* groups, int width, int n, std::uint8_t* out) {
    for (int x = 0; x < width; ++x, out += 4) {
        if (groups[x] != n) {
            std::memset(out, 0, 4);
            continue;
        }
        out[0] = static_cast<std::uint8_t>(qRed(pixels[x]));
        out[1] = static_cast<std::uint8_t>(qGreen(pixels[x]));
        out[2] = static_cast<std::uint8_t>(qBlue(pixels[x]));
        out[3] = 0xFF;
    }
}

void FilmRow(const std::uint8_t* groups, int width, int n, std::uint8_t* out) {
    // Each byte whole, the last one's unused bits 0: nothing depends on what out held.
    for (int x0 = 0; x0 < width; x0 += 8) {
        std::uint8_t byte = 0;
        for (int x = x0; x < std::min(width, x0 + 8); ++x)
            if (groups[x] != n)
                byte |= static_cast<std::uint8_t>(0x80 >> (x - x0));
        out[x0 / 8] = byte;
    }
}

void FilmRowOfInk(const std::uint8_t* ink, int width, std::uint8_t* out) {
    for (int x0 = 0; x0 < width; x0 += 8) {
        std::uint8_t byte = 0;
        for (int x = x0; x < std::min(width, x0 + 8); ++x)
            if (ink[x] == 0)
                byte |= static_cast<std::uint8_t>(0x80 >> (x - x0));
        out[x0 / 8] = byte;
    }
}

}  // namespace colorsplit
