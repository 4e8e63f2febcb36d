// PNG files through libpng's own interface: its errors come back here instead of going to the
// terminal, and the file is read to its end chunk, so a file cut short is refused.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "platform/orientation.h"
#include "platform/picture_decoder.h"

namespace colorsplit {

namespace {

// What the callbacks share with the decoder. libpng is C: it leaves through longjmp, so only
// plain data lives here and in the functions that call into it.
struct Reading {
    const png_byte* data;
    size_t size;
    size_t at;
    char error[200];
};

void OnError(png_structp png, png_const_charp message) {
    auto* reading = static_cast<Reading*>(png_get_error_ptr(png));
    std::snprintf(reading->error, sizeof reading->error, "%s", message);
    png_longjmp(png, 1);
}

// Warnings are about ancillary chunks libpng then skips; the picture stands without them.
void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, size_t length) {
    auto* reading = static_cast<Reading*>(png_get_io_ptr(png));
    if (length > reading->size - reading->at)
        png_error(png, "file ends early");
    std::memcpy(out, reading->data + reading->at, length);
    reading->at += length;
}

// Reads the header and asks for 0xFFRRGGBB words: palettes and grey expanded, 16-bit
// channels scaled to 8 bits, transparency dropped as it is for every format.
bool ReadHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

// The chunks before the picture data, for the eXIf chunk among them.
bool ReadExif(png_structp png, png_infop info, QByteArray* exif) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    png_uint_32 length = 0;
    png_bytep data = nullptr;
    if (png_get_eXIf_1(png, info, &length, &data) != 0 && data != nullptr)
        *exif = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
    return true;
}

// Every row, then every chunk up to the end chunk, checksums included.
bool ReadImage(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

QString Cause(const char* message) {
    return QString::fromUtf8("PNG 圖片資料損壞或不完整(%1)").arg(QString::fromUtf8(message));
}

class PngDecoder : public PictureDecoder {
public:
    explicit PngDecoder(const QByteArray& file) : file_(file) {
        // The signature, then the header chunk's length, type, width and height.
        const auto* b = reinterpret_cast<const png_byte*>(file_.constData());
        if (file_.size() < 24 || png_sig_cmp(b, 0, 8) != 0 || std::memcmp(b + 12, "IHDR", 4) != 0)
            throw DecodeError{Cause("no header")};
        const auto be32 = [b](int at) {
            return static_cast<qint64>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
        };
        width_ = be32(16);
        height_ = be32(20);
        if (width_ == 0 || height_ == 0)
            throw DecodeError{QString::fromUtf8("圖片大小無效(%1x%2)").arg(width_).arg(height_)};
        orientation_ = Orientation();
    }

    QSize Size() const override {
        return OrientedSize(QSize(static_cast<int>(std::min<qint64>(width_, INT_MAX)),
                                  static_cast<int>(std::min<qint64>(height_, INT_MAX))),
                            orientation_);
    }

    QImage Decode(qint64 maxPixels) const override {
        return Oriented(DecodeStored(maxPixels), orientation_);
    }

private:
    // The camera's orientation from an eXIf chunk before the picture data; 1 without one, and
    // when the chunks cannot be read (decoding then says why).
    int Orientation() const {
        Reading reading{reinterpret_cast<const png_byte*>(file_.constData()),
                        static_cast<size_t>(file_.size()),
                        0,
                        {}};
        png_structp png =
            png_create_read_struct(PNG_LIBPNG_VER_STRING, &reading, OnError, OnWarning);
        if (png == nullptr)
            return 1;
        png_infop info = png_create_info_struct(png);
        png_set_read_fn(png, &reading, OnRead);
        QByteArray exif;
        const bool read = info != nullptr && ReadExif(png, info, &exif);
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        return read && !exif.isEmpty() ? ExifOrientation(exif) : 1;
    }

    QImage DecodeStored(qint64 maxPixels) const {
        QImage image = NewPicture(width_, height_, maxPixels);
        std::vector<png_bytep> rows(static_cast<size_t>(height_));
        for (size_t y = 0; y < rows.size(); ++y)
            rows[y] = image.scanLine(static_cast<int>(y));
        Reading reading{reinterpret_cast<const png_byte*>(file_.constData()),
                        static_cast<size_t>(file_.size()),
                        0,
                        {}};
        png_structp png =
            png_create_read_struct(PNG_LIBPNG_VER_STRING, &reading, OnError, OnWarning);
        if (png == nullptr)
            throw DecodeError{Cause("out of memory")};
        png_infop info = png_create_info_struct(png);
        png_set_read_fn(png, &reading, OnRead);
        png_uint_32 width = 0, height = 0;
        const bool read = info != nullptr && ReadHeader(png, info, &width, &height) &&
                          width == width_ && height == height_ && ReadImage(png, rows.data());
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        if (!read)
            throw DecodeError{Cause(reading.error[0] != '\0' ? reading.error : "unreadable")};
        return image;
    }

    QByteArray file_;
    qint64 width_ = 0;
    qint64 height_ = 0;
    int orientation_ = 1;
};

}  // namespace

std::unique_ptr<PictureDecoder> MakePngDecoder(const QByteArray& file) {
    return std::make_unique<PngDecoder>(file);
}

}  // namespace colorsplit
