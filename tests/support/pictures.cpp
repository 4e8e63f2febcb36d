#include "support/pictures.h"

namespace colorsplit::test {

RgbImage QuadrantPicture() {
    RgbImage image{2 * kQuadrantWidth, 2 * kQuadrantHeight, {}};
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const int q = (y / kQuadrantHeight) * 2 + x / kQuadrantWidth;
            const int shade = ((x + y) % 3 - 1) * 5;
            const int shift = 8;  // green
            const std::uint32_t base = kQuadrantBases[q];
            const int channel = static_cast<int>((base >> shift) & 0xFF) + shade;
            image.rgb.push_back((base & ~(0xFFu << shift)) |
                                (static_cast<std::uint32_t>(channel) << shift));
        }
    }
    return image;
}

void BasePixelOf(int q, int& x, int& y) {
    x = (q % 2) * kQuadrantWidth;
    y = (q / 2) * kQuadrantHeight;
    // (x + y) % 3 == 1 is the base shade.
    while ((x + y) % 3 != 1)
        ++x;
}

RgbImage UniquePicture(int w, int h) {
    RgbImage image{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.rgb.push_back(static_cast<std::uint32_t>(x % 256 << 16 | y % 256 << 8 | x / 256));
    return image;
}

}  // namespace colorsplit::test
