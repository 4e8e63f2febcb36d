#include "core/dither.h"

#include <algorithm>

namespace colorsplit {

IndexDither::IndexDither(int width, const std::vector<TColor>& colours)
    : width_(width), here_(3 * (static_cast<std::size_t>(width) + 2)), below_(here_.size()) {
    // Missing groups repeat the first colour: a tie goes to the lower group, so they are never
    // chosen.
    for (int g = 0; g < kMaxColors; ++g) {
        const TColor c = colours[static_cast<std::size_t>(g) < colours.size() ? g : 0];
        colours_[g][0] = RedOf(c);
        colours_[g][1] = GreenOf(c);
        colours_[g][2] = BlueOf(c);
    }
}

void IndexDither::Rows(const RowPixel* first, std::ptrdiff_t wordsPerLine, int rows,
                       std::uint8_t* groups) {
    for (int r = 0; r < rows; ++r, ++row_) {
        const RowPixel* pixels = first + r * wordsPerLine;
        std::uint8_t* out = groups + static_cast<std::size_t>(r) * width_;
        // Local, so that the stores of groups, which may alias anything, do not reload them.
        std::int32_t* here = here_.data();
        std::int32_t* below = below_.data();
        // Serpentine: the weights mirror with the direction.
        const int step = row_ % 2 == 0 ? 1 : -1;
        for (int i = 0; i < width_; ++i) {
            const int x = step > 0 ? i : width_ - 1 - i;
            const RowPixel p = pixels[x];
            // The error owed, rounded to a level (halves up), clamped before choosing: a colour
            // outside the groups' span would otherwise pile up error that no group can pay
            // back, and streak far past it.
            std::int32_t* at = here + 3 * (x + 1);
            const int rgb[3] = {std::clamp(RowRed(p) + ((at[0] + 8) >> 4), 0, 255),
                                std::clamp(RowGreen(p) + ((at[1] + 8) >> 4), 0, 255),
                                std::clamp(RowBlue(p) + ((at[2] + 8) >> 4), 0, 255)};
            // The exact squared distance; a tie goes to the lower group.
            int g = 0, best = 1 << 30;
            for (int h = 0; h < kMaxColors; ++h) {
                const int dr = rgb[0] - colours_[h][0], dg = rgb[1] - colours_[h][1],
                          db = rgb[2] - colours_[h][2];
                const int d = dr * dr + dg * dg + db * db;
                if (d < best) {
                    best = d;
                    g = h;
                }
            }
            out[x] = static_cast<std::uint8_t>(g);
            std::int32_t* under = below + 3 * (x + 1);
            for (int c = 0; c < 3; ++c) {
                const int e = rgb[c] - colours_[g][c];
                at[3 * step + c] += 7 * e;
                under[-3 * step + c] += 3 * e;
                under[c] += 5 * e;
                under[3 * step + c] += e;
            }
        }
        here_.swap(below_);
        std::fill(below_.begin(), below_.end(), 0);
    }
}

}  // namespace colorsplit
