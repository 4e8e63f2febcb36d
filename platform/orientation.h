#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace colorsplit {

// How a camera says it was held (the Exif orientation tag): 1 as stored, 2 mirrored left to
// right, 3 turned half round, 4 mirrored top to bottom, 5 mirrored along the diagonal, 6 to
// be turned a quarter clockwise, 7 mirrored along the other diagonal, 8 to be turned a quarter
// anticlockwise.
int ExifOrientation(const QByteArray& exif);

// The size of a w x h picture once shown the way it was taken.
QSize OrientedSize(QSize stored, int orientation);

// The picture the way it was taken, as photo viewers show it.
QImage Oriented(const QImage& stored, int orientation);

}  // namespace colorsplit
