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
    const std::vector<std::uint8_t> pal = EncodeBmp(Stripes(9, 5, 7), 8);
    const std::vector<std::uint8_t> rle4 =
        EncodeBmp(Stripes(8, 4, 4), 4, false, BmpCompression::kRle);
    std::vector<BrokenFile> files = {
        {"zero-byte", {}},
        {"bad-magic", With16(rgb, 0, 0x4D58)},
        {"header-size-0", With32(rgb, 14, 0)},
        {"header-size-200", With32(rgb, 14, 200)},
        {"width-0", With32(rgb, kBmpWidthOffset, 0)},
        {"height-0", With32(rgb, kBmpHeightOffset, 0)},
        {"width-negative", With32(rgb, kBmpWidthOffset, static_cast<std::uint32_t>(-9))},
        {"bpp-0", With16(rgb, kBmpBppOffset, 0)},
        {"bpp-7", With16(rgb, kBmpBppOffset, 7)},
        {"bpp-64", With16(rgb, kBmpBppOffset, 64)},
        {"planes-0", With16(rgb, 26, 0)},
        {"palette-count-257", With32(pal, 46, 257)},
        {"palette-index-out-of-range", With32(pal, 46, 3)},
        {"pixel-offset-past-end", With32(rgb, 10, static_cast<std::uint32_t>(rgb.size() + 10))},
        {"pixel-offset-inside-header", With32(rgb, 10, 20)},
        {"compression-unknown", With32(rgb, kBmpCompressionOffset, 7)},
        {"compression-rle8-on-24-bit", With32(rgb, kBmpCompressionOffset, 1)},
        {"truncated-pixel-data", Cut(rgb, rgb.size() - 5)},
        {"truncated-palette", Cut(pal, 54 + 3 * 4 + 2)},
        {"rle8-run-past-row", Rle8With({9, 1, 0, 1})},
        {"rle8-absolute-past-row", Rle8With({0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1})},
        {"rle8-rows-past-picture",
         Rle8With({8, 1, 0, 0, 8, 1, 0, 0, 8, 1, 0, 0, 8, 1, 0, 0, 8, 1, 0, 1})},
        {"rle8-delta-past-picture", Rle8With({0, 2, 1, 9, 0, 1})},
        {"rle8-ends-early", Rle8With({8, 1, 0, 0, 4})},
        {"rle8-ends-mid-picture", Rle8With({8, 1, 0, 0})},
        {"rle8-index-out-of-range", Rle8With({8, 200, 0, 1})},
        {"rle4-ends-early", Cut(rle4, rle4.size() - 4)},
        {"rle-top-down",
         With32(Rle8With({0, 1}), kBmpHeightOffset, static_cast<std::uint32_t>(-4))},
    };
    // Cut short at every field boundary of the file and info headers.
    for (size_t size : {1, 2, 6, 10, 14, 18, 22, 26, 28, 30, 34, 38, 42, 46, 50})
        files.push_back({"truncated-at-" + std::to_string(size), Cut(rgb, size)});
    return files;
}

}  // namespace colorsplit::test
