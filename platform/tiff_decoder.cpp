// TIFF files through libtiff: its first page, decompressed by libtiff (none, LZW, Deflate,
// PackBits, JPEG, ...) from strips or tiles, and turned into colours here, so that the rules of
// every format hold: samples of n bits scaled to the nearest of 256 levels, palettes as stored,
// CMYK with uninverted inks, R = round((255 - C)(255 - K) / 255), extra samples (alpha)
// passed over. libtiff's own RGBA interface truncates 16-bit samples and CMYK, and multiplies
// the colours by an alpha it is given, so it reads only what nothing else here does: YCbCr
// without subsampling, and old-style JPEG.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/picture_decoder.h"
#include "platform/samples.h"
#include "platform/tiff_memory.h"

namespace colorsplit {

namespace {

// The file in memory as libtiff reads it, and what it reported.
struct Reading {
    TiffMemory memory;
    bool failed = false;
    Damage damage = Damage::kGeneral;
};

// libtiff's reports have no codes, only words; these parts of them tell the kind, the first
// that fits. The first error's kind is kept; warnings are about tags it passes over.
int OnError(TIFF*, void* user, const char*, const char* format, va_list arguments) {
    auto* r = static_cast<Reading*>(user);
    if (r->failed)
        return 1;
    char words[512];
    std::vsnprintf(words, sizeof words, format, arguments);
    static const struct {
        const char* words;
        Damage damage;
    } kinds[] = {
        {"Read error", Damage::kCutShort},  {"past end", Damage::kCutShort},
        {"Premature", Damage::kCutShort},   {"Unexpected end", Damage::kCutShort},
        {"end of data", Damage::kCutShort}, {"Not a TIFF", Damage::kHeader},
        {"header", Damage::kHeader},        {"directory", Damage::kHeader},
        {"Directory", Damage::kHeader},     {"Decod", Damage::kData},
        {"Corrupt", Damage::kData},         {"corrupt", Damage::kData},
        {"Bogus", Damage::kData},           {"Wrong data", Damage::kData},
    };
    r->failed = true;
    r->damage = Damage::kGeneral;
    for (const auto& kind : kinds)
        if (std::strstr(words, kind.words) != nullptr) {
            r->damage = kind.damage;
            break;
        }
    return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

Problem Damaged(Damage damage) {
    return {Problem::kDamaged, static_cast<int>(damage), 0, QStringLiteral("TIFF")};
}

Problem Unsupported(Variant variant, qint64 value = 0) {
    return {Problem::kUnsupportedVariant, static_cast<int>(variant), value, QStringLiteral("TIFF")};
}

// Whether the header's offset of the first directory lies past the file's end: writers put
// the directory after the pixels, so a file cut short loses it first.
bool DirectoryPastEnd(const QByteArray& file) {
    const bool big = file.size() >= 4 && (file[2] == '+' || file[3] == '+');
    const int at = big ? 8 : 4, bytes = big ? 8 : 4;
    if (file.size() < at + bytes)
        return true;
    std::uint64_t offset = 0;
    for (int i = 0; i < bytes; ++i) {
        const int shift = 8 * (file[0] == 'I' ? i : bytes - 1 - i);
        offset |= static_cast<std::uint64_t>(static_cast<unsigned char>(file[at + i])) << shift;
    }
    return offset >= static_cast<std::uint64_t>(file.size());
}

// The file opened at its first page, with the report kept in reading.
Tiff Open(const QByteArray& file, Reading& reading) {
    reading = Reading{{file, 0}};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &reading);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &reading);
    Tiff tif = OpenTiff(reading.memory, "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif && DirectoryPastEnd(file))
        throw DecodeError{Damaged(Damage::kCutShort)};
    if (!tif)
        throw DecodeError{Damaged(reading.failed ? reading.damage : Damage::kHeader)};
    return tif;
}

// What a page holds, read from its tags, and whether this program reads it.
struct Layout {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = 1,
                  format = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE, orientation = 1;
    bool viaRgba = false;  // YCbCr without subsampling, through libtiff's RGBA interface

    explicit Layout(TIFF* tif) {
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
        if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
            photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
        if (orientation < 1 || orientation > 8)
            orientation = 1;
    }

