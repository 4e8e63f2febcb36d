#include "core/trap.h"

#include <gtest/gtest.h>

#include <random>

#include "support/group_maps.h"

namespace colorsplit {
namespace {

// Row y of a film as '#' and '.'.
std::string Ink(Trap& trap, int group, int y, int width) {
    std::vector<std::uint8_t> ink(static_cast<size_t>(width));
    trap.FilmRow(group, y, ink.data());
    std::string row;
    for (const std::uint8_t i : ink)
        row += i ? '#' : '.';
    return row;
}

TEST(TrapTest, SmallMadeMaps) {
    const char* dot = "0000000/0000000/0000000/0001000/0000000/0000000/0000000";
    const TColor white = 0xFFFFFF, grey = 0x808080;
    // The same luminance, 0.2126 R + 0.7152 G + 0.0722 B, from different colours.
    const TColor blueish = PackColor(100, 100, 200), brownish = PackColor(131, 103, 79);
    struct Case {
        const char* what;
        const char* map;
        std::vector<TColor> colours;
        int width, group;
        const char* film;
    };
    const char* plain = ".......|.......|.......|...#...|.......|.......|.......";
    const char* others = "#######|#######|#######|###.###|#######|#######|#######";
    for (const Case& c : {
             Case{"a disc",
                  dot,
                  {0, white},
                  3,
                  1,
                  "...#...|.#####.|.#####.|#######|.#####.|.#####.|...#..."},
             Case{"the darkest film as it was", dot, {0, white}, 3, 0, others},
             Case{"width 0 is the plain film", dot, {0, white}, 0, 1, plain},
             Case{"equal luminance spreads neither way", dot, {blueish, brownish}, 3, 1, plain},
             Case{"", dot, {brownish, blueish}, 3, 0, others},
             Case{"only into darker groups", "2220111", {grey, white, 0}, 2, 0, ".###..."},
         }) {
        const GroupMap map = test::MapOf(c.map);
        Trap trap(map, c.colours, c.width);
        std::string film;
        for (int y = 0; y < map.Height(); ++y)
            film.append(y ? "|" : "").append(Ink(trap, c.group, y, map.Width()));
        EXPECT_EQ(film, c.film) << c.what;
    }
}

// Every film of random maps against the rule pixel by pixel, its rows made top to bottom and
// then some again in a random order.
TEST(TrapTest, FilmsMatchTheRuleAtEveryPixel) {
    std::mt19937 rng(11);
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const int k = 1 + static_cast<int>(seed % 4), t = static_cast<int>(seed * 5 % 12);
        const GroupMap map = test::SpeckledMap(3 + seed * 7 % 40, 2 + seed * 5 % 30, k, 20, seed);
        std::vector<TColor> colours;
        for (int g = 0; g < k; ++g)  // a few levels, so that some colours are equal
            colours.push_back(PackColor(rng() % 3 * 100, rng() % 3 * 100, rng() % 3 * 100));
        const auto lum = [&](int g) {
            return 2126 * RedOf(colours[g]) + 7152 * GreenOf(colours[g]) + 722 * BlueOf(colours[g]);
        };
        Trap trap(map, colours, t);
        for (int g = 0; g < k; ++g)
            for (int i = 0; i < map.Height() + 5; ++i) {
                const int y = i < map.Height() ? i : static_cast<int>(rng() % map.Height());
                std::string expected;
                for (int x = 0; x < map.Width(); ++x) {
                    bool ink = map.At(x, y) == g;
                    for (int dy = -t; dy <= t; ++dy)
                        for (int dx = -t; dx <= t; ++dx)
                            ink =
                                ink || (dx * dx + dy * dy <= t * t && x + dx >= 0 && y + dy >= 0 &&
                                        x + dx < map.Width() && y + dy < map.Height() &&
                                        map.At(x + dx, y + dy) == g && lum(map.At(x, y)) < lum(g));
                    expected += ink ? '#' : '.';
                }
                ASSERT_EQ(Ink(trap, g, y, map.Width()), expected) << "map " << seed << " row " << y;
            }
    }
}

}  // namespace
}  // namespace colorsplit
