#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace colorsplit::test {

// A picture as 0xRRGGBB values, row by row from the top.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t at(int x, int y) const { return rgb[size_t(y) * width + x]; }
};

enum class BmpCompression { kNone, kRle };

// Writes BMP bytes by hand, so that every variant can be made (and broken) on purpose.
// bpp 1, 4 and 8 use a palette of the picture's own colours (which must fit); 16 is 5-5-5
// (the low 3 bits of each component are dropped); 24 and 32 are BGR(X). RLE goes with 4 and 8
// bits and is always bottom-up.
std::vector<std::uint8_t> EncodeBmp(const RgbImage& image, int bpp, bool topDown = false,
                                    BmpCompression compression = BmpCompression::kNone);

// Any layout the BMP format defines, field by field as it is written.
struct BmpLayout {
    const char* name;
    int headerSize = 40;  // 12 (OS/2 1.x), 16 or 64 (OS/2 2.x), 40, 52, 56, 108, 124
    int bpp = 24;
    std::uint32_t compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 masks, 6 masks with alpha
    bool topDown = false;
    std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha, with compression 3 and 6
    int entries = 0;                       // palette entries written, for 1 to 8 bits
    int declared = -1;                     // the colours-used field; -1 writes `entries`
    int gap = 0;                           // bytes between the tables and the pixel data
};

// A file of that layout holding random values, and the picture a correct reader shows for it,
// worked out from the format's rules: palette entries as written, n-bit channels as
// round(v * 255 / (2^n - 1)).
struct BmpSample {
    std::vector<std::uint8_t> bytes;
    RgbImage expected;
};
BmpSample MakeSample(const BmpLayout& layout, int width, int height, unsigned seed);

// A BMP file holding another picture file whole: compression 4 (JPEG) or 5 (PNG), a 40-byte
// header that declares width x height and the embedded file's length.
std::vector<std::uint8_t> EmbedInBmp(const std::vector<std::uint8_t>& file,
                                     std::uint32_t compression, int width, int height);

// Every layout the reader must take.
std::vector<BmpLayout> AllBmpLayouts();

// Hand-written RLE streams that skip pixels (deltas, early ends of rows and of the picture)
// with the picture they stand for, written out by hand.
struct RleCase {
    std::string name;
    std::vector<std::uint8_t> bytes;
    RgbImage expected;
};
std::vector<RleCase> RleCases();

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Offsets of the header fields that tests break.
inline constexpr size_t kBmpWidthOffset = 18;
inline constexpr size_t kBmpHeightOffset = 22;
inline constexpr size_t kBmpBppOffset = 28;
inline constexpr size_t kBmpCompressionOffset = 30;

void PutLe32(std::vector<std::uint8_t>& bytes, size_t offset, std::uint32_t value);

}  // namespace colorsplit::test