    void Check(TIFF* tif) {
        if (width == 0 || height == 0)
            throw DecodeError{{Problem::kInvalidSize, width, height}};
        if (format == SAMPLEFORMAT_IEEEFP || format == SAMPLEFORMAT_COMPLEXIEEEFP)
            throw DecodeError{Unsupported(Variant::kFloatSamples)};
        if (format == SAMPLEFORMAT_INT || format == SAMPLEFORMAT_COMPLEXINT)
            throw DecodeError{Unsupported(Variant::kSignedSamples)};
        if (!TIFFIsCODECConfigured(compression))
            throw DecodeError{Unsupported(Variant::kCompression, compression)};
        const auto need = [&](bool fits, Variant variant, qint64 value) {
            if (!fits)
                throw DecodeError{Unsupported(variant, value)};
        };
        switch (photometric) {
            case PHOTOMETRIC_MINISWHITE:
            case PHOTOMETRIC_MINISBLACK:
                need(bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16,
                     Variant::kBitsPerSample, bits);
                break;
            case PHOTOMETRIC_PALETTE:
                need(bits >= 1 && bits <= 8, Variant::kBitsPerSample, bits);
                break;
            case PHOTOMETRIC_RGB:
                need(bits == 8 || bits == 16, Variant::kBitsPerSample, bits);
                need(samples >= 3, Variant::kSamplesPerPixel, samples);
                break;
            case PHOTOMETRIC_SEPARATED: {
                std::uint16_t inks = INKSET_CMYK;
                TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inks);
                need(inks == INKSET_CMYK && samples >= 4, Variant::kPhotometric, photometric);
                need(bits == 8 || bits == 16, Variant::kBitsPerSample, bits);
                break;
            }
            case PHOTOMETRIC_YCBCR: {
                if (compression == COMPRESSION_JPEG) {
                    // libtiff's JPEG codec turns it into RGB itself.
                    TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
                    photometric = PHOTOMETRIC_RGB;
                    samples = 3;
                    need(bits == 8, Variant::kBitsPerSample, bits);
                    break;
                }
                if (compression == COMPRESSION_OJPEG) {
                    // Old-style JPEG comes out of its codec subsampled, as stored; libtiff's
                    // RGBA interface puts the colours together.
                    need(bits == 8, Variant::kBitsPerSample, bits);
                    viaRgba = true;
                    break;
                }
                std::uint16_t across = 1, down = 1;
                TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRSUBSAMPLING, &across, &down);
                need(across == 1 && down == 1, Variant::kSubsampledYCbCr, 0);
                need(bits == 8, Variant::kBitsPerSample, bits);
                viaRgba = true;
                break;
            }
            default:
                need(false, Variant::kPhotometric, photometric);
        }
        need(samples >= 1 && samples <= 16, Variant::kSamplesPerPixel, samples);
    }
};

// The profile of tag 34675, for the samples the page stores.
StoredColours ColoursOf(TIFF* tif, const Layout& layout) {
    StoredColours colours;
    switch (layout.photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            colours.samples = StoredColours::Samples::kGrey;
            break;
        case PHOTOMETRIC_SEPARATED:
            colours.samples = StoredColours::Samples::kCmyk;
            break;
        default:
            break;
    }
    std::uint32_t length = 0;
    const void* profile = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile) && profile != nullptr)
        colours.icc = QByteArray(static_cast<const char*>(profile), static_cast<qsizetype>(length));
    return colours;
}

// Sample i of a row of n-bit samples, packed from the highest bit (libtiff undoes the other
// fill order itself).
unsigned Sample(const std::uint8_t* row, size_t i, int bits) {
    switch (bits) {
        case 8:
            return row[i];
        case 16:
            return reinterpret_cast<const std::uint16_t*>(row)[i];
        default: {
            const size_t bit = i * static_cast<size_t>(bits);
            return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        }
    }
}

// An n-bit value to the nearest of 256 levels.
int LevelOf(unsigned v, int bits) {
    return static_cast<int>(Level(v, (1u << bits) - 1));
}

