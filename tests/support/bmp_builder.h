#pragma once

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
// bpp 1, 4 and 8 use a palette of the picture's own colours (which must fit); 16 is 5-5-5;
// 24 and 32 are BGR(X). RLE goes with 4 and 8 bits and is always bottom-up.
std::vector<std::uint8_t> EncodeBmp(const RgbImage& image, int bpp, bool topDown = false,
                                    BmpCompression compression = BmpCompression::kNone);

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Offsets of the header fields that tests break.
inline constexpr size_t kBmpWidthOffset = 18;
inline constexpr size_t kBmpHeightOffset = 22;
inline constexpr size_t kBmpBppOffset = 28;
inline constexpr size_t kBmpCompressionOffset = 30;

void PutLe32(std::vector<std::uint8_t>& bytes, size_t offset, std::uint32_t value);

}  // namespace colorsplit::test
