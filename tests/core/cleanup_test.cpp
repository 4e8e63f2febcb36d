#include "core/cleanup.h"

#include <gtest/gtest.h>

#include <deque>

#include "support/group_maps.h"

namespace colorsplit {
namespace {

using test::MapOf;
using test::RowsOf;
using Rows = std::vector<std::string>;

struct Case {
    const char* what;
    Rows before;
    std::int64_t minPixels;
    Connectivity connectivity;
    Rows after;
};

TEST(CleanupTest, SmallMadeMaps) {
    constexpr auto k4 = Connectivity::Four, k8 = Connectivity::Eight;
    const Case cases[] = {
        {"an island of N-1 goes", {"00000", "01100", "00000"}, 3, k4, {"00000", "00000", "00000"}},
        {"an island of N stays", {"00000", "01110", "00000"}, 3, k4, {"00000", "01110", "00000"}},
        {"N-1 by corners goes", {"00000", "01000", "00100"}, 3, k8, {"00000", "00000", "00000"}},
        {"N by corners stays", {"01000", "00100", "00010"}, 3, k8, {"01000", "00100", "00010"}},
        {"corners do not join at 4", {"0000", "0100", "0010"}, 2, k4, {"0000", "0000", "0000"}},
        {"corners join at 8", {"0000", "0100", "0010"}, 2, k8, {"0000", "0100", "0010"}},
        {"the longest border wins",
         {"122222", "100222", "122222"},
         3,
         k4,
         {"122222", "122222", "122222"}},
        {"a tie goes to the lower group",
         {"111222", "110022", "111222"},
         3,
         k4,
         {"111222", "111122", "111222"}},
        {"a group vanishes", {"2222", "2332", "2222"}, 3, k8, {"2222", "2222", "2222"}},
        {"smaller than N: the largest", {"3311", "3321"}, 10, k4, {"3333", "3333"}},
        {"smaller than N: a tie, the first", {"1100", "1100"}, 10, k4, {"1111", "1111"}},
        {"touching only small regions, it waits",
         {"3312222", "3312222", "1112222", "2222222"},
         6,
         k4,
         {"2222222", "2222222", "2222222", "2222222"}},
        {"0 and 1 are off", {"010", "101"}, 1, k4, {"010", "101"}},
    };
    for (const Case& c : cases) {
        GroupMap map = MapOf(c.before);
        EXPECT_TRUE(CleanUp(map, c.minPixels, c.connectivity, {}));
        EXPECT_EQ(RowsOf(map), c.after) << c.what;
    }
}

// Each pixel's region by a plain flood fill over the whole picture, and the regions' sizes.
struct Regions {
    std::vector<int> label;
    std::vector<std::int64_t> size;
};
Regions RegionsOf(const GroupMap& map, Connectivity connectivity) {
    const int w = map.Width(), h = map.Height();
    Regions r{std::vector<int>(static_cast<size_t>(w) * h, -1), {}};
    for (int start = 0; start < w * h; ++start) {
        if (r.label[static_cast<size_t>(start)] >= 0)
            continue;
        const int id = static_cast<int>(r.size.size());
        r.size.push_back(0);
        std::deque<int> open{start};
        r.label[static_cast<size_t>(start)] = id;
        while (!open.empty()) {
            const int p = open.front();
            open.pop_front();
            ++r.size.back();
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = p % w + dx, y = p / w + dy;
                    if ((dx != 0 && dy != 0 && connectivity == Connectivity::Four) || x < 0 ||
                        y < 0 || x >= w || y >= h || r.label[static_cast<size_t>(y) * w + x] >= 0 ||
                        map.At(x, y) != map.At(p % w, p / w))
                        continue;
                    r.label[static_cast<size_t>(y) * w + x] = id;
                    open.push_back(y * w + x);
                }
        }
    }
    return r;
}

// Over many maps from blocks to noise and photo-like ones: afterwards no region is smaller than
// N unless one region is left, the regions of N or more are as they were, and cleaning again
// changes nothing.
TEST(CleanupTest, InvariantsOverManyMaps) {
    std::vector<GroupMap> maps;
    for (unsigned seed = 1; seed <= 24; ++seed)
        maps.push_back(test::SpeckledMap(5 + seed % 7 * 9, 3 + seed % 5 * 11, 1 + seed % 4,
                                         static_cast<int>(seed * 4 % 101), seed));
    for (unsigned seed = 1; seed <= 4; ++seed)
        maps.push_back(test::PhotoMap(150, 110, 2 + seed % 3, seed));
    int n = 0;
    for (const GroupMap& before : maps)
        for (const Connectivity c : {Connectivity::Four, Connectivity::Eight}) {
            const std::int64_t minPixels = std::int64_t{2} << (n++ % 7);
            const Regions was = RegionsOf(before, c);
            GroupMap map = before;
            std::int64_t last = 0, total = 0;
            ASSERT_TRUE(CleanUp(map, minPixels, c, [&](std::int64_t done, std::int64_t all) {
                EXPECT_GE(done, last);
                last = done;
                total = all;
                return true;
            }));
            EXPECT_EQ(last, total);
            const Regions now = RegionsOf(map, c);
            const std::string what =
                "map " + std::to_string(n) + ", N " + std::to_string(minPixels);
            if (now.size.size() > 1) {
                for (const std::int64_t size : now.size)
                    ASSERT_GE(size, minPixels) << what;
            }
            for (int i = 0; i < map.Width() * map.Height(); ++i) {
                const int x = i % map.Width(), y = i / map.Width();
                if (was.size[static_cast<size_t>(was.label[static_cast<size_t>(i)])] >= minPixels) {
                    ASSERT_EQ(map.At(x, y), before.At(x, y)) << what << " at " << x << "," << y;
                }
            }
            GroupMap again = map;
            CleanUp(again, minPixels, c, {});
            EXPECT_EQ(again, map) << what;
        }
}

TEST(CleanupTest, StopsWhenAsked) {
    GroupMap map = test::SpeckledMap(200, 100, 4, 60, 3);
    int calls = 0;
    EXPECT_FALSE(CleanUp(map, 50, Connectivity::Four,
                         [&](std::int64_t, std::int64_t) { return ++calls < 10; }));
    EXPECT_EQ(calls, 10);
}

}  // namespace
}  // namespace colorsplit