// A page's pixels, a row of every plane at a time, into colours.
class Converter {
public:
    Converter(TIFF* tif, const Layout& layout, const ColourConversion* cmyk)
        : layout_(layout), cmyk_(cmyk) {
        if (layout.photometric == PHOTOMETRIC_PALETTE) {
            std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
            if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
                throw DecodeError{{Problem::kEmptyPalette}};
            const size_t entries = size_t{1} << layout.bits;
            // Old writers stored 8-bit values in the 16-bit map; libtiff's own reader takes a
            // map of no value above 255 as such, and so is it taken here. Otherwise an entry's
            // high byte, as libtiff takes it: exact for writers of c x 256 and of c x 257 alike,
            // where rounding would put c x 256 a level low.
            bool eightBit = true;
            for (size_t i = 0; i < entries; ++i)
                eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
            const auto level = [eightBit](std::uint16_t v) { return eightBit ? v : v >> 8; };
            for (size_t i = 0; i < entries; ++i)
                palette_.push_back(qRgb(level(r[i]), level(g[i]), level(b[i])));
        }
    }

    // planes: a row of each plane (one for contiguous samples), samples as stored.
    void Row(const std::vector<const std::uint8_t*>& planes, QRgb* out) const {
        const Layout& l = layout_;
        const bool contiguous = l.planar == PLANARCONFIG_CONTIG;
        const auto sample = [&](std::uint32_t x, int s) {
            return contiguous ? Sample(planes[0], static_cast<size_t>(x) * l.samples + s, l.bits)
                              : Sample(planes[static_cast<size_t>(s)], x, l.bits);
        };
        if (l.photometric == PHOTOMETRIC_SEPARATED && cmyk_ != nullptr) {
            // Through the profile, each ink rounded to 8 bits first.
            std::vector<std::uint8_t> inks(4 * static_cast<size_t>(l.width));
            for (std::uint32_t x = 0; x < l.width; ++x)
                for (int s = 0; s < 4; ++s)
                    inks[4 * x + s] = static_cast<std::uint8_t>(LevelOf(sample(x, s), l.bits));
            cmyk_->ConvertCmyk(inks.data(), static_cast<int>(l.width), out);
            return;
        }
        for (std::uint32_t x = 0; x < l.width; ++x) {
            switch (l.photometric) {
                case PHOTOMETRIC_MINISBLACK:
                case PHOTOMETRIC_MINISWHITE: {
                    int v = LevelOf(sample(x, 0), l.bits);
                    if (l.photometric == PHOTOMETRIC_MINISWHITE)
                        v = 255 - v;
                    out[x] = qRgb(v, v, v);
                    break;
                }
                case PHOTOMETRIC_PALETTE:
                    out[x] = palette_[sample(x, 0)];
                    break;
                case PHOTOMETRIC_RGB:
                    out[x] = qRgb(LevelOf(sample(x, 0), l.bits), LevelOf(sample(x, 1), l.bits),
                                  LevelOf(sample(x, 2), l.bits));
                    break;
                default: {
                    // Uninverted inks, each rounded to 8 bits first.
                    const auto k = static_cast<std::uint32_t>(255 - LevelOf(sample(x, 3), l.bits));
                    const auto ink = [&](int s) {
                        return static_cast<int>(Ink(255 - LevelOf(sample(x, s), l.bits), k));
                    };
                    out[x] = qRgb(ink(0), ink(1), ink(2));
                    break;
                }
            }
        }
    }

    int Planes() const { return layout_.planar == PLANARCONFIG_CONTIG ? 1 : layout_.samples; }

private:
    const Layout& layout_;
    const ColourConversion* cmyk_;
    std::vector<QRgb> palette_;
};

// Rows written one after another into a band, which is handed on whenever it is full and
// at the page's end.
class BandFiller {
public:
    BandFiller(QImage& band, std::uint32_t height, const BandSink& sink)
        : band_(band), height_(height), sink_(sink) {}

    QRgb* Row() { return reinterpret_cast<QRgb*>(band_.scanLine(filled_)); }
    // Once Row() is written; false when the sink stopped.
    bool Next() {
        ++filled_;
        if (filled_ < band_.height() && static_cast<std::uint32_t>(top_ + filled_) < height_)
            return true;
        const bool going =
            sink_(filled_ == band_.height() ? band_
                                            : QImage(band_.constBits(), band_.width(), filled_,
                                                     band_.bytesPerLine(), QImage::Format_RGB32),
                  top_);
        top_ += filled_;
        filled_ = 0;
        return going;
    }

private:
    QImage& band_;
    std::uint32_t height_;
    const BandSink& sink_;
    int top_ = 0;
    int filled_ = 0;
};

