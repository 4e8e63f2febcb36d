#include "support/bmp_builder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>

namespace colorsplit::test {

namespace {

void Le16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void Le32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Le16(out, v & 0xFFFF);
    Le16(out, v >> 16);
}

// Rows of palette indices, bottom-up: runs of two or more equal indices as runs, stretches of
// three or more others as absolute runs, anything shorter as runs of one.
std::vector<std::uint8_t> EncodeRle(const std::vector<std::vector<int>>& rows, int bpp) {
    std::vector<std::uint8_t> out;
    for (const std::vector<int>& row : rows) {
        const size_t w = row.size();
        const auto runAt = [&](size_t x) {
            size_t n = 1;
            while (x + n < w && row[x + n] == row[x] && n < 255)
                ++n;
            return n;
        };
        size_t x = 0;
        while (x < w) {
            const size_t run = runAt(x);
            if (run >= 2) {
                out.push_back(static_cast<std::uint8_t>(run));
                out.push_back(static_cast<std::uint8_t>(bpp == 8 ? row[x] : row[x] << 4 | row[x]));
                x += run;
                continue;
            }
            size_t end = x + 1;
            while (end < w && runAt(end) < 2 && end - x < 255)
                ++end;
            const size_t n = end - x;
            if (n < 3) {
                for (; x < end; ++x) {
                    out.push_back(1);
                    out.push_back(static_cast<std::uint8_t>(bpp == 8 ? row[x] : row[x] << 4));
                }
                continue;
            }
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(n));
            std::vector<std::uint8_t> literal;
            for (size_t i = 0; i < n; ++i) {
                if (bpp == 8)
                    literal.push_back(static_cast<std::uint8_t>(row[x + i]));
                else if (i % 2 == 0)
                    literal.push_back(static_cast<std::uint8_t>(row[x + i] << 4));
                else
                    literal.back() |= static_cast<std::uint8_t>(row[x + i]);
            }
            if (literal.size() % 2 == 1)
                literal.push_back(0);
            out.insert(out.end(), literal.begin(), literal.end());
            x = end;
        }
        out.push_back(0);  // end of row
        out.push_back(0);
    }
    out.push_back(0);  // end of picture
    out.push_back(1);
    return out;
}

// Packs one row of palette indices, the leftmost pixel in the highest bits, padded to 4 bytes.
std::vector<std::uint8_t> PackIndices(const std::vector<int>& row, int bpp) {
    const size_t stride = (row.size() * bpp + 31) / 32 * 4;
    std::vector<std::uint8_t> out(stride, 0);
    for (size_t x = 0; x < row.size(); ++x) {
        const size_t bit = x * bpp;
        out[bit / 8] |= static_cast<std::uint8_t>(row[x] << (8 - bpp - bit % 8));
    }
    return out;
}

