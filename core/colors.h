#pragma once

#include <cstdint>

namespace colorsplit {

// The platform colour value, laid out 0x00BBGGRR. -1 (all 32 bits set) is what a read
// outside the picture gives; its top byte is ignored when it is split.
using TColor = std::int32_t;

// One record of the pixel table and of the code book. Group is only meaningful in the table.
struct PixelRec {
    std::int32_t R = 0;
    std::int32_t G = 0;
    std::int32_t B = 0;
    std::int32_t Group = 0;
};

constexpr std::int32_t RedOf(TColor c) {
    return c & 0xFF;
}
constexpr std::int32_t GreenOf(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr std::int32_t BlueOf(TColor c) {
    return (c >> 16) & 0xFF;
}

// Only the low byte of each component is used; the top byte of the result is 0.
constexpr TColor PackColor(std::int32_t r, std::int32_t g, std::int32_t b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

// A pixel as a picture's rows hold it when the host gives them to the core directly
// (PictureAccess::ReadRows and WriteRows): one 32-bit word 0xFFRRGGBB, red in bits 16-23, green in
// 8-15, blue in 0-7. The top byte is ignored when read and 0xFF when written. It is the core's
// own layout; a host whose pictures are stored otherwise gives no rows.
using RowPixel = std::uint32_t;

constexpr std::int32_t RowRed(RowPixel p) {
    return static_cast<std::int32_t>((p >> 16) & 0xFF);
}
constexpr std::int32_t RowGreen(RowPixel p) {
    return static_cast<std::int32_t>((p >> 8) & 0xFF);
}
constexpr std::int32_t RowBlue(RowPixel p) {
    return static_cast<std::int32_t>(p & 0xFF);
}
inline constexpr RowPixel kRowBlack = 0xFF000000u;

// The pixel table's fixed capacity; pictures are never larger (the open command refuses them).
inline constexpr int kTableWidth = 1280;
inline constexpr int kTableHeight = 960;
inline constexpr int kMaxColors = 4;
// The swatch panel's rows: one a group, and after them the mean colour's.
inline constexpr int kMeanRow = kMaxColors;
inline constexpr int kSwatchRows = kMaxColors + 1;

// One column of the pixel table: the table is indexed [x][y], so a column is contiguous and
// the x-outer, y-inner order of every pass is plain memory order.
using Column = PixelRec[kTableHeight];

// The distance the grouping pass compares: the squared distance divided by 3, truncated
// before any comparison, so squared distances that differ by less than 3 may tie. Every
// distance is a whole number of at most 65025, exact as a float.
constexpr std::int32_t GroupDistance(const PixelRec& p, const PixelRec& v) {
    const std::int32_t dR = v.R - p.R;
    const std::int32_t dG = v.G - p.G;
    const std::int32_t dB = v.B - p.B;
    return (dR * dR + dG * dG + dB * dB) / 3;
}

}  // namespace colorsplit
