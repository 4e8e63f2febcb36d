#include "platform/picture_decoder.h"

#include <algorithm>

#include "platform/orientation.h"
#include "platform/picture_formats.h"

namespace colorsplit {

std::unique_ptr<PictureDecoder> DecoderFor(const QByteArray& file) {
    const PictureFormat* damaged = nullptr;
    for (const PictureFormat& format : PictureFormats()) {
        const Likeness like = format.like(file);
        if (like == Likeness::kYes)
            return format.reader(file);
        if (like == Likeness::kDamaged && damaged == nullptr)
            damaged = &format;
    }
    // A file of a format read whose first bytes are cut short or broken: damaged, not some
    // other format.
    if (damaged != nullptr)
        throw DecodeError{{Problem::kDamaged,
                           static_cast<int>(file.size() < 16 ? Damage::kCutShort : Damage::kHeader),
                           0, damaged->name}};
    // A picture of a format not read, named where its signature tells.
    if (const QString other = OtherFormat(file); !other.isEmpty())
        throw DecodeError{{Problem::kUnsupportedFormat, 0, 0, other}};
    throw DecodeError{{Problem::kNotAPicture}};
}

namespace {

void CheckPixels(qint64 width, qint64 height, qint64 maxPixels) {
    if (width > maxPixels || height > maxPixels || width * height > maxPixels)
        throw DecodeError{{Problem::kPictureTooLarge, width, height}};
}

}  // namespace

int BandRows(int width) {
    return std::max(1, (1 << 20) / std::max(1, width));
}

bool HandOutBands(const QImage& picture, int rows, const BandSink& sink) {
    for (int top = 0; top < picture.height(); top += rows) {
        const int n = std::min(rows, picture.height() - top);
        // The picture's own rows, not a copy of them.
        const QImage band(picture.constScanLine(top), picture.width(), n, picture.bytesPerLine(),
                          QImage::Format_RGB32);
        if (!sink(band, top))
            return false;
    }
    return true;
}

void PictureDecoder::DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const {
    HandOutBands(Decode(maxPixels), rows, sink);
}

QImage NewPicture(qint64 width, qint64 height, qint64 maxPixels) {
    CheckPixels(width, height, maxPixels);
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull())
        throw DecodeError{{Problem::kNoMemoryForPicture}};
    return image;
}

OrientedDecoder::OrientedDecoder(const QByteArray& file, qint64 width, qint64 height,
                                 int orientation)
    : file_(file), width_(width), height_(height), orientation_(orientation) {}

QSize OrientedDecoder::Size() const {
    return OrientedSize(QSize(static_cast<int>(std::min<qint64>(width_, INT_MAX)),
                              static_cast<int>(std::min<qint64>(height_, INT_MAX))),
                        orientation_);
}

QImage OrientedDecoder::Decode(qint64 maxPixels) const {
    QImage image = NewPicture(width_, height_, maxPixels);
    DecodeInto(image);
    return Oriented(image, orientation_);
}

void OrientedDecoder::CheckSize(qint64 maxPixels) const {
    CheckPixels(width_, height_, maxPixels);
}

void OrientedDecoder::DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const {
    QImage image = NewPicture(width_, height_, maxPixels);
    DecodeInto(image);
    HandOutBands(image, rows, sink);
}

}  // namespace colorsplit