// One pass over a page, its rows top to bottom into a band as wide as the picture.
class Pass {
public:
    explicit Pass(const QByteArray& file) : file_(file) {
        tif_ = Open(file, *readings_.emplace_back(std::make_unique<Reading>()));
        layout_ = std::make_unique<Layout>(tif_.get());
        layout_->Check(tif_.get());
    }

    const Layout& Page() const { return *layout_; }
    StoredColours Colours() const { return ColoursOf(tif_.get(), *layout_); }

    // False when sink stopped. CMYK goes through cmyk where there is one.
    bool Read(QImage& band, const BandSink& sink, const ColourConversion* cmyk) {
        cmyk_ = cmyk;
        BandFiller out(band, layout_->height, sink);
        const bool whole = layout_->viaRgba          ? ViaRgba(band, sink)
                           : TIFFIsTiled(tif_.get()) ? Tiles(out)
                                                     : Strips(out);
        Check();
        return whole;
    }

private:
    // What libtiff reported of any handle, as a refusal; data damage when it said nothing.
    [[noreturn]] void Fail() const {
        for (const auto& r : readings_)
            if (r->failed)
                throw DecodeError{Damaged(r->damage)};
        throw DecodeError{Damaged(Damage::kData)};
    }
    void Check() const {
        for (const auto& r : readings_)
            if (r->failed)
                Fail();
    }

    // Strips decode forwards only, so each plane is read through a handle of its own: rows
    // of every plane then come together without going back, and a strip of any size is
    // decoded a row at a time.
    bool Strips(BandFiller& out) {
        const Converter convert(tif_.get(), *layout_, cmyk_);
        std::vector<Tiff> others;
        for (int p = 1; p < convert.Planes(); ++p) {
            others.push_back(Open(file_, *readings_.emplace_back(std::make_unique<Reading>())));
            Layout(others.back().get()).Check(others.back().get());
        }
        const auto handle = [&](int p) { return p == 0 ? tif_.get() : others[p - 1].get(); };
        const auto bytes = static_cast<size_t>(TIFFScanlineSize64(tif_.get()));
        std::vector<std::vector<std::uint8_t>> rows(static_cast<size_t>(convert.Planes()),
                                                    std::vector<std::uint8_t>(bytes));
        std::vector<const std::uint8_t*> planes;
        for (const auto& row : rows)
            planes.push_back(row.data());
        for (std::uint32_t y = 0; y < layout_->height; ++y) {
            for (int p = 0; p < convert.Planes(); ++p)
                if (TIFFReadScanline(handle(p), rows[static_cast<size_t>(p)].data(), y,
                                     static_cast<std::uint16_t>(p)) < 0)
                    Fail();
            convert.Row(planes, out.Row());
            if (!out.Next())
                return false;
        }
        return true;
    }

    bool Tiles(BandFiller& out) {
        TIFF* tif = tif_.get();
        const Layout& layout = *layout_;
        const Converter convert(tif, layout, cmyk_);
        std::uint32_t tileWidth = 0, tileHeight = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
        // A tile larger than the picture's whole rows would be a bomb, not a tile.
        if (tileWidth == 0 || tileHeight == 0 ||
            static_cast<std::uint64_t>(tileWidth) * tileHeight >
                std::max<std::uint64_t>(static_cast<std::uint64_t>(layout.width) * layout.height,
                                        1 << 16))
            throw DecodeError{Damaged(Damage::kHeader)};
        const auto tileBytes = static_cast<size_t>(TIFFTileSize64(tif));
        const size_t tileRowBytes = tileBytes / tileHeight;
        // A band of whole rows of the picture, a tile high, for each plane: then each row of
        // it converts as a strip's row does.
        const auto rowBytes = static_cast<size_t>(TIFFScanlineSize64(tif));
        const int planeCount = convert.Planes();
        std::vector<std::vector<std::uint8_t>> bands(
            static_cast<size_t>(planeCount), std::vector<std::uint8_t>(rowBytes * tileHeight));
        std::vector<std::uint8_t> tile(tileBytes);
        const size_t tilePixelBits =
            static_cast<size_t>(layout.bits) * (planeCount == 1 ? layout.samples : 1);
        // Tiles are multiples of 16 pixels wide; one whose rows end inside a byte is none.
        if (tileWidth * tilePixelBits % 8 != 0)
            throw DecodeError{Damaged(Damage::kHeader)};
        for (std::uint32_t top = 0; top < layout.height; top += tileHeight) {
            for (int p = 0; p < planeCount; ++p) {
                for (std::uint32_t left = 0; left < layout.width; left += tileWidth) {
                    if (TIFFReadTile(tif, tile.data(), left, top, 0,
                                     static_cast<std::uint16_t>(p)) < 0)
                        Fail();
                    const size_t from = left * tilePixelBits / 8;
                    const size_t count =
                        std::min(tileRowBytes, rowBytes - std::min(rowBytes, from));
                    for (std::uint32_t y = 0; y < tileHeight; ++y)
                        std::memcpy(bands[static_cast<size_t>(p)].data() + y * rowBytes + from,
                                    tile.data() + y * tileRowBytes, count);
                }
            }
            for (std::uint32_t y = top; y < std::min(layout.height, top + tileHeight); ++y) {
                std::vector<const std::uint8_t*> planes;
                for (const auto& band : bands)
                    planes.push_back(band.data() + (y - top) * rowBytes);
                convert.Row(planes, out.Row());
                if (!out.Next())
                    return false;
            }
        }
        return true;
    }

