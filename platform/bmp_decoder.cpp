// BMP files, read by this program itself: every header the format defines, checked and
// decoded in one pass over the bytes, every pixel written from the file's data; a PNG or JPEG
// held inside goes to their own readers.
#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/picture_decoder.h"
#include "platform/samples.h"

namespace colorsplit {

namespace {

[[noreturn]] void Refuse(Problem::Kind kind, qint64 a = 0, qint64 b = 0) {
    throw DecodeError{{kind, a, b}};
}

// Compression values; OS/2 2.x gives 3 and 4 other meanings (see Parse).
enum : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitfields = 6,
};

class Bytes {
public:
    explicit Bytes(const QByteArray& data)
        : data_(reinterpret_cast<const std::uint8_t*>(data.constData())), size_(data.size()) {}

    qint64 size() const { return size_; }
    const std::uint8_t* at(qint64 offset) const { return data_ + offset; }
    // Refuses the file unless bytes [offset, end) are in it.
    void Need(qint64 end) const {
        if (end > size_)
            Refuse(Problem::kTruncated);
    }
    std::uint32_t U8(qint64 at) const { return data_[at]; }
    std::uint32_t U16(qint64 at) const { return U8(at) | U8(at + 1) << 8; }
    std::uint32_t U32(qint64 at) const { return U16(at) | U16(at + 2) << 16; }
    qint64 I32(qint64 at) const { return static_cast<std::int32_t>(U32(at)); }

private:
    const std::uint8_t* data_;
    qint64 size_;
};

// One colour channel of a 16- or 32-bit pixel: its mask, and the 8-bit level of each of its
// values, round(v * 255 / (2^n - 1)) for an n-bit channel. A channel without bits is 0.
class Channel {
public:
    Channel() = default;
    Channel(std::uint32_t mask, int bpp) : mask_(mask) {
        if (mask == 0)
            return;
        if (bpp < 32 && (mask >> bpp) != 0)
            Refuse(Problem::kMaskBeyondPixel, mask, bpp);
        shift_ = std::countr_zero(mask);
        const int bits = std::popcount(mask);
        top_ = bits == 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << bits) - 1;
        if ((mask >> shift_) != top_)
            Refuse(Problem::kMaskGaps, mask);
        // Up to 16 bits, a table of every level; wider channels are scaled pixel by pixel.
        if (bits <= 16) {
            levels_.resize(top_ + 1);
            for (std::uint32_t v = 0; v <= top_; ++v)
                levels_[v] = static_cast<std::uint8_t>(Level(v, top_));
        }
    }

    std::uint32_t Of(std::uint32_t word) const {
        if (mask_ == 0)
            return 0;
        const std::uint32_t v = (word & mask_) >> shift_;
        return levels_.empty() ? Level(v, top_) : levels_[v];
    }

private:
    std::uint32_t mask_ = 0;
    int shift_ = 0;
    std::uint32_t top_ = 0;
    std::vector<std::uint8_t> levels_;
};

// What the headers say, checked against each other and against the file's length.
struct Layout {
    qint64 width = 0;
    qint64 rows = 0;
    bool topDown = false;
    int bpp = 0;
    std::uint32_t compression = kRgb;
    qint64 pixelsAt = 0;
    std::vector<QRgb> palette;
    bool masked = false;  // 16 and 32 bits with masks, given or the defaults
    Channel red, green, blue;
    // A PNG or JPEG file held whole (compression 5 or 4): bytes [pixelsAt, pixelsAt + embedded).
    qint64 embedded = 0;
};