// Header, tables, gap and pixel data as the layout says. Palette entries are 0xRRGGBB.
std::vector<std::uint8_t> Assemble(const BmpLayout& l, int w, int h,
                                   const std::vector<std::uint32_t>& palette,
                                   const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> info;
    Le32(info, static_cast<std::uint32_t>(l.headerSize));
    if (l.headerSize == 12) {
        Le16(info, static_cast<std::uint32_t>(w));
        Le16(info, static_cast<std::uint32_t>(h));
        Le16(info, 1);
        Le16(info, static_cast<std::uint32_t>(l.bpp));
    } else {
        Le32(info, static_cast<std::uint32_t>(w));
        Le32(info, static_cast<std::uint32_t>(l.topDown ? -h : h));
        Le16(info, 1);
        Le16(info, static_cast<std::uint32_t>(l.bpp));
        const std::uint32_t declared = static_cast<std::uint32_t>(
            l.declared < 0 ? static_cast<int>(palette.size()) : l.declared);
        const std::uint32_t fields[] = {l.compression, static_cast<std::uint32_t>(pixels.size()),
                                        2835,          2835,
                                        declared,      0,
                                        l.masks[0],    l.masks[1],
                                        l.masks[2],    l.masks[3]};
        for (std::uint32_t field : fields)
            if (info.size() < static_cast<size_t>(l.headerSize))
                Le32(info, field);
        info.resize(static_cast<size_t>(l.headerSize), 0);
    }
    if (l.headerSize == 40 && (l.compression == 3 || l.compression == 6))
        for (int i = 0; i < (l.compression == 6 ? 4 : 3); ++i)
            Le32(info, l.masks[i]);
    for (std::uint32_t c : palette) {
        info.push_back(c & 0xFF);
        info.push_back((c >> 8) & 0xFF);
        info.push_back((c >> 16) & 0xFF);
        if (l.headerSize != 12)
            info.push_back(0);
    }
    info.insert(info.end(), static_cast<size_t>(l.gap), 0xEE);

    const std::uint32_t offset = 14 + static_cast<std::uint32_t>(info.size());
    std::vector<std::uint8_t> out = {'B', 'M'};
    Le32(out, offset + static_cast<std::uint32_t>(pixels.size()));
    Le32(out, 0);
    Le32(out, offset);
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// The n-bit value under mask, at 8 bits: round(v * 255 / (2^n - 1)).
std::uint32_t Level(std::uint32_t word, std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const std::uint32_t v = (word & mask) >> std::countr_zero(mask);
    // In long double: exact for channels of up to 32 bits.
    const long double top = std::ldexp(1.0L, std::popcount(mask)) - 1.0L;
    return static_cast<std::uint32_t>(std::llroundl(v * 255.0L / top));
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const RgbImage& image, int bpp, bool topDown,
                                    BmpCompression compression) {
    const int w = image.width, h = image.height;
    std::vector<std::uint32_t> palette;
    if (bpp <= 8) {
        for (std::uint32_t c : image.rgb)
            if (std::find(palette.begin(), palette.end(), c) == palette.end())
                palette.push_back(c);
        if (palette.size() > (1u << bpp))
            throw std::invalid_argument("too many colours");
    }
    const auto index = [&](int x, int y) {
        return static_cast<int>(std::find(palette.begin(), palette.end(), image.at(x, y)) -
                                palette.begin());
    };
    const bool rle = compression == BmpCompression::kRle;
    BmpLayout layout{"", 40, bpp};
    layout.compression = rle ? (bpp == 8 ? 1 : 2) : 0;
    layout.topDown = topDown;

    std::vector<std::uint8_t> pixels;
    if (rle) {
        std::vector<std::vector<int>> rows;
        for (int y = h - 1; y >= 0; --y) {
            std::vector<int> row;
            for (int x = 0; x < w; ++x)
                row.push_back(index(x, y));
            rows.push_back(row);
        }
        pixels = EncodeRle(rows, bpp);
    } else {
        const size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
        for (int r = 0; r < h; ++r) {
            const int y = topDown ? r : h - 1 - r;
            std::vector<std::uint8_t> row(stride, 0);
            if (bpp <= 8) {
                std::vector<int> indices;
                for (int x = 0; x < w; ++x)
                    indices.push_back(index(x, y));
                row = PackIndices(indices, bpp);
            }
            for (int x = 0; x < w && bpp > 8; ++x) {
                const std::uint32_t c = image.at(x, y);
                const std::uint8_t red = c >> 16, green = (c >> 8) & 0xFF, blue = c & 0xFF;
                if (bpp == 16) {
                    const std::uint32_t v = ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3);
                    row[x * 2] = v & 0xFF;
                    row[x * 2 + 1] = v >> 8;
                } else {
                    const size_t o = static_cast<size_t>(x) * (bpp / 8);
                    row[o] = blue;
                    row[o + 1] = green;
                    row[o + 2] = red;
                }
            }
            pixels.insert(pixels.end(), row.begin(), row.end());
        }
    }
    return Assemble(layout, w, h, palette, pixels);
}

