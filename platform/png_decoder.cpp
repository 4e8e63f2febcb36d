// PNG files through libpng's own interface: its errors come back here instead of going to the
// terminal, and the file is read to its end chunk, so a file cut short is refused.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include <QList>

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
    bool profileRefused;  // libpng passed over an iCCP chunk it found broken
};

void OnError(png_structp png, png_const_charp message) {
    auto* reading = static_cast<Reading*>(png_get_error_ptr(png));
    std::snprintf(reading->error, sizeof reading->error, "%s", message);
    png_longjmp(png, 1);
}

// Warnings are about ancillary chunks libpng then skips; the picture stands without them, a
// broken profile with a note.
void OnWarning(png_structp png, png_const_charp message) {
    if (std::strncmp(message, "iCCP", 4) == 0)
        static_cast<Reading*>(png_get_error_ptr(png))->profileRefused = true;
}

void OnRead(png_structp png, png_bytep out, size_t length) {
    auto* reading = static_cast<Reading*>(png_get_io_ptr(png));
    if (length > reading->size - reading->at)
        png_error(png, "file ends early");
    std::memcpy(out, reading->data + reading->at, length);
    reading->at += length;
}

// Reads the header and asks for 0xFFRRGGBB words: palettes and grey expanded, 16-bit
// channels scaled to 8 bits, transparency dropped as it is for every format.
bool ReadHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height,
                int* passes) {
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
    *passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

// A profile as ImageMagick and exiftool keep one in a text chunk: a line of its name, one of
// its length, then its bytes in hex over as many lines as it takes. Empty when malformed.
QByteArray RawProfile(const char* text, size_t size) {
    const QList<QByteArray> lines = QByteArray(text, static_cast<qsizetype>(size)).split('\n');
    if (lines.size() < 4 || !lines[0].isEmpty())
        return {};
    bool number = false;
    const qsizetype length = lines[2].trimmed().toLongLong(&number);
    const QByteArray bytes = QByteArray::fromHex(lines.mid(3).join());
    return number && length >= 0 && length <= bytes.size() ? bytes.left(length) : QByteArray();
}

// The chunks before the picture data, for the Exif data among them: the eXIf chunk, or else
// the raw profile other programs write in a text chunk, which photo viewers honour as well.
bool ReadExif(png_structp png, png_infop info, QByteArray* exif) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    png_uint_32 length = 0;
    png_bytep data = nullptr;
    if (png_get_eXIf_1(png, info, &length, &data) != 0 && data != nullptr) {
        *exif = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
        return true;
    }
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i) {
        const char* key = texts[i].key;
        if (std::strcmp(key, "Raw profile type exif") == 0 ||
            std::strcmp(key, "Raw profile type APP1") == 0) {
            *exif = RawProfile(texts[i].text, texts[i].text_length != 0 ? texts[i].text_length
                                                                        : texts[i].itxt_length);
            break;
        }
    }
    return true;
}

// After ReadExif: the iCCP chunk's profile, which libpng has checked against the colour type.
// An sRGB chunk or none says sRGB.
StoredColours ColoursOf(png_structp png, png_infop info, bool refused) {
    StoredColours colours;
    colours.samples = (png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) != 0
                          ? StoredColours::Samples::kRgb
                          : StoredColours::Samples::kGrey;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0 && profile != nullptr)
        colours.icc =
            QByteArray(reinterpret_cast<const char*>(profile), static_cast<qsizetype>(length));
    colours.damaged = colours.icc.isEmpty() && refused;
    return colours;
}

// Every row, then every chunk up to the end chunk, checksums included.
bool ReadImage(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

// The next count rows of a picture that is not interlaced.
bool ReadRows(png_structp png, png_bytepp rows, png_uint_32 count) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_rows(png, rows, nullptr, count);
    return true;
}

// Every chunk after the picture data up to the end chunk, checksums included.
bool ReadEnd(png_structp png) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_end(png, nullptr);
    return true;
}

// What libpng's message says, as a kind. libpng has no codes for its errors, only words; these
// are the parts of them that tell the kind, the first that fits, in the order they are tried.
Problem Damaged(const char* message) {
    static const struct {
        const char* words;
        Damage damage;
    } kinds[] = {
        {"CRC error", Damage::kChecksum},
        {"incorrect data check", Damage::kChecksum},
        {"file ends early", Damage::kCutShort},
        {"Read Error", Damage::kCutShort},
        {"Not enough image data", Damage::kCutShort},
        {"unexpected end", Damage::kCutShort},
        {"no header", Damage::kHeader},
        {"IHDR", Damage::kHeader},
        {"Invalid", Damage::kHeader},
        {"invalid", Damage::kData},
        {"bad adaptive filter", Damage::kData},
        {"Too much image data", Damage::kData},
        {"Extra compressed data", Damage::kData},
        {"Decompression error", Damage::kData},
        {"missing IHDR", Damage::kHeader},
        {"Missing IHDR", Damage::kHeader},
        {"Missing PLTE", Damage::kHeader},
    };
    if (std::strstr(message, "out of memory") != nullptr ||
        std::strstr(message, "Insufficient memory") != nullptr)
        return {Problem::kNoMemoryForPicture};
    Damage damage = Damage::kGeneral;
    for (const auto& kind : kinds)
        if (std::strstr(message, kind.words) != nullptr) {
            damage = kind.damage;
            break;
        }
    return {Problem::kDamaged, static_cast<int>(damage), 0, QStringLiteral("PNG")};
}