Layout Parse(const Bytes& b) {
    b.Need(18);
    const qint64 offset = b.U32(10);
    const qint64 headerSize = b.U32(14);
    const bool os2v1 = headerSize == 12;
    const bool os2v2 = headerSize == 16 || headerSize == 64;
    if (!os2v1 && !os2v2 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
        headerSize != 108 && headerSize != 124)
        Refuse(Problem::kBmpHeader, headerSize);
    b.Need(14 + headerSize);

    Layout l;
    qint64 height = 0;
    std::uint32_t planes = 0, coloursUsed = 0;
    if (os2v1) {
        // Sizes are unsigned 16-bit and rows always run from the bottom.
        l.width = b.U16(18);
        height = b.U16(20);
        planes = b.U16(22);
        l.bpp = static_cast<int>(b.U16(24));
    } else {
        // A short OS/2 2.x header leaves the fields it does not reach at 0.
        l.width = b.I32(18);
        height = b.I32(22);
        planes = b.U16(26);
        l.bpp = static_cast<int>(b.U16(28));
        l.compression = headerSize >= 20 ? b.U32(30) : kRgb;
        coloursUsed = headerSize >= 36 ? b.U32(46) : 0;
    }
    l.topDown = height < 0;
    l.rows = height < 0 ? -height : height;

    // A PNG or JPEG inside: it says itself how large it is and how it is laid out.
    if (!os2v1 && !os2v2 && (l.compression == kJpeg || l.compression == kPng)) {
        if (offset >= b.size())
            Refuse(Problem::kDataPastEnd);
        if (offset < 14 + headerSize)
            Refuse(Problem::kDataOffsetInvalid);
        const qint64 declared = b.U32(34);
        l.pixelsAt = offset;
        l.embedded = declared > 0 && declared <= b.size() - offset ? declared : b.size() - offset;
        return l;
    }

    if (l.width <= 0 || height == 0)
        Refuse(Problem::kInvalidSize, l.width, height);
    if (planes != 1)
        Refuse(Problem::kBmpPlanes, planes);
    if (os2v2 && (l.compression == 3 || l.compression == 4))
        throw DecodeError{
            {Problem::kCompression, 0, 0,
             l.compression == 3 ? QStringLiteral("Huffman 1D") : QStringLiteral("RLE24")}};
    switch (l.compression) {
        case kRgb:
        case kRle8:
        case kRle4:
        case kBitfields:
        case kAlphaBitfields:
            break;
        default:
            Refuse(Problem::kCompression, l.compression);
    }
    if (l.bpp != 1 && l.bpp != 2 && l.bpp != 4 && l.bpp != 8 && l.bpp != 16 && l.bpp != 24 &&
        l.bpp != 32)
        Refuse(Problem::kDepth, l.bpp);
    const bool rle = l.compression == kRle8 || l.compression == kRle4;
    const bool bitfields = l.compression == kBitfields || l.compression == kAlphaBitfields;
    if ((l.compression == kRle8 && l.bpp != 8) || (l.compression == kRle4 && l.bpp != 4) ||
        (bitfields && l.bpp != 16 && l.bpp != 32))
        Refuse(Problem::kCompressionDepthMismatch);
    if (rle && l.topDown)
        Refuse(Problem::kRleTopDown);

    // The colour masks: in the header from 52 bytes on, after a 40-byte one otherwise.
    qint64 tables = 14 + headerSize;
    if (bitfields) {
        if (headerSize == 40)
            tables += l.compression == kAlphaBitfields ? 16 : 12;
        b.Need(tables);
        l.red = Channel(b.U32(54), l.bpp);
        l.green = Channel(b.U32(58), l.bpp);
        l.blue = Channel(b.U32(62), l.bpp);
        l.masked = true;
    } else if (l.bpp == 16) {
        l.red = Channel(0x7C00, 16);
        l.green = Channel(0x03E0, 16);
        l.blue = Channel(0x001F, 16);
        l.masked = true;
    }

    if (offset > b.size())
        Refuse(Problem::kDataPastEnd);
    if (offset < tables)
        Refuse(Problem::kDataOffsetInvalid);
    l.pixelsAt = offset;

    if (l.bpp <= 8) {
        // As many entries as declared (all 2^n when none are, and no more than 2^n: indices
        // reach no further), but never more than fit before the pixel data: that is where an
        // OS/2 1.x file says how many it has.
        const std::uint32_t most = 1u << l.bpp;
        coloursUsed = std::min(coloursUsed, most);
        const qint64 entry = os2v1 ? 3 : 4;
        const qint64 count =
            std::min<qint64>(coloursUsed == 0 ? most : coloursUsed, (offset - tables) / entry);
        if (count == 0)
            Refuse(Problem::kEmptyPalette);
        l.palette.reserve(static_cast<size_t>(count));
        for (qint64 i = 0; i < count; ++i) {
            const qint64 at = tables + i * entry;
            l.palette.push_back(qRgb(static_cast<int>(b.U8(at + 2)), static_cast<int>(b.U8(at + 1)),
                                     static_cast<int>(b.U8(at))));
        }
    }
    return l;
}

