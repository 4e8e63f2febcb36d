#include "core/cleanup.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/group_maps.h"

namespace colorsplit {
namespace {

constexpr auto k4 = Connectivity::Four, k8 = Connectivity::Eight;

TEST(CleanupTest, SmallMadeMaps) {
    struct Case {
        const char* what;
        const char* before;
        std::int64_t minPixels;
        Connectivity connectivity;
        const char* after;
    };
    for (const Case& c : {
             Case{"an island of N-1 goes", "00000/01100/00000", 3, k4, "00000/00000/00000"},
             Case{"an island of N stays", "00000/01110/00000", 3, k4, "00000/01110/00000"},
             Case{"N-1 by corners goes", "00000/01000/00100", 3, k8, "00000/00000/00000"},
             Case{"N by corners stays", "01000/00100/00010", 3, k8, "01000/00100/00010"},
             Case{"corners do not join at 4", "0000/0100/0010", 2, k4, "0000/0000/0000"},
             Case{"corners join at 8", "0000/0100/0010", 2, k8, "0000/0100/0010"},
             Case{"the longest border wins", "122222/100222/122222", 3, k4, "122222/122222/122222"},
             Case{"a tie: the lower group", "111222/110022/111222", 3, k4, "111222/111122/111222"},
             Case{"a group vanishes", "2222/2332/2222", 3, k8, "2222/2222/2222"},
             Case{"smaller than N: the largest", "3311/3321", 10, k4, "3333/3333"},
             Case{"smaller than N, a tie: the first", "1100/1100", 10, k4, "1111/1111"},
             Case{"touching only small regions, it waits", "3312222/3312222/1112222/2222222", 6, k4,
                  "2222222/2222222/2222222/2222222"},
             Case{"1 is off", "010/101", 1, k4, "010/101"},
         }) {
        GroupMap map = test::MapOf(c.before);
        EXPECT_TRUE(CleanUp(map, c.minPixels, c.connectivity, {}));
        EXPECT_EQ(test::RowsOf(map), c.after) << c.what;
    }
}

// Each pixel's region by union-find over the whole picture, and each region's size.
std::vector<int> RegionSizes(const GroupMap& map, Connectivity connectivity, std::vector<int>& of) {
    const int w = map.Width(), n = w * map.Height();
    of.resize(static_cast<size_t>(n));
    std::iota(of.begin(), of.end(), 0);
    const auto root = [&](int p) {
        while (of[p] != p)
            p = of[p] = of[of[p]];
        return p;
    };
    for (int p = 0; p < n; ++p)
        for (const auto& [dx, dy] : {std::pair{-1, 0}, {0, -1}, {-1, -1}, {1, -1}})
            if ((dx == 0 || dy == 0 || connectivity == k8) && p % w + dx >= 0 && p % w + dx < w &&
                p / w + dy >= 0 && map.At(p % w, p / w) == map.At(p % w + dx, p / w + dy))
                of[root(p)] = root(p + dy * w + dx);
    std::vector<int> size(static_cast<size_t>(n));
    for (int p = 0; p < n; ++p)
        ++size[static_cast<size_t>(of[p] = root(p))];
    return size;
}

// Over maps from clean blocks through specks to noise: afterwards no region is smaller than N
// unless only one is left, the regions of N or more are as they were, and a second cleanup
// changes nothing.
TEST(CleanupTest, InvariantsOverManyMaps) {
    for (unsigned seed = 1; seed <= 56; ++seed) {
        const GroupMap before =
            test::SpeckledMap(5 + seed % 7 * 13, 3 + seed % 5 * 17, 1 + seed % 4,
                              static_cast<int>(seed * 7 % 101), seed);
        const Connectivity c = seed % 2 ? k4 : k8;
        const std::int64_t minPixels = std::int64_t{2} << (seed % 7);
        std::vector<int> was, is;
        const std::vector<int> wasSize = RegionSizes(before, c, was);
        GroupMap map = before;
        std::int64_t last = 0, total = -1;
        ASSERT_TRUE(CleanUp(map, minPixels, c, [&](std::int64_t done, std::int64_t all) {
            EXPECT_GE(done, last);
            last = done;
            total = all;
            return true;
        }));
        EXPECT_EQ(last, total);
        const std::vector<int> isSize = RegionSizes(map, c, is);
        for (int p = 0; p < map.Width() * map.Height(); ++p) {
            const int x = p % map.Width(), y = p / map.Width();
            ASSERT_TRUE(isSize[is[p]] >= minPixels || isSize[is[p]] == map.Width() * map.Height())
                << "map " << seed << " at " << x << "," << y;
            ASSERT_TRUE(wasSize[was[p]] < minPixels || map.At(x, y) == before.At(x, y))
                << "map " << seed << " at " << x << "," << y;
        }
        GroupMap again = map;
        CleanUp(again, minPixels, c, {});
        EXPECT_EQ(again, map) << "map " << seed;
    }
}

TEST(CleanupTest, StopsWhenAsked) {
    GroupMap map = test::SpeckledMap(200, 100, 4, 60, 3);
    int calls = 0;
    EXPECT_FALSE(CleanUp(map, 50, k4, [&](std::int64_t, std::int64_t) { return ++calls < 10; }));
    EXPECT_EQ(calls, 10);
}

}  // namespace
}  // namespace colorsplit
