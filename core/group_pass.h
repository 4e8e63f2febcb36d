#pragma once

#include <array>
#include <cstdint>

#include "core/colors.h"

namespace colorsplit {

struct GroupSums {
    std::array<std::int64_t, kMaxColors> r{}, g{}, b{}, n{};
};

// The grouping pass, fused with the sums the update pass needs, compiled for several
// instruction sets (Highway's targets), of which Highway runs the widest the CPU has. All of
// them give the same groups, the same sums and the same Distortion bits; the tests run each
// through Highway's own per-target test support.
//
// Groups every pixel of the w x h area of the table to its nearest of the first k code
// vectors, returns the distortion (the float sum of the winning distances in x-outer, y-inner
// order, rounded after every add) and the colour sums and pixel count of each group.
// With k = 0 every pixel goes to group 0 and adds nothing.
float GroupPass(Column* columns, int w, int h, const std::array<PixelRec, kMaxColors>& codeBook,
                int k, GroupSums& sums);

// Each of n pixels of a picture's row (RowPixel, colors.h) in its group by GroupOf's rule
// exactly, k groups (1 to 4): the full-size pictures of exports and statistics, on the vector
// instruction set GroupPass runs on.
void GroupRow(const RowPixel* row, int n, const std::array<PixelRec, kMaxColors>& codeBook, int k,
              std::uint8_t* groups);

// The instruction set GroupPass runs on this CPU, by name.
const char* GroupPassTarget();

namespace detail {

// The nearest code vector, compared as whole numbers: they convert to floats exactly, so
// this orders them as the float comparison does. A strictly smaller distance wins, so equal
// distances keep the lower index.
inline int NearestGroup(const PixelRec& p, const PixelRec* codeBook, int k,
                        std::int32_t& distance) {
    std::int32_t best = GroupDistance(p, codeBook[0]);
    int group = 0;
    for (int i = 1; i < k; ++i) {
        const std::int32_t d = GroupDistance(p, codeBook[i]);
        if (d < best) {
            best = d;
            group = i;
        }
    }
    distance = best;
    return group;
}

}  // namespace detail

// The group the grouping pass gives a pixel of that colour with this code book and k groups
// (k from 1 to 4): the nearest code vector, equal distances keeping the lower index.
inline int GroupOf(const PixelRec& p, const std::array<PixelRec, kMaxColors>& codeBook, int k) {
    std::int32_t distance = 0;
    return detail::NearestGroup(p, codeBook.data(), k, distance);
}

}  // namespace colorsplit