// Reads through libpng from the file in memory: the chunks up to the picture data (for the
// eXIf chunk), or the whole picture into rows.
class Reader {
public:
    explicit Reader(const QByteArray& file)
        : reading_{reinterpret_cast<const png_byte*>(file.constData()),
                   static_cast<size_t>(file.size()),
                   0,
                   {},
                   false},
          png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, &reading_, OnError, OnWarning)),
          info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {
        if (png_ != nullptr)
            png_set_read_fn(png_, &reading_, OnRead);
    }
    ~Reader() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool Ready() const { return info_ != nullptr; }
    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }
    const char* Error() const { return reading_.error[0] != '\0' ? reading_.error : "unreadable"; }
    bool ProfileRefused() const { return reading_.profileRefused; }

private:
    Reading reading_;
    png_structp png_;
    png_infop info_;
};

// The stored size from the header chunk, checked by hand before libpng sees the file, and
// the camera's orientation from an eXIf chunk before the picture data (1 without one, and
// when the chunks cannot be read: decoding then says why).
struct Header {
    qint64 width = 0;
    qint64 height = 0;
    int orientation = 1;
    StoredColours colours;

    explicit Header(const QByteArray& file) {
        // The signature, then the header chunk's length, type, width and height.
        const auto* b = reinterpret_cast<const png_byte*>(file.constData());
        if (file.size() < 24 || png_sig_cmp(b, 0, 8) != 0 || std::memcmp(b + 12, "IHDR", 4) != 0)
            throw DecodeError{Damaged("no header")};
        const auto be32 = [b](int at) {
            return static_cast<qint64>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
        };
        width = be32(16);
        height = be32(20);
        if (width == 0 || height == 0)
            throw DecodeError{{Problem::kInvalidSize, width, height}};
        Reader reader(file);
        QByteArray exif;
        if (!reader.Ready() || !ReadExif(reader.Png(), reader.Info(), &exif))
            return;
        if (!exif.isEmpty())
            orientation = ExifOrientation(exif);
        colours = ColoursOf(reader.Png(), reader.Info(), reader.ProfileRefused());
    }
};

class PngDecoder : public OrientedDecoder {
public:
    explicit PngDecoder(const QByteArray& file) : PngDecoder(file, Header(file)) {}

private:
    PngDecoder(const QByteArray& file, const Header& header)
        : OrientedDecoder(file, header.width, header.height, header.orientation),
          width_(header.width),
          height_(header.height),
          colours_(header.colours) {}

    StoredColours Colours() const override { return colours_; }

    void DecodeInto(QImage& image) const override {
        std::vector<png_bytep> rows(static_cast<size_t>(height_));
        for (size_t y = 0; y < rows.size(); ++y)
            rows[y] = image.scanLine(static_cast<int>(y));
        Reader reader(File());
        if (!reader.Ready())
            throw DecodeError{Damaged("out of memory")};
        int passes = 1;
        const bool read = Start(reader, &passes) && ReadImage(reader.Png(), rows.data());
        if (!read)
            throw DecodeError{Damaged(reader.Error())};
    }

    void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const override {
        CheckSize(maxPixels);
        Reader reader(File());
        if (!reader.Ready())
            throw DecodeError{Damaged("out of memory")};
        int passes = 1;
        if (!Start(reader, &passes))
            throw DecodeError{Damaged(reader.Error())};
        // An interlaced picture is whole only after its last pass.
        if (passes > 1) {
            OrientedDecoder::DecodeBands(maxPixels, rows, sink);
            return;
        }
        QImage band = NewPicture(width_, std::min<qint64>(rows, height_), maxPixels);
        std::vector<png_bytep> pointers(static_cast<size_t>(band.height()));
        for (int top = 0; top < height_; top += band.height()) {
            const int n = static_cast<int>(std::min<qint64>(band.height(), height_ - top));
            for (int y = 0; y < n; ++y)
                pointers[static_cast<size_t>(y)] = band.scanLine(y);
            if (!ReadRows(reader.Png(), pointers.data(), static_cast<png_uint_32>(n)))
                throw DecodeError{Damaged(reader.Error())};
            const QImage rowsOf(band.constBits(), band.width(), n, band.bytesPerLine(),
                                QImage::Format_RGB32);
            if (!sink(rowsOf, top))
                return;
        }
        if (!ReadEnd(reader.Png()))
            throw DecodeError{Damaged(reader.Error())};
    }

    // The header read and checked against the one the decoder was made from.
    bool Start(Reader& reader, int* passes) const {
        png_uint_32 width = 0, height = 0;
        return ReadHeader(reader.Png(), reader.Info(), &width, &height, passes) &&
               width == width_ && height == height_;
    }

    qint64 width_;
    qint64 height_;
    StoredColours colours_;
};

}  // namespace

std::unique_ptr<PictureDecoder> MakePngDecoder(const QByteArray& file) {
    return std::make_unique<PngDecoder>(file);
}

}  // namespace colorsplit
