#include "support/malformed.h"

#include "support/bmp_builder.h"

namespace colorsplit::test {

namespace {

RgbImage Stripes(int w, int h, int colours) {
    RgbImage image{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.rgb.push_back(static_cast<std::uint32_t>(((x + y) % colours) * 0x3F2E1D));
    return image;
}

std::vector<std::uint8_t> With32(std::vector<std::uint8_t> bytes, size_t at, std::uint32_t v) {
    PutLe32(bytes, at, v);
    return bytes;
}

std::vector<std::uint8_t> With16(std::vector<std::uint8_t> bytes, size_t at, std::uint16_t v) {
    bytes.at(at) = v & 0xFF;
    bytes.at(at + 1) = v >> 8;
    return bytes;
}

std::vector<std::uint8_t> Cut(const std::vector<std::uint8_t>& bytes, size_t size) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)};
}

// An 8-bit RLE file whose pixel stream is replaced by the given bytes.
std::vector<std::uint8_t> Rle8With(const std::vector<std::uint8_t>& stream) {
    std::vector<std::uint8_t> bytes = EncodeBmp(Stripes(8, 4, 4), 8, false, BmpCompression::kRle);
    const std::uint32_t offset = bytes[10] | bytes[11] << 8;
    bytes.resize(offset);
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    PutLe32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    return bytes;
}

}  // namespace

std::vector<BrokenFile> MalformedBmps() {
    const std::vector<std::uint8_t> rgb = EncodeBmp(Stripes(9, 5, 7), 24);
    const std::vector<std::uint8_t> topDown = EncodeBmp(Stripes(9, 5, 7), 24, true);
    const std::vector<std::uint8_t> pal = EncodeBmp(Stripes(9, 5, 7), 8);
    const std::vector<std::uint8_t> rle4 =
        EncodeBmp(Stripes(8, 4, 4), 4, false, BmpCompression::kRle);
    // 52-byte headers with colour masks, for the masks' defects.
    const auto masked = [](int bpp, std::uint32_t red) {
        const BmpLayout layout{"", 52, bpp, 3, false, {red, 0x03E0, 0x001F}};
        return MakeSample(layout, 3, 2, 1).bytes;
    };
    const auto os2 = [](std::uint32_t compression) {
        std::vector<std::uint8_t> bytes = MakeSample({"", 64, 24}, 3, 2, 1).bytes;
        PutLe32(bytes, kBmpCompressionOffset, compression);
        return bytes;
    };
    // An OS/2 1.x file with 5 palette entries (the offset says so) and a pixel of index 5.
    std::vector<std::uint8_t> os2Index = MakeSample({"", 12, 8, 0, false, {}, 5}, 3, 2, 1).bytes;
    os2Index[os2Index.size() - 8] = 5;
    const char* const truncated = "截斷";
    const char* const outside = "超出圖片範圍";
    const char* const early = "提早結束";
    std::vector<BrokenFile> files = {
        {"zero-byte", {}, "不是可讀取的圖片"},
        {"bad-magic", With16(rgb, 0, 0x4D58), "不是可讀取的圖片"},
        {"header-size-0", With32(rgb, 14, 0), "標頭"},
        {"header-size-200", With32(rgb, 14, 200), "標頭"},
        {"width-0", With32(rgb, kBmpWidthOffset, 0), "大小無效"},
        {"height-0", With32(rgb, kBmpHeightOffset, 0), "大小無效"},
        {"width-negative", With32(rgb, kBmpWidthOffset, static_cast<std::uint32_t>(-9)),
         "大小無效"},
        {"bpp-0", With16(rgb, kBmpBppOffset, 0), "色彩深度"},
        {"bpp-7", With16(rgb, kBmpBppOffset, 7), "色彩深度"},
        {"bpp-64", With16(rgb, kBmpBppOffset, 64), "色彩深度"},
        {"planes-0", With16(rgb, 26, 0), "平面數"},
        {"palette-index-out-of-range", With32(pal, 46, 3), "色盤索引"},
        // Seven colours, declared as six: index 6 names the entry after the last.
        {"palette-index-equal-to-palette-size", With32(pal, 46, 6), "色盤索引"},
        {"palette-index-beyond-what-the-offset-leaves", os2Index, "色盤索引"},
        {"pixel-offset-past-end", With32(rgb, 10, static_cast<std::uint32_t>(rgb.size() + 10)),
         "超出檔案結尾"},
        {"pixel-offset-inside-header", With32(rgb, 10, 20), "位置無效"},
        {"compression-unknown", With32(rgb, kBmpCompressionOffset, 7), "壓縮方式"},
        {"compression-cmyk", With32(rgb, kBmpCompressionOffset, 11), "壓縮方式"},
        // A JPEG or PNG inside whose data is no such file: its own reader says why.
        {"compression-jpeg-in-bmp", With32(rgb, kBmpCompressionOffset, 4), "損壞的 JPEG 檔案"},
        {"compression-png-in-bmp", With32(rgb, kBmpCompressionOffset, 5), "損壞的 PNG 檔案"},
        {"compression-os2-huffman", os2(3), "Huffman"},
        {"compression-os2-rle24", os2(4), "RLE24"},
        {"compression-rle8-on-24-bit", With32(rgb, kBmpCompressionOffset, 1), "不符"},
        {"compression-masks-on-24-bit", With32(rgb, kBmpCompressionOffset, 3), "不符"},
        {"mask-not-contiguous", masked(16, 0x7C0F), "不連續"},
        {"mask-beyond-16-bit-pixel", masked(16, 0xF0000), "超出"},
        {"truncated-pixel-data", Cut(rgb, rgb.size() - 5), truncated},
        {"truncated-top-down-pixel-data", Cut(topDown, topDown.size() - 30), truncated},
        {"truncated-palette", Cut(pal, 54 + 3 * 4 + 2), "超出檔案結尾"},
        {"rle8-run-past-row", Rle8With({9, 1, 0, 1}), outside},
        {"rle8-absolute-past-row", Rle8With({0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1}), outside},
        {"rle8-rows-past-picture",
         Rle8With({8, 1, 0, 0, 8, 1, 0, 0, 8, 1, 0, 0, 8, 1, 0, 0, 8, 1, 0, 1}), outside},
        {"rle8-delta-past-picture", Rle8With({0, 2, 1, 9, 0, 1}), outside},
        {"rle8-ends-early", Rle8With({8, 1, 0, 0, 4}), early},
        {"rle8-ends-mid-picture", Rle8With({8, 1, 0, 0}), early},
        {"rle8-index-out-of-range", Rle8With({8, 200, 0, 1}), "色盤索引"},
        {"rle4-ends-early", Cut(rle4, rle4.size() - 4), early},
        {"rle-top-down", With32(Rle8With({0, 1}), kBmpHeightOffset, static_cast<std::uint32_t>(-4)),
         "由上而下"},
    };
    // Cut short at every field boundary of the file and info headers.
    files.push_back({"truncated-at-1", Cut(rgb, 1), "不是可讀取的圖片"});
    for (size_t size : {2, 6, 10, 14, 18, 22, 26, 28, 30, 34, 38, 42, 46, 50})
        files.push_back({"truncated-at-" + std::to_string(size), Cut(rgb, size), truncated});
    return files;
}

}  // namespace colorsplit::test
