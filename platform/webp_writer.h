#pragma once

#include <QByteArray>
#include <QImage>

namespace colorsplit {

// A whole lossless WebP file of a Format_RGB32 picture through libwebp: every colour as it is.
// Throws EncodeError (png_writer.h) only when memory runs out.
QByteArray EncodeWebP(const QImage& picture);

}  // namespace colorsplit