    // Through libtiff's RGBA interface, a band's rows at a time, as stored: asked for the
    // page's own orientation, it turns nothing.
    bool ViaRgba(QImage& band, const BandSink& sink) {
        char why[1024];
        TIFFRGBAImage rgba{};
        if (!TIFFRGBAImageBegin(&rgba, tif_.get(), 1, why))
            Fail();
        const std::unique_ptr<TIFFRGBAImage, decltype(&TIFFRGBAImageEnd)> end(&rgba,
                                                                              TIFFRGBAImageEnd);
        rgba.req_orientation = rgba.orientation;
        const std::uint32_t width = layout_->width;
        std::vector<std::uint32_t> raster(static_cast<size_t>(width) * band.height());
        for (std::uint32_t top = 0; top < layout_->height;) {
            const std::uint32_t n =
                std::min(static_cast<std::uint32_t>(band.height()), layout_->height - top);
            rgba.row_offset = static_cast<int>(top);
            rgba.col_offset = 0;
            if (!TIFFRGBAImageGet(&rgba, raster.data(), width, n))
                Fail();
            for (std::uint32_t y = 0; y < n; ++y) {
                auto* row = reinterpret_cast<QRgb*>(band.scanLine(static_cast<int>(y)));
                for (std::uint32_t x = 0; x < width; ++x) {
                    const std::uint32_t p = raster[static_cast<size_t>(y) * width + x];
                    row[x] = qRgb(TIFFGetR(p), TIFFGetG(p), TIFFGetB(p));
                }
            }
            if (!sink(static_cast<int>(n) == band.height()
                          ? band
                          : QImage(band.constBits(), band.width(), static_cast<int>(n),
                                   band.bytesPerLine(), QImage::Format_RGB32),
                      static_cast<int>(top)))
                return false;
            top += n;
        }
        return true;
    }

    const QByteArray& file_;
    // Stable, as libtiff's handlers point at them.
    std::vector<std::unique_ptr<Reading>> readings_;
    Tiff tif_;
    std::unique_ptr<Layout> layout_;
    const ColourConversion* cmyk_ = nullptr;
};

class TiffDecoder : public OrientedDecoder {
public:
    explicit TiffDecoder(const QByteArray& file) : TiffDecoder(file, Pass(file)) {}

private:
    TiffDecoder(const QByteArray& file, const Pass& header)
        : OrientedDecoder(file, header.Page().width, header.Page().height,
                          header.Page().orientation),
          colours_(header.Colours()) {}

    StoredColours Colours() const override { return colours_; }

    void DecodeInto(QImage& image) const override {
        // The whole picture as one band.
        Pass(File()).Read(
            image, [](const QImage&, int) { return true; }, CmykConversion());
    }

    void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const override {
        CheckSize(maxPixels);
        QImage band = NewPicture(StoredWidth(), std::min<qint64>(rows, StoredHeight()), maxPixels);
        Pass(File()).Read(band, sink, CmykConversion());
    }

    StoredColours colours_;
};

}  // namespace

std::unique_ptr<PictureDecoder> MakeTiffDecoder(const QByteArray& file) {
    return std::make_unique<TiffDecoder>(file);
}

}  // namespace colorsplit
