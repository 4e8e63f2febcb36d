#include "core/group_map.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace colorsplit {
namespace {

// Widths around the four pixels a byte holds, each filled at random by rows and by pixels: the
// two ways in must give the same map, and both ways out the same groups.
TEST(GroupMapTest, RowsAndPixelsAgreeAtEveryWidth) {
    std::mt19937 rng(7);
    for (const int w : {1, 2, 3, 4, 5, 7, 8, 9, 1283}) {
        const int h = 3;
        std::vector<std::uint8_t> groups(static_cast<size_t>(w) * h);
        for (auto& g : groups)
            g = static_cast<std::uint8_t>(rng() % 4);
        GroupMap byRows(w, h), byPixels(w, h);
        for (int y = 0; y < h; ++y) {
            byRows.SetRow(y, groups.data() + static_cast<size_t>(y) * w);
            for (int x = 0; x < w; ++x)
                byPixels.Set(x, y, groups[static_cast<size_t>(y) * w + x]);
        }
        EXPECT_EQ(byRows, byPixels) << "width " << w;
        std::vector<std::uint8_t> row(static_cast<size_t>(w));
        for (int y = 0; y < h; ++y) {
            byPixels.GetRow(y, row.data());
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(row[static_cast<size_t>(x)], groups[static_cast<size_t>(y) * w + x])
                    << "width " << w << " at " << x << "," << y;
                ASSERT_EQ(byRows.At(x, y), groups[static_cast<size_t>(y) * w + x]);
            }
        }
    }
    EXPECT_TRUE(GroupMap(0, 5).IsEmpty());
}

}  // namespace
}  // namespace colorsplit