BmpSample MakeSample(const BmpLayout& l, int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    BmpSample sample;
    sample.expected = {w, h, std::vector<std::uint32_t>(static_cast<size_t>(w) * h)};
    const auto expect = [&](int x, int y, std::uint32_t rgb) {
        sample.expected.rgb[static_cast<size_t>(y) * w + x] = rgb;
    };
    // The file's rows in the order they are stored.
    const auto pictureRow = [&](int fileRow) { return l.topDown ? fileRow : h - 1 - fileRow; };
    std::vector<std::uint32_t> palette;
    std::vector<std::uint8_t> pixels;

    if (l.bpp <= 8) {
        for (int i = 0; i < l.entries; ++i)
            palette.push_back(rng() & 0xFFFFFF);
        std::vector<std::vector<int>> rows;
        for (int r = 0; r < h; ++r) {
            std::vector<int> row;
            for (int x = 0; x < w; ++x) {
                // Runs of one index as often as not, for the RLE encoder.
                const bool repeat = x > 0 && rng() % 2 == 0;
                row.push_back(repeat ? row.back() : static_cast<int>(rng() % l.entries));
                expect(x, pictureRow(r), palette[row.back()]);
            }
            rows.push_back(row);
        }
        if (l.compression == 1 || l.compression == 2) {
            pixels = EncodeRle(rows, l.bpp);
        } else {
            for (const std::vector<int>& row : rows) {
                const std::vector<std::uint8_t> packed = PackIndices(row, l.bpp);
                pixels.insert(pixels.end(), packed.begin(), packed.end());
            }
        }
    } else {
        const int bytes = l.bpp / 8;
        const size_t stride = (static_cast<size_t>(w) * l.bpp + 31) / 32 * 4;
        std::array<std::uint32_t, 3> masks = {0xFF0000, 0x00FF00, 0x0000FF};
        if (l.compression == 3 || l.compression == 6)
            masks = {l.masks[0], l.masks[1], l.masks[2]};
        else if (l.bpp == 16)
            masks = {0x7C00, 0x03E0, 0x001F};
        for (int r = 0; r < h; ++r) {
            std::vector<std::uint8_t> row(stride, 0);
            for (int x = 0; x < w; ++x) {
                // Every bit random, those outside the masks (alpha, X) included.
                const std::uint32_t word = rng();
                for (int i = 0; i < bytes; ++i)
                    row[static_cast<size_t>(x) * bytes + i] = (word >> (8 * i)) & 0xFF;
                const std::uint32_t stored = bytes == 4 ? word : word & ((1u << 8 * bytes) - 1);
                expect(x, pictureRow(r),
                       l.bpp == 24 ? stored
                                   : Level(stored, masks[0]) << 16 | Level(stored, masks[1]) << 8 |
                                         Level(stored, masks[2]));
            }
            pixels.insert(pixels.end(), row.begin(), row.end());
        }
    }
    sample.bytes = Assemble(l, w, h, palette, pixels);
    return sample;
}

std::vector<std::uint8_t> EmbedInBmp(const std::vector<std::uint8_t>& file,
                                     std::uint32_t compression, int width, int height) {
    BmpLayout layout{"", 40, 0, compression};
    return Assemble(layout, width, height, {}, file);
}

