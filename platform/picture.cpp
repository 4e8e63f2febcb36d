#include "platform/picture.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <cerrno>
#include <cstring>

#include "platform/jpeg_writer.h"
#include "platform/orientation.h"
#include "platform/picture_error.h"
#include "platform/picture_formats.h"
#include "platform/png_writer.h"
#include "platform/read_file.h"
#include "platform/safe_file.h"
#include "platform/samples.h"
#include "platform/tiff_writer.h"
#include "platform/webp_writer.h"

namespace colorsplit {

namespace {

constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;

[[noreturn]] void FailOpen(const std::string& fileName, Problem problem) {
    throw PictureError(PictureError::Action::kOpen, fileName, std::move(problem));
}

}  // namespace

PictureFile::PictureFile(const std::string& fileName, bool applyProfile) : fileName_(fileName) {
    const QByteArray bytes = ReadWholeFile(fileName, kMaxFileBytes, PictureError::Action::kOpen);
    try {
        decoder_ = DecoderFor(bytes);
    } catch (const DecodeError& e) {
        FailOpen(fileName, e.problem);
    }
    // Once a file: the profile is read and its transform made here, whatever is decoded later.
    colours_ = std::make_shared<const ColourConversion>(decoder_->Colours(), applyProfile);
    if (colours_->ConvertsCmyk())
        decoder_->ConvertCmykWith(colours_);
}

PictureFile::~PictureFile() = default;

QSize PictureFile::Size() const {
    return decoder_->Size();
}

const ProfileUse& PictureFile::Profile() const {
    return colours_->Use();
}

QImage PictureFile::Decode(qint64 maxPixels) const {
    QImage image;
    try {
        image = decoder_->Decode(maxPixels);
    } catch (const DecodeError& e) {
        FailOpen(fileName_, e.problem);
    }
    colours_->Convert(image, image);
    return image;
}

int PictureFile::Orientation() const {
    return decoder_->Orientation();
}

void PictureFile::DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const {
    // Each band converted into one of the file's own, as large as the largest.
    QImage converted;
    const BandSink convert = [&](const QImage& band, int top) {
        if (converted.width() != band.width() || converted.height() < band.height()) {
            converted = QImage(band.width(), band.height(), QImage::Format_RGB32);
            if (converted.isNull())
                throw DecodeError{{Problem::kNoMemoryForPicture}};
        }
        QImage out(converted.bits(), band.width(), band.height(), converted.bytesPerLine(),
                   QImage::Format_RGB32);
        colours_->Convert(band, out);
        return sink(out, top);
    };
    // What sink throws is its own; only the decoder's refusals are about the file.
    try {
        decoder_->DecodeBands(maxPixels, rows, colours_->ConvertsPixels() ? convert : sink);
    } catch (const DecodeError& e) {
        FailOpen(fileName_, e.problem);
    }
}

void PictureFile::ShownBands(qint64 maxPixels, int rows, const BandSink& sink,
                             const std::function<bool()>& going) const {
    if (Orientation() == 1) {
        DecodeBands(maxPixels, rows, sink);
        return;
    }
    const QSize size = OrientedSize(Size(), Orientation());
    QImage stored;
    try {
        stored = NewPicture(size.width(), size.height(), maxPixels);
    } catch (const DecodeError& e) {
        FailOpen(fileName_, e.problem);
    }
    bool stopped = false;
    DecodeBands(maxPixels, rows, [&](const QImage& band, int top) {
        for (int y = 0; y < band.height(); ++y)
            std::memcpy(stored.scanLine(top + y), band.constScanLine(y),
                        static_cast<size_t>(band.bytesPerLine()));
        stopped = !going();
        return !stopped;
    });
    if (stopped)
        return;
    const QImage shown = Oriented(stored, Orientation());
    stored = QImage();
    HandOutBands(shown, rows, sink);
}

QSize Picture::ReadSize(const std::string& fileName) {
    return PictureFile(fileName).Size();
}

QImage Picture::ReadFile(const std::string& fileName, qint64 maxPixels) {
    return PictureFile(fileName).Decode(maxPixels);
}

TColor Picture::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return -1;
    const QRgb p = reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x];
    return PackColor(qRed(p), qGreen(p), qBlue(p));
}

void Picture::SetPixel(int x, int y, TColor c) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return;
    reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

void Picture::Assign(const QImage& image) {
    image_ = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

std::optional<Picture::SaveFormat> Picture::SaveFormatOf(const std::string& fileName) {
    const QString suffix = QFileInfo(QString::fromStdString(fileName)).suffix().toLower();
    static const struct {
        const char* suffix;
        SaveFormat format;
    } written[] = {
        {"bmp", SaveFormat::kBmp},   {"dib", SaveFormat::kBmp},   {"rle", SaveFormat::kBmp},
        {"png", SaveFormat::kPng},   {"jpg", SaveFormat::kJpeg},  {"jpeg", SaveFormat::kJpeg},
        {"jpe", SaveFormat::kJpeg},  {"jfif", SaveFormat::kJpeg}, {"tif", SaveFormat::kTiff},
        {"tiff", SaveFormat::kTiff}, {"webp", SaveFormat::kWebP},
    };
    for (const auto& w : written)
        if (suffix == QLatin1String(w.suffix))
            return w.format;
    // A BMP under another picture format's name would be read as a damaged file of that one.
    if (PictureExtension(suffix))
        return std::nullopt;
    return SaveFormat::kBmp;
}

QStringList Picture::SaveFormatNames() {
    return {QStringLiteral("BMP"), QStringLiteral("PNG"), QStringLiteral("JPEG"),
            QStringLiteral("TIFF"), QStringLiteral("WebP")};
}

void Picture::SaveToFile(const std::string& fileName) const {
    if (image_.isNull())
        throw PictureError(PictureError::Action::kSave, fileName, {Problem::kNothingToSave});
    // Into memory, where only memory can run out; then safely to the file.
    const std::optional<SaveFormat> format = SaveFormatOf(fileName);
    if (!format)
        throw PictureError(PictureError::Action::kSave, fileName,
                           {Problem::kFormatNotWritten, 0, 0,
                            QFileInfo(QString::fromStdString(fileName)).suffix().toUpper()});
    QByteArray bytes;
    try {
        switch (*format) {
            case SaveFormat::kPng: {
                const QImage& rgb = image_;
                bytes = EncodePng(rgb.width(), rgb.height(), PngPixels::kRgb,
                                  [&rgb](int y, std::uint8_t* out) {
                                      RgbRow(reinterpret_cast<const QRgb*>(rgb.constScanLine(y)),
                                             rgb.width(), out);
                                  });
                break;
            }
            case SaveFormat::kTiff:
                bytes = EncodeTiff(image_);
                break;
            case SaveFormat::kJpeg:
                bytes = EncodeJpeg(image_);
                break;
            case SaveFormat::kWebP:
                bytes = EncodeWebP(image_);
                break;
            case SaveFormat::kBmp: {
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::WriteOnly);
                if (!QImageWriter(&buffer, "bmp").write(image_))
                    throw EncodeError{};
                break;
            }
        }
    } catch (const EncodeError&) {
        throw PictureError(PictureError::Action::kSave, fileName, {Problem::kNoMemory});
    } catch (const std::bad_alloc&) {
        throw PictureError(PictureError::Action::kSave, fileName, {Problem::kNoMemory});
    }
    WriteFileSafely(fileName, bytes, PictureError::Action::kSave);
}

}  // namespace colorsplit
