#pragma once

#include <QByteArray>
#include <QImage>

namespace colorsplit {

// A whole TIFF file of a Format_RGB32 picture: 24-bit RGB, Deflate-compressed with the
// horizontal predictor, lossless. Throws EncodeError (png_writer.h) only when memory runs out.
QByteArray EncodeTiff(const QImage& picture);

}  // namespace colorsplit
