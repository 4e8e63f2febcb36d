#include "core/auto_seeds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/quantizer.h"
#include "support/fake_host.h"
#include "support/photo.h"
#include "support/reference_quantizer.h"

namespace colorsplit {
namespace {

using test::FakeHost;
using test::FakePicture;

// The same picture through its rows, as the window's picture gives it.
class RowsHost : public FakeHost {
public:
    explicit RowsHost(const FakePicture& p) {
        picture = p;
        for (const TColor c : p.pixels)
            rows_.push_back(0xFF000000u | static_cast<RowPixel>(RedOf(c)) << 16 |
                            static_cast<RowPixel>(GreenOf(c)) << 8 |
                            static_cast<RowPixel>(BlueOf(c)));
    }
    ConstPixelRows ReadRows() const override { return {rows_.data(), picture.width}; }

private:
    std::vector<RowPixel> rows_;
};

FakeHost Host(const FakePicture& picture) {
    FakeHost host;
    host.picture = picture;
    return host;
}

FakePicture Photo(int w, int h, unsigned seed) {
    FakePicture p(w, h);
    p.pixels = test::PhotoLike(w, h, seed);
    return p;
}

TEST(AutoSeeds, ReachWithinTwoPercentOfTheBestOfTenKMeansPlusPlusRestarts) {
    for (const unsigned seed : {3u, 2026u}) {
        const FakeHost host = Host(Photo(640, 480, seed));
        const std::vector<TColor> seeds = AutoSeeds(host, {}, kMaxColors, 2);
        ASSERT_EQ(seeds.size(), 4u);
        const float reached = test::ExecutedFrom(host, seeds);
        const float reference = test::BestOfKMeansPlusPlus(host, 10, 7);
        EXPECT_LE(reached, 1.02f * reference) << "photo " << seed;
    }
}

TEST(AutoSeeds, TheSameWhateverTheThreadsAndWhetherRowsAreGiven) {
    FakePicture noise(301, 77);
    std::mt19937 rng(5);
    for (TColor& c : noise.pixels)
        c = static_cast<TColor>(rng() & 0xFFFFFF);
    for (const FakePicture& picture : {Photo(320, 241, 9), noise}) {
        const RowsHost rows(picture);
        const FakeHost pixels = Host(picture);
        const std::vector<TColor> one = AutoSeeds(rows, {}, kMaxColors, 1);
        EXPECT_EQ(one.size(), 4u);
        for (const unsigned threads : {2u, 3u, 64u}) {
            EXPECT_EQ(AutoSeeds(rows, {}, kMaxColors, threads), one) << threads;
            EXPECT_EQ(AutoSeeds(pixels, {}, kMaxColors, threads), one) << threads;
        }
        const std::vector<TColor> picked = {one[2]};
        EXPECT_EQ(AutoSeeds(rows, picked, kMaxColors, 1), AutoSeeds(rows, picked, kMaxColors, 2));
    }
}

// Pictures of a few flat colours, laid out in stripes of the given widths.
FakePicture Stripes(const std::vector<std::pair<TColor, int>>& stripes) {
    int w = 0;
    for (const auto& s : stripes)
        w += s.second;
    FakePicture p(w, 10);
    int x = 0;
    for (const auto& [c, width] : stripes)
        for (int i = 0; i < width; ++i, ++x)
            for (int y = 0; y < 10; ++y)
                p.at(x, y) = c;
    return p;
}

std::vector<TColor> Sorted(std::vector<TColor> colours) {
    std::sort(colours.begin(), colours.end());
    return colours;
}

TEST(AutoSeeds, FindFlatColoursExactlyAroundWhatIsPicked) {
    const TColor red = PackColor(200, 30, 30), green = PackColor(30, 180, 40),
                 blue = PackColor(20, 40, 220), grey = PackColor(128, 128, 128);
    // Four greys in one cell of the count: taken colour by colour.
    const TColor g0 = PackColor(60, 60, 60), g1 = PackColor(61, 61, 61), g2 = PackColor(62, 62, 62),
                 g3 = PackColor(63, 63, 63);
    const struct {
        const char* name;
        FakePicture picture;
        std::vector<TColor> picked;
        std::vector<TColor> expected;  // in any order
    } cases[] = {
        {"four colours",
         Stripes({{red, 5}, {green, 50}, {blue, 2}, {grey, 9}}),
         {},
         {red, green, blue, grey}},
        {"the rest after two picks",
         Stripes({{red, 5}, {green, 50}, {blue, 2}, {grey, 9}}),
         {grey, green},
         {red, blue}},
        {"a pick beside a colour",
         Stripes({{red, 5}, {green, 50}, {blue, 2}, {grey, 9}}),
         {PackColor(120, 120, 130)},
         {red, green, blue}},
        // Were the pick to move onto the dark blue, the pale one would get a seed of its own.
        {"a pick that must stay",
         Stripes(
             {{PackColor(0, 0, 40), 200}, {PackColor(0, 0, 200), 10}, {red, 100}, {green, 100}}),
         {PackColor(0, 0, 0)},
         {PackColor(0, 0, 48), red, green}},
        {"four close greys", Stripes({{g0, 3}, {g1, 1}, {g2, 7}, {g3, 2}}), {}, {g0, g1, g2, g3}},
        {"two colours", Stripes({{red, 4}, {blue, 4}}), {}, {red, blue}},
        {"one colour, picked", Stripes({{red, 4}}), {red}, {}},
    };
    for (const auto& c : cases) {
        const FakeHost host = Host(c.picture);
        EXPECT_EQ(Sorted(AutoSeeds(host, c.picked, kMaxColors, 2)), Sorted(c.expected)) << c.name;
    }
}

}  // namespace
}  // namespace colorsplit