// A V5 header's embedded profile (colour space 'MBED'), whose place counts from the header.
StoredColours ColoursOf(const Bytes& b) {
    StoredColours colours;
    constexpr std::uint32_t kEmbedded = 0x4D424544;
    if (b.size() < 14 + 124 || b.U32(14) != 124 || b.U32(70) != kEmbedded)
        return colours;
    const qint64 at = 14 + static_cast<qint64>(b.U32(126)), size = b.U32(130);
    if (size == 0 || at + size > b.size()) {
        colours.damaged = true;
        return colours;
    }
    colours.icc = QByteArray(reinterpret_cast<const char*>(b.at(at)), static_cast<qsizetype>(size));
    return colours;
}

QRgb* Row(QImage& image, const Layout& l, qint64 fileRow) {
    const qint64 y = l.topDown ? fileRow : l.rows - 1 - fileRow;
    return reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
}

void DecodeRows(const Bytes& b, const Layout& l, QImage& image) {
    const qint64 stride = (l.width * l.bpp + 31) / 32 * 4;
    // The last row need not carry its padding.
    b.Need(l.pixelsAt + stride * (l.rows - 1) + (l.width * l.bpp + 7) / 8);
    const int w = static_cast<int>(l.width);
    const std::uint32_t colours = static_cast<std::uint32_t>(l.palette.size());
    for (qint64 r = 0; r < l.rows; ++r) {
        const std::uint8_t* src = b.at(l.pixelsAt + r * stride);
        QRgb* dst = Row(image, l, r);
        if (l.bpp == 24) {
            for (int x = 0; x < w; ++x, src += 3)
                dst[x] = 0xFF000000u | src[2] << 16 | src[1] << 8 | src[0];
        } else if (l.bpp == 32 && !l.masked) {
            for (int x = 0; x < w; ++x, src += 4)
                dst[x] = 0xFF000000u | src[2] << 16 | src[1] << 8 | src[0];
        } else if (l.masked) {
            const int bytes = l.bpp / 8;
            for (int x = 0; x < w; ++x, src += bytes) {
                std::uint32_t word = src[0] | src[1] << 8;
                if (bytes == 4)
                    word |= std::uint32_t{src[2]} << 16 | std::uint32_t{src[3]} << 24;
                dst[x] =
                    0xFF000000u | l.red.Of(word) << 16 | l.green.Of(word) << 8 | l.blue.Of(word);
            }
        } else {
            // Palette indices, the leftmost pixel in the highest bits of each byte.
            const int perByte = 8 / l.bpp;
            const std::uint32_t low = (1u << l.bpp) - 1;
            for (int x = 0; x < w; ++x) {
                const int shift = 8 - l.bpp * (x % perByte + 1);
                const std::uint32_t index = (src[x / perByte] >> shift) & low;
                if (index >= colours)
                    Refuse(Problem::kIndexOutsidePalette);
                dst[x] = l.palette[index];
            }
        }
    }
}

