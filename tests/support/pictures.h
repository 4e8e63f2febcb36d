#pragma once

#include <string>

#include "core/colors.h"
#include "support/bmp_builder.h"

namespace colorsplit::test {

// Four quadrants of 18 x 20 pixels, each in three shades of one colour (base - 5, base,
// base + 5 along one channel, in equal numbers), so each quadrant's mean is exactly its base.
// Picking the bases gives a run of two iterations in which all four groups keep pixels.
RgbImage QuadrantPicture();
inline constexpr int kQuadrantWidth = 18;
inline constexpr int kQuadrantHeight = 20;
// The base colours as 0xRRGGBB, in quadrant order: top left, top right, bottom left, bottom right.
inline constexpr std::uint32_t kQuadrantBases[4] = {0xC80A0A, 0x0AC80A, 0x0A0AC8, 0xC8C80A};
// A pixel of quadrant q whose colour is the base.
void BasePixelOf(int q, int& x, int& y);

// A picture of up to 65536 x 256 pixels in which every pixel has its own colour, UniqueAt(x, y).
RgbImage UniquePicture(int w, int h);
inline TColor UniqueAt(int x, int y) {
    return PackColor(x % 256, y % 256, x / 256);
}

}  // namespace colorsplit::test
