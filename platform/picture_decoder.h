#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

namespace colorsplit {

// Why a picture file cannot be shown, in words for the user (without the file's name).
struct DecodeError {
    QString cause;
};

// One picture file held in memory. Constructing a decoder checks the headers, so the size is
// known before anything large is allocated; Decode then either gives every pixel of the
// picture, each one written from the file's own data, or throws DecodeError. No decoder
// prints anything: what a decoding library reports becomes the error's cause.
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;

    virtual QSize Size() const = 0;
    // The whole picture as Format_RGB32. Pictures of more than maxPixels are refused before
    // anything is allocated for them.
    virtual QImage Decode(qint64 maxPixels) const = 0;
};

// The decoder for the file's content (BMP, PNG or JPEG, whatever the name says); throws
// DecodeError for anything else, naming the format where it is known.
std::unique_ptr<PictureDecoder> DecoderFor(const QByteArray& file);

// The decoders, one a format.
std::unique_ptr<PictureDecoder> MakeBmpDecoder(const QByteArray& file);
std::unique_ptr<PictureDecoder> MakePngDecoder(const QByteArray& file);
std::unique_ptr<PictureDecoder> MakeJpegDecoder(const QByteArray& file);

// A Format_RGB32 image for the decoders to fill, or the refusal of one larger than maxPixels
// or than memory allows.
QImage NewPicture(qint64 width, qint64 height, qint64 maxPixels);

}  // namespace colorsplit