// RLE4 and RLE8, rows from the bottom. Pixels the stream skips (a delta, an early end of a
// row or of the picture) show palette entry 0, as a zero-filled indexed bitmap would.
void DecodeRle(const Bytes& b, const Layout& l, QImage& image) {
    image.fill(l.palette[0]);
    const std::uint32_t colours = static_cast<std::uint32_t>(l.palette.size());
    const bool four = l.bpp == 4;
    const auto colour = [&](std::uint32_t index) {
        if (index >= colours)
            Refuse(Problem::kIndexOutsidePalette);
        return l.palette[index];
    };
    const auto outside = [] { Refuse(Problem::kRleOutside); };
    const auto early = [] { Refuse(Problem::kRleEarly); };

    qint64 at = l.pixelsAt, x = 0, y = 0;
    while (true) {
        if (at + 2 > b.size()) {
            // Every row ended by its own mark: complete without the end-of-picture mark.
            if (y >= l.rows)
                return;
            early();
        }
        const std::uint32_t count = b.U8(at), value = b.U8(at + 1);
        at += 2;
        if (count > 0) {
            // A run: `count` pixels of one index, or of two alternating ones in RLE4.
            if (y >= l.rows || x + count > l.width)
                outside();
            const QRgb even = colour(four ? value >> 4 : value);
            const QRgb odd = four && count > 1 ? colour(value & 15) : even;
            QRgb* row = Row(image, l, y);
            for (std::uint32_t i = 0; i < count; ++i)
                row[x + i] = i % 2 == 0 ? even : odd;
            x += count;
        } else if (value == 0) {  // end of row
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            return;
        } else if (value == 2) {  // delta: move right and up
            if (at + 2 > b.size())
                early();
            x += b.U8(at);
            y += b.U8(at + 1);
            at += 2;
            if (x > l.width || y > l.rows)
                outside();
        } else {
            // `value` indices as they stand, padded to a whole 16-bit word.
            const qint64 n = value;
            const qint64 bytes = four ? (n + 1) / 2 : n;
            if (at + bytes > b.size())
                early();
            if (y >= l.rows || x + n > l.width)
                outside();
            QRgb* row = Row(image, l, y);
            for (qint64 i = 0; i < n; ++i) {
                const std::uint32_t byte = b.U8(at + (four ? i / 2 : i));
                row[x + i] = colour(four ? (i % 2 == 0 ? byte >> 4 : byte & 15) : byte);
            }
            x += n;
            at += bytes + bytes % 2;
        }
    }
}

class BmpDecoder : public PictureDecoder {
public:
    explicit BmpDecoder(const QByteArray& file)
        : file_(file), layout_(Parse(Bytes(file_))), colours_(ColoursOf(Bytes(file_))) {
        if (layout_.embedded > 0) {
            const QByteArray inner = file_.mid(layout_.pixelsAt, layout_.embedded);
            inner_ = layout_.compression == kPng ? MakePngDecoder(inner) : MakeJpegDecoder(inner);
        }
    }

    QSize Size() const override {
        if (inner_)
            return inner_->Size();
        // Larger than an int can hold is larger than any limit.
        if (layout_.width > INT_MAX || layout_.rows > INT_MAX)
            return QSize(INT_MAX, INT_MAX);
        return QSize(static_cast<int>(layout_.width), static_cast<int>(layout_.rows));
    }

    QImage Decode(qint64 maxPixels) const override {
        if (inner_)
            return inner_->Decode(maxPixels);
        QImage image = NewPicture(layout_.width, layout_.rows, maxPixels);
        const Bytes b(file_);
        if (layout_.compression == kRle8 || layout_.compression == kRle4)
            DecodeRle(b, layout_, image);
        else
            DecodeRows(b, layout_, image);
        return image;
    }

    // A profile of the BMP's own, else that of the file inside.
    StoredColours Colours() const override {
        if (!inner_)
            return colours_;
        StoredColours inner = inner_->Colours();
        if (!colours_.icc.isEmpty() || colours_.damaged) {
            inner.icc = colours_.icc;
            inner.damaged = colours_.damaged;
        }
        return inner;
    }
    void ConvertCmykWith(std::shared_ptr<const ColourConversion> conversion) override {
        if (inner_)
            inner_->ConvertCmykWith(conversion);
        PictureDecoder::ConvertCmykWith(std::move(conversion));
    }

private:
    QByteArray file_;
    Layout layout_;
    StoredColours colours_;
    std::unique_ptr<PictureDecoder> inner_;
};

}  // namespace

std::unique_ptr<PictureDecoder> MakeBmpDecoder(const QByteArray& file) {
    return std::make_unique<BmpDecoder>(file);
}

}  // namespace colorsplit
