#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace colorsplit {

// The pixel layouts written: 8-bit RGB, 8-bit RGBA, and 1-bit grey (black 0, white 1; the
// leftmost pixel in the highest bit of each byte).
enum class PngPixels { kRgb, kRgba, kBlackAndWhite };

// Fills row y of the picture, in the layout given, into row (as many bytes as it holds).
using PngRows = std::function<void(int y, std::uint8_t* row)>;

// Why a picture could not be made into a file: libpng's own words, empty when memory ran out.
struct EncodeError {
    QString detail;
};

// A whole PNG file, made a row at a time so that no second copy of the picture is held.
// Throws EncodeError only when memory runs out.
QByteArray EncodePng(int width, int height, PngPixels pixels, const PngRows& rows);

}  // namespace colorsplit
