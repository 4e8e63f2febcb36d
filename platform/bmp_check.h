#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace colorsplit {

// Qt's BMP reader shows some broken files without an error: pixel data cut short, RLE data
// that runs past the picture or stops early, palette indices beyond the palette. This walks a
// whole BMP file's structure first and says what is wrong, in words for the user; nullopt for
// a file that decodes completely. Files that are not BMP are left to their reader.
std::optional<QString> BmpDefect(const QByteArray& file);

}  // namespace colorsplit
