#pragma once

#include <QByteArray>
#include <QImage>

namespace colorsplit {

// A whole JPEG file of a Format_RGB32 picture through libjpeg-turbo: baseline, quality 95, and
// colour kept at full resolution (4:4:4), so that a saved split keeps its edges' colours.
// Throws EncodeError (png_writer.h) only when memory runs out.
QByteArray EncodeJpeg(const QImage& picture);

}  // namespace colorsplit
