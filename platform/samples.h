#pragma once

#include <QRgb>
#include <cstdint>

// The sample rules every reader and writer shares.

namespace colorsplit {

// A sample of 0 to top (2^n - 1 for n bits) to the nearest of 256 levels: round(v 255 / top),
// a half up.
constexpr std::uint32_t Level(std::uint64_t v, std::uint64_t top) {
    return static_cast<std::uint32_t>((v * 510 + top) / (2 * top));
}

// What a colour's share v leaves under a key share k, both as levels: round(v k / 255). CMYK
// stored with Adobe's inverted inks is v = C, k = K; uninverted, v = 255 - C, k = 255 - K.
constexpr std::uint32_t Ink(std::uint32_t v, std::uint32_t k) {
    return (v * k + 127) / 255;
}

// A row of Format_RGB32 words as 8-bit R, G, B.
inline void RgbRow(const QRgb* in, int width, std::uint8_t* out) {
    for (int x = 0; x < width; ++x, out += 3) {
        out[0] = static_cast<std::uint8_t>(qRed(in[x]));
        out[1] = static_cast<std::uint8_t>(qGreen(in[x]));
        out[2] = static_cast<std::uint8_t>(qBlue(in[x]));
    }
}

}  // namespace colorsplit
