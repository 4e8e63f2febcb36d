#include "platform/picture_decoder.h"

#include <QBuffer>
#include <QImageReader>

#include "platform/orientation.h"
#include "platform/picture_formats.h"

namespace colorsplit {

std::unique_ptr<PictureDecoder> DecoderFor(const QByteArray& file) {
    for (const PictureFormat& format : PictureFormats())
        if (file.startsWith(format.signature))
            return format.reader(file);
    // Other formats cannot be checked complete before they are shown; name them if Qt knows
    // them, from their first bytes only.
    QByteArray head = file.left(4096);
    QBuffer buffer(&head);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!format.isEmpty())
        throw DecodeError{
            {Problem::kUnsupportedFormat, 0, 0, QString::fromLatin1(format.toUpper())}};
    throw DecodeError{{Problem::kNotAPicture}};
}

QImage NewPicture(qint64 width, qint64 height, qint64 maxPixels) {
    if (width > maxPixels || height > maxPixels || width * height > maxPixels)
        throw DecodeError{{Problem::kPictureTooLarge, width, height}};
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

}  // namespace colorsplit
