#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

#include "platform/picture_error.h"

namespace colorsplit {

// Why a picture file cannot be shown (without the file's name, which the caller adds).
struct DecodeError {
    Problem problem;
};

// One picture file held in memory. Constructing a decoder checks the headers, so the size is
// known before anything large is allocated; Decode then either gives every pixel of the
// picture, each one written from the file's own data, or throws DecodeError. No decoder
// prints anything: what a decoding library reports becomes the error's detail.
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;

    virtual QSize Size() const = 0;
    // The whole picture as Format_RGB32. Pictures of more than maxPixels are refused before
    // anything is allocated for them.
    virtual QImage Decode(qint64 maxPixels) const = 0;
};

// A decoder of a format that may carry the camera's orientation (Exif): it reports the size
// the picture is shown at and turns the pixels it decodes, so its readers only decode.
class OrientedDecoder : public PictureDecoder {
public:
    QSize Size() const final;
    QImage Decode(qint64 maxPixels) const final;

protected:
    // The picture as stored in the file, and how the camera was held (1 to 8).
    OrientedDecoder(const QByteArray& file, qint64 width, qint64 height, int orientation);
    // Writes every pixel of the stored picture into image, which has its size.
    virtual void DecodeInto(QImage& image) const = 0;
    const QByteArray& File() const { return file_; }

private:
    QByteArray file_;
    qint64 width_;
    qint64 height_;
    int orientation_;
};

// The decoder for the file's content, whatever the name says (the formats are listed in
// picture_formats.h); throws DecodeError for anything else, naming the format where it is
// known.
std::unique_ptr<PictureDecoder> DecoderFor(const QByteArray& file);

// The decoders, one a format.
std::unique_ptr<PictureDecoder> MakeBmpDecoder(const QByteArray& file);
std::unique_ptr<PictureDecoder> MakePngDecoder(const QByteArray& file);
std::unique_ptr<PictureDecoder> MakeJpegDecoder(const QByteArray& file);

// A Format_RGB32 image for the decoders to fill, or the refusal of one larger than maxPixels
// or than memory allows.
QImage NewPicture(qint64 width, qint64 height, qint64 maxPixels);

}  // namespace colorsplit
