#include "support/bmp_builder.h"

#include <algorithm>
#include <fstream>
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

// Rows of palette indices, bottom-up, RLE-encoded in runs of equal indices.
std::vector<std::uint8_t> EncodeRle(const std::vector<std::vector<int>>& rows, int bpp) {
    std::vector<std::uint8_t> out;
    for (const std::vector<int>& row : rows) {
        size_t x = 0;
        while (x < row.size()) {
            size_t run = 1;
            while (x + run < row.size() && row[x + run] == row[x] && run < 255)
                ++run;
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(static_cast<std::uint8_t>(bpp == 8 ? row[x] : (row[x] << 4) | row[x]));
            x += run;
        }
        out.push_back(0);  // end of line
        out.push_back(0);
    }
    out.push_back(0);  // end of bitmap
    out.push_back(1);
    return out;
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

    std::vector<std::uint8_t> pixels;
    const bool rle = compression == BmpCompression::kRle;
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
            for (int x = 0; x < w; ++x) {
                const std::uint32_t c = image.at(x, y);
                const std::uint8_t red = c >> 16, green = (c >> 8) & 0xFF, blue = c & 0xFF;
                switch (bpp) {
                    case 1:
                    case 4:
                    case 8: {
                        const size_t bit = static_cast<size_t>(x) * bpp;
                        const int shift = 8 - bpp - static_cast<int>(bit % 8);
                        row[bit / 8] |= static_cast<std::uint8_t>(index(x, y) << shift);
                        break;
                    }
                    case 16: {
                        const std::uint32_t v =
                            ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3);
                        row[x * 2] = v & 0xFF;
                        row[x * 2 + 1] = v >> 8;
                        break;
                    }
                    default: {
                        const size_t o = static_cast<size_t>(x) * (bpp / 8);
                        row[o] = blue;
                        row[o + 1] = green;
                        row[o + 2] = red;
                    }
                }
            }
            pixels.insert(pixels.end(), row.begin(), row.end());
        }
    }

    const std::uint32_t offset = 14 + 40 + static_cast<std::uint32_t>(palette.size()) * 4;
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Le32(out, offset + static_cast<std::uint32_t>(pixels.size()));
    Le32(out, 0);
    Le32(out, offset);
    Le32(out, 40);
    Le32(out, static_cast<std::uint32_t>(w));
    Le32(out, static_cast<std::uint32_t>(topDown ? -h : h));
    Le16(out, 1);
    Le16(out, static_cast<std::uint32_t>(bpp));
    Le32(out, rle ? (bpp == 8 ? 1 : 2) : 0);
    Le32(out, static_cast<std::uint32_t>(pixels.size()));
    Le32(out, 2835);
    Le32(out, 2835);
    Le32(out, static_cast<std::uint32_t>(palette.size()));
    Le32(out, 0);
    for (std::uint32_t c : palette)
        Le32(out, c & 0xFFFFFF);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
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
