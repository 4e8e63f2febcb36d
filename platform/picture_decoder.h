#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

#include "platform/colour_profile.h"
#include "platform/picture_error.h"

namespace colorsplit {

// Why a picture file cannot be shown (without the file's name, which the caller adds).
struct DecodeError {
    Problem problem;
};

// A band of a picture's rows as they are decoded, Format_RGB32: its rows are rows top to
// top + height - 1 of the picture. Valid only during the call. Returns false to stop.
using BandSink = std::function<bool(const QImage& band, int top)>;

// Rows of about a million pixels, for a band: it decodes in milliseconds, so that stopping
// is quick, and is small beside any picture worth decoding in bands.
int BandRows(int width);

// Hands a whole picture to sink in bands of at most rows rows; false when sink stopped it.
bool HandOutBands(const QImage& picture, int rows, const BandSink& sink);

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
    // How the camera was held (1 to 8, orientation.h): the picture as stored, turned by it,
    // is the one Decode gives.
    virtual int Orientation() const { return 1; }
    // The picture as stored, its rows top to bottom, a band of at most rows rows at a time,
    // each handed to sink as it is decoded: where the format allows (JPEG, PNG not
    // interlaced) the whole picture is never held. Refusals as Decode's; the decoding stops
    // when sink returns false.
    virtual void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const;
    // What the file says of its colours (colour_profile.h), read with the headers.
    virtual StoredColours Colours() const { return {}; }
    // The conversion CMYK samples go through instead of the plain inks; set before decoding.
    virtual void ConvertCmykWith(std::shared_ptr<const ColourConversion> conversion) {
        cmyk_ = std::move(conversion);
    }

protected:
    // Null when CMYK samples take the plain inks.
    const ColourConversion* CmykConversion() const {
        return cmyk_ && cmyk_->ConvertsCmyk() ? cmyk_.get() : nullptr;
    }

private:
    std::shared_ptr<const ColourConversion> cmyk_;
};

// A decoder of a format that may carry the camera's orientation (Exif): it reports the size
// the picture is shown at and turns the pixels it decodes, so its readers only decode.
class OrientedDecoder : public PictureDecoder {
public:
    QSize Size() const final;
    QImage Decode(qint64 maxPixels) const final;
    int Orientation() const final { return orientation_; }
    void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const override;

protected:
    // The picture as stored in the file, and how the camera was held (1 to 8).
    OrientedDecoder(const QByteArray& file, qint64 width, qint64 height, int orientation);
    // Writes every pixel of the stored picture into image, which has its size.
    virtual void DecodeInto(QImage& image) const = 0;
    // Refuses a stored picture of more than maxPixels, as NewPicture does, before anything is
    // allocated for it.
    void CheckSize(qint64 maxPixels) const;
    const QByteArray& File() const { return file_; }
    qint64 StoredWidth() const { return width_; }
    qint64 StoredHeight() const { return height_; }

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
std::unique_ptr<PictureDecoder> MakeTiffDecoder(const QByteArray& file);
std::unique_ptr<PictureDecoder> MakeWebPDecoder(const QByteArray& file);
std::unique_ptr<PictureDecoder> MakeGifDecoder(const QByteArray& file);
// HEIC and AVIF, both.
std::unique_ptr<PictureDecoder> MakeHeifDecoder(const QByteArray& file);

// A Format_RGB32 image for the decoders to fill, or the refusal of one larger than maxPixels
// or than memory allows.
QImage NewPicture(qint64 width, qint64 height, qint64 maxPixels);

}  // namespace colorsplit
