#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/colors.h"

namespace colorsplit {

// Each pixel's group chosen by error diffusion (Floyd and Steinberg's weights, rows in
// alternate directions) among the groups' colours instead of the nearest colour, so that the
// groups' dots carry the picture's tones. Integer arithmetic throughout: the same groups on
// any machine, whatever the bands the rows come in.
class IndexDither {
public:
    // The picture's width and the groups' colours (1 to 4 of them).
    IndexDither(int width, const std::vector<TColor>& colours);

    // The next rows of the picture, top to bottom, from `first` (wordsPerLine words from one
    // row to the next); their groups go to `groups`, width bytes a row.
    void Rows(const RowPixel* first, std::ptrdiff_t wordsPerLine, int rows, std::uint8_t* groups);

private:
    int width_;
    int colours_[kMaxColors][3];
    std::int64_t row_ = 0;  // rows done: an even one runs left to right
    // The error carried to this row and to the next, in sixteenths of a level, three channels
    // a pixel and a pixel of margin at each end, where the error past the edge falls.
    std::vector<std::int32_t> here_, below_;
};

}  // namespace colorsplit
