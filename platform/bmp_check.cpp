#include "platform/bmp_check.h"

#include <cstdint>

namespace colorsplit {

namespace {

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3 };

class Bytes {
public:
    explicit Bytes(const QByteArray& data) : data_(data) {}
    qint64 size() const { return data_.size(); }
    std::uint32_t U8(qint64 at) const { return static_cast<std::uint8_t>(data_[at]); }
    std::uint32_t U16(qint64 at) const { return U8(at) | U8(at + 1) << 8; }
    std::uint32_t U32(qint64 at) const { return U16(at) | U16(at + 2) << 16; }

private:
    const QByteArray& data_;
};

QString Str(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Walks an RLE stream: every run must stay inside the picture and use palette entries that
// exist, and the stream must reach its end-of-bitmap mark (or the end of the last row).
std::optional<QString> RleDefect(const Bytes& b, qint64 at, qint64 width, qint64 height, int bpp,
                                 std::uint32_t colours) {
    const auto indexOk = [&](std::uint32_t v) { return v < colours; };
    qint64 x = 0, y = 0;
    while (true) {
        if (at + 2 > b.size()) {
            if (y >= height)
                return std::nullopt;
            return Str("RLE 壓縮資料提早結束");
        }
        const std::uint32_t count = b.U8(at), value = b.U8(at + 1);
        at += 2;
        if (count > 0) {
            if (y >= height || x + count > width)
                return Str("RLE 壓縮資料超出圖片範圍");
            if (bpp == 8 ? !indexOk(value)
                         : !indexOk(value >> 4) || (count > 1 && !indexOk(value & 15)))
                return Str("色盤索引超出色盤範圍");
            x += count;
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
            continue;
        }
        if (value == 1)
            return std::nullopt;  // end of bitmap
        if (value == 2) {         // delta
            if (at + 2 > b.size())
                return Str("RLE 壓縮資料提早結束");
            x += b.U8(at);
            y += b.U8(at + 1);
            at += 2;
            if (x > width || y > height)
                return Str("RLE 壓縮資料超出圖片範圍");
            continue;
        }
        // An absolute run of `value` pixels, padded to a whole 16-bit word.
        const qint64 n = value;
        const qint64 bytes = bpp == 8 ? n : (n + 1) / 2;
        if (at + bytes > b.size())
            return Str("RLE 壓縮資料提早結束");
        if (y >= height || x + n > width)
            return Str("RLE 壓縮資料超出圖片範圍");
        for (qint64 i = 0; i < n; ++i) {
            const std::uint32_t byte = b.U8(at + (bpp == 8 ? i : i / 2));
            const std::uint32_t v = bpp == 8 ? byte : (i % 2 == 0 ? byte >> 4 : byte & 15);
            if (!indexOk(v))
                return Str("色盤索引超出色盤範圍");
        }
        x += n;
        at += bytes + (bytes % 2);
    }
}

}  // namespace

std::optional<QString> BmpDefect(const QByteArray& file) {
    const Bytes b(file);
    if (b.size() < 2 || file[0] != 'B' || file[1] != 'M')
        return std::nullopt;
    const QString truncated = Str("檔案不完整(圖片資料被截斷)");
    if (b.size() < 18)
        return truncated;
    const std::uint32_t offset = b.U32(10);
    const std::uint32_t headerSize = b.U32(14);
    const bool core = headerSize == 12;
    if (!core && headerSize != 16 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
        headerSize != 64 && headerSize != 108 && headerSize != 124)
        return Str("不支援的 BMP 標頭(長度 %1)").arg(headerSize);
    if (b.size() < 14 + qint64(headerSize))
        return truncated;

    const qint64 width = core ? qint64(b.U16(18)) : qint64(static_cast<std::int32_t>(b.U32(18)));
    const qint64 rawHeight =
        core ? qint64(b.U16(20)) : qint64(static_cast<std::int32_t>(b.U32(22)));
    const std::uint32_t planes = core ? b.U16(22) : b.U16(26);
    const std::uint32_t bpp = core ? b.U16(24) : b.U16(28);
    const std::uint32_t compression = (core || headerSize < 20) ? kRgb : b.U32(30);
    const std::uint32_t coloursUsed = headerSize >= 40 ? b.U32(46) : 0;
    const qint64 height = rawHeight < 0 ? -rawHeight : rawHeight;

    if (width <= 0 || height == 0)
        return Str("圖片大小無效(%1x%2)").arg(width).arg(rawHeight);
    if (planes != 1)
        return Str("BMP 標頭無效(平面數 %1)").arg(planes);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return Str("不支援的色彩深度(%1 位元)").arg(bpp);
    const bool rle = compression == kRle8 || compression == kRle4;
    if (compression > kBitfields)
        return Str("不支援的壓縮方式(%1)").arg(compression);
    if ((compression == kRle8 && bpp != 8) || (compression == kRle4 && bpp != 4) ||
        (compression == kBitfields && bpp != 16 && bpp != 32))
        return Str("壓縮方式與色彩深度不符");
    if (rle && rawHeight < 0)
        return Str("RLE 壓縮的圖片不能由上而下儲存");

    // The palette (and the colour masks of a bitfields file with a short header).
    qint64 tables = 14 + qint64(headerSize);
    if (compression == kBitfields && headerSize == 40)
        tables += 12;
    std::uint32_t colours = 0;
    if (bpp <= 8) {
        const std::uint32_t most = 1u << bpp;
        if (coloursUsed > most)
            return Str("調色盤的顏色數(%1)超過 %2 色").arg(coloursUsed).arg(most);
        colours = coloursUsed == 0 ? most : coloursUsed;
        tables += qint64(colours) * (core ? 3 : 4);
    }
    if (tables > b.size())
        return truncated;
    if (offset > b.size())
        return Str("圖片資料的位置超出檔案結尾");
    if (offset < 14 + qint64(headerSize))
        return Str("圖片資料的位置無效");

    if (rle)
        return RleDefect(b, offset, width, height, int(bpp), colours);

    const qint64 stride = ((width * bpp + 31) / 32) * 4;
    if (stride * height > b.size() - offset)
        return truncated;
    if (bpp <= 8) {
        // Every index must name a palette entry.
        for (qint64 row = 0; row < height; ++row) {
            const qint64 start = offset + row * stride;
            for (qint64 x = 0; x < width; ++x) {
                const qint64 bit = x * bpp;
                const std::uint32_t byte = b.U8(start + bit / 8);
                const std::uint32_t index = (byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                if (index >= colours)
                    return Str("色盤索引超出色盤範圍");
            }
        }
    }
    return std::nullopt;
}

}  // namespace colorsplit
