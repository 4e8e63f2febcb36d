#pragma once

#include <QImage>
#include <QSize>

namespace colorsplit {

// The size of a reduced copy of a picture larger than limit: the aspect ratio kept, scale
// s = min(limit width / W, limit height / H), size (round(W s), round(H s)), each at least 1.
QSize ReducedSize(QSize size, QSize limit);

// A reduced copy of a Format_RGB32 picture: each of its pixels is the mean of the picture's
// pixels it covers, each weighted by the area it covers, rounded to the nearest level (a box
// filter over exact areas; no blur, no sharpening). size is at most the picture's own.
QImage Reduce(const QImage& picture, QSize size);

}  // namespace colorsplit
