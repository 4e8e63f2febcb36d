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

}  // namespace colorsplit