std::vector<BmpLayout> AllBmpLayouts() {
    const std::array<std::uint32_t, 4> rgb565 = {0xF800, 0x07E0, 0x001F, 0};
    return {
        {"OS/2 1.x 1-bit", 12, 1, 0, false, {}, 2},
        {"OS/2 1.x 4-bit", 12, 4, 0, false, {}, 16},
        // No colours-used field: the offset says the palette has 5 entries.
        {"OS/2 1.x 8-bit short palette", 12, 8, 0, false, {}, 5},
        {"OS/2 1.x 24-bit", 12, 24},
        {"OS/2 2.x 16-byte 8-bit", 16, 8, 0, false, {}, 200},
        {"OS/2 2.x 16-byte 24-bit", 16, 24},
        {"OS/2 2.x 64-byte 4-bit", 64, 4, 0, false, {}, 9},
        {"OS/2 2.x 64-byte RLE8", 64, 8, 1, false, {}, 30},
        {"OS/2 2.x 64-byte 24-bit", 64, 24},
        {"1-bit", 40, 1, 0, false, {}, 2},
        {"2-bit", 40, 2, 0, false, {}, 4},
        {"4-bit short palette", 40, 4, 0, false, {}, 11},
        {"8-bit all 256 colours, declared as 0", 40, 8, 0, false, {}, 256, 0},
        {"8-bit short palette and a gap", 40, 8, 0, false, {}, 7, -1, 10},
        {"8-bit declared 0, offset gives 12", 40, 8, 0, false, {}, 12, 0},
        {"8-bit top-down", 40, 8, 0, true, {}, 40},
        {"RLE4", 40, 4, 2, false, {}, 16},
        {"RLE8", 40, 8, 1, false, {}, 100},
        {"16-bit 5-5-5", 40, 16},
        {"16-bit 5-6-5", 40, 16, 3, false, rgb565},
        {"16-bit 4-4-4 with alpha", 40, 16, 6, false, {0x0F00, 0x00F0, 0x000F, 0xF000}},
        {"16-bit 3-10-3", 40, 16, 3, false, {0xE000, 0x1FF8, 0x0007}},
        {"16-bit top-down", 40, 16, 0, true},
        {"24-bit", 40, 24},
        {"24-bit top-down", 40, 24, 0, true},
        {"32-bit", 40, 32},
        {"32-bit top-down", 40, 32, 0, true},
        {"32-bit 10-10-10", 40, 32, 3, false, {0x3FF00000, 0x000FFC00, 0x000003FF}},
        {"32-bit 11-11-10", 40, 32, 3, false, {0xFFE00000, 0x001FFC00, 0x000003FF}},
        {"32-bit 16-16 and no blue", 40, 32, 3, false, {0xFFFF0000, 0x0000FFFF, 0}},
        {"32-bit 17-9-6", 40, 32, 3, false, {0xFFFF8000, 0x00007FC0, 0x0000003F}},
        {"32-bit 20-12 and no blue", 40, 32, 3, false, {0xFFFFF000, 0x00000FFF, 0}},
        {"32-bit one 32-bit channel", 52, 32, 3, false, {0xFFFFFFFF, 0, 0}},
        // More colours declared than the depth can index: the first 2^n are the palette.
        {"8-bit declared as 300", 40, 8, 0, false, {}, 256, 300},
        {"4-bit declared as 20, room for 20", 40, 4, 0, false, {}, 16, 20, 16},
        {"52-byte 16-bit 5-6-5", 52, 16, 3, false, rgb565},
        {"56-byte 32-bit with alpha", 56, 32, 6, false, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
        {"V4 24-bit", 108, 24},
        {"V4 32-bit blue-green-red masks", 108, 32, 3, false, {0xFF, 0xFF00, 0xFF0000}},
        {"V5 8-bit", 124, 8, 0, false, {}, 64},
        {"V5 16-bit 5-6-5 top-down", 124, 16, 3, true, rgb565},
        {"V5 RLE4", 124, 4, 2, false, {}, 5},
    };
}

namespace {

// A 40-byte-header RLE file around the given stream.
RleCase Rle(std::string name, int bpp, int w, int h, std::vector<std::uint8_t> stream,
            std::vector<int> indices) {
    static const std::vector<std::uint32_t> palette = {0x102030, 0xA0B0C0, 0x00FF7F, 0xFE0001};
    BmpLayout layout{"", 40, bpp, bpp == 8 ? 1u : 2u, false, {}, 4};
    RleCase c{std::move(name), Assemble(layout, w, h, palette, stream), {w, h, {}}};
    for (int index : indices)
        c.expected.rgb.push_back(palette[index]);
    return c;
}

}  // namespace

std::vector<RleCase> RleCases() {
    // Streams start at the bottom row; the pictures are written from the top.
    return {
        Rle("delta", 8, 4, 3, {2, 1, 0, 2, 1, 1, 1, 2, 0, 1},
            {0, 0, 0, 0,  //
             0, 0, 0, 2,  //
             1, 1, 0, 0}),
        Rle("early end of row", 8, 4, 2, {1, 3, 0, 0, 4, 2, 0, 1},
            {2, 2, 2, 2,  //
             3, 0, 0, 0}),
        Rle("early end of picture", 8, 4, 3, {3, 1, 0, 1},
            {0, 0, 0, 0,  //
             0, 0, 0, 0,  //
             1, 1, 1, 0}),
        Rle("rows ended, no end of picture", 8, 2, 2, {2, 1, 0, 0, 2, 3, 0, 0},
            {3, 3,  //
             1, 1}),
        Rle("absolute run of odd length", 8, 3, 1, {0, 3, 2, 1, 3, 0, 0, 1}, {2, 1, 3}),
        Rle("RLE4 absolute and alternating", 4, 5, 1, {0, 3, 0x12, 0x30, 2, 0x01, 0, 0, 0, 1},
            {1, 2, 3, 0, 1}),
        Rle("RLE4 delta then end of picture", 4, 4, 2, {0, 2, 2, 1, 2, 0x33, 0, 1},
            {0, 0, 3, 3,  //
             0, 0, 0, 0}),
    };
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void PutLe32(std::vector<std::uint8_t>& bytes, size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = (value >> (8 * i)) & 0xFF;
}

}  // namespace colorsplit::test
