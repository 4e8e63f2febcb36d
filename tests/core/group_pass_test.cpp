// The fast grouping path against the plain loops: every instruction set the CPU runs, after
// every iteration and over whole runs, bit for bit.
#include "core/group_pass.h"

#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <bit>
#include <random>

#include "core/quantizer.h"
#include "support/fake_host.h"
#include "support/photo.h"
#include "support/reference_quantizer.h"

namespace colorsplit {
namespace {

using test::FakeHost;
using test::FakePicture;

std::uint32_t Bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

struct Case {
    const char* name;
    int w, h, k;
    unsigned seed;
    bool photo;
    bool ties;  // code vectors one step apart, so that many distances tie after the /3
};

FakePicture MakePicture(const Case& c) {
    FakePicture p(c.w, c.h);
    if (c.photo) {
        p.pixels = test::PhotoLike(c.w, c.h, c.seed);
    } else {
        std::mt19937 rng(c.seed);
        for (TColor& px : p.pixels)
            px = static_cast<TColor>(rng() & 0xFFFFFF);
    }
    return p;
}

// The same picks for the fast path and for the plain loops.
void Pick(Quantizer& fast, QuantState& ref, const Case& c, const FakePicture& picture) {
    std::mt19937 rng(c.seed * 7 + 1);
    for (int i = 0; i < c.k; ++i) {
        TColor color = picture.at(static_cast<int>(rng() % c.w), static_cast<int>(rng() % c.h));
        if (c.ties)
            color = PackColor(100 + (i & 1), 100 + (i >> 1), 100);
        fast.Pick(color);
        ref.SelColor[i] = color;
        ref.CodeBook[i] = {RedOf(color), GreenOf(color), BlueOf(color), 0};
    }
    ref.ColorCount = c.k;
}

void ExpectSameTable(const QuantState& fast, const QuantState& ref, int w, int h) {
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            ASSERT_EQ(fast.Pixels[x][y].Group, ref.Pixels[x][y].Group) << x << "," << y;
}

void ExpectSameCodeBook(const QuantState& fast, const QuantState& ref) {
    for (int i = 0; i < kMaxColors; ++i) {
        EXPECT_EQ(fast.CodeBook[i].R, ref.CodeBook[i].R) << i;
        EXPECT_EQ(fast.CodeBook[i].G, ref.CodeBook[i].G) << i;
        EXPECT_EQ(fast.CodeBook[i].B, ref.CodeBook[i].B) << i;
        EXPECT_EQ(fast.SelColor[i], ref.SelColor[i]) << i;
    }
}

// The same picture and picks twice: one state for the fast path, one for the plain loops.
struct Pair {
    explicit Pair(const Case& c)
        : fast(std::make_unique<Quantizer>()), ref(test::ReferenceState()) {
        fastHost.picture = refHost.picture = MakePicture(c);
        Pick(*fast, ref, c, fastHost.picture);
    }
    FakeHost fastHost, refHost;
    std::unique_ptr<Quantizer> fast;
    QuantState ref;
};

const Case kCases[] = {
    {"1x1", 1, 1, 4, 1, false, false},
    {"5x3", 5, 3, 3, 2, false, false},
    {"7x17 tails", 7, 17, 4, 3, false, false},
    {"33x40 one group", 33, 40, 1, 4, true, false},
    {"40x31 two groups", 40, 31, 2, 5, false, false},
    {"64x48 no pick", 64, 48, 0, 6, true, false},
    {"61x53 ties", 61, 53, 4, 7, false, true},
    {"200x150 photo", 200, 150, 4, 8, true, false},
    {"1277x953 photo", 1277, 953, 4, 9, true, false},
    {"1280x960 random", 1280, 960, 4, 10, false, false},
    {"1280x960 photo, three", 1280, 960, 3, 11, true, false},
};

// Every instruction set built in that this CPU runs, one after another, through Highway's own
// per-target test support: the pass dispatches to the one the test sets.
class FastPath : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(FastPath);

TEST_P(FastPath, EveryIterationMatchesThePlainLoops) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Pair pair(c);
        FakeHost &fastHost = pair.fastHost, &refHost = pair.refHost;
        Quantizer& fast = *pair.fast;
        QuantState& ref = pair.ref;
        fast.SparateColor(fastHost);
        test::ReferenceSample(ref, refHost);
        for (int iteration = 0; iteration < 60 && test::ReferenceRunOver(ref); ++iteration) {
            fast.RunOver();
            fast.Computer_Group(fastHost);
            test::ReferenceGroup(ref, refHost);
            ASSERT_EQ(Bits(fast.View().Distortion), Bits(ref.Distortion))
                << "iteration " << iteration;
            ExpectSameTable(fast.View(), ref, c.w, c.h);
            fast.Computer_Cenproid(fastHost, fastHost);
            test::ReferenceCenproid(ref, refHost, refHost);
            ExpectSameCodeBook(fast.View(), ref);
        }
        EXPECT_EQ(fastHost.log, refHost.log);
        EXPECT_EQ(fastHost.swatches, refHost.swatches);
    }
}

// The execute command, whose iterations take the group sums in the grouping scan, against
// the same command written with the plain passes.
TEST_P(FastPath, WholeRunsMatchThePlainLoops) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Pair pair(c);
        FakeHost &fastHost = pair.fastHost, &refHost = pair.refHost;
        Quantizer& fast = *pair.fast;
        QuantState& ref = pair.ref;

        fast.Button2Click(fastHost, fastHost);

        refHost.RunStarting();
        test::ReferenceSample(ref, refHost);
        refHost.RunSampled();
        ref.RunCount = 0;
        while (test::ReferenceRunOver(ref)) {
            refHost.IterationStarting(ref.RunCount + 1);
            test::ReferenceGroup(ref, refHost);
            test::ReferenceCenproid(ref, refHost, refHost);
            ++ref.RunCount;
        }
        refHost.RunEnded(ref.RunCount);

        EXPECT_EQ(fastHost.log, refHost.log);
        EXPECT_EQ(fastHost.swatches, refHost.swatches);
        EXPECT_EQ(fast.View().RunCount, ref.RunCount);
        EXPECT_EQ(Bits(fast.View().Distortion), Bits(ref.Distortion));
        EXPECT_EQ(Bits(fast.View().LastDistortion), Bits(ref.LastDistortion));
        ExpectSameCodeBook(fast.View(), ref);
        ExpectSameTable(fast.View(), ref, c.w, c.h);
    }
}

// Every squared distance a pixel can have, 0 to 3 x 255^2, divided by 3 by every kernel. The
// pixels go in columns of 192 (whole vectors, no scalar tail), few enough that each column's
// distortion is a float sum without rounding, so any quotient off by one shows.
TEST_P(FastPath, EverySquaredDistanceDividesExactly) {
    std::vector<PixelRec> bySquare(3 * 255 * 255 + 1, PixelRec{-1, -1, -1, 0});
    for (int a = 0; a <= 255; ++a)
        for (int b = a; b <= 255; ++b)
            for (int c = b; c <= 255; ++c) {
                PixelRec& p = bySquare[a * a + b * b + c * c];
                if (p.R < 0)
                    p = {a, b, c, 0};
            }
    std::vector<PixelRec> pixels;
    for (const PixelRec& p : bySquare)
        if (p.R >= 0)
            pixels.push_back(p);

    constexpr int kColumn = 192;
    // The last column is filled up with black (squared distance 0).
    pixels.resize((pixels.size() + kColumn - 1) / kColumn * kColumn, PixelRec{});
    const std::array<PixelRec, kMaxColors> codeBook{};
    auto table = std::make_unique<Column[]>(1);
    {
        for (size_t start = 0; start + kColumn <= pixels.size(); start += kColumn) {
            float expected = 0.0f;
            for (int y = 0; y < kColumn; ++y) {
                table[0][y] = pixels[start + y];
                expected += static_cast<float>(GroupDistance(pixels[start + y], codeBook[0]));
            }
            GroupSums sums;
            const float got = GroupPass(table.get(), 1, kColumn, codeBook, 1, sums);
            ASSERT_EQ(got, expected) << "column from square " << start;
            ASSERT_EQ(sums.n[0], kColumn);
        }
    }
}

// Rows of full-size pictures, grouped a vector at a time, against GroupOf a pixel at a time:
// random and photo-like rows, tied and spread code books, every k, rows that end in a tail.
TEST_P(FastPath, RowsGroupAsGroupOfDoes) {
    std::mt19937 rng(12);
    for (const int n : {1, 7, 16, 37, 1000, 4032}) {
        const std::vector<TColor> photo = test::PhotoLike(n, 1, static_cast<unsigned>(n));
        for (int k = 1; k <= kMaxColors; ++k) {
            for (const bool ties : {false, true}) {
                std::array<PixelRec, kMaxColors> codeBook{};
                for (int i = 0; i < k; ++i)
                    codeBook[i] = ties ? PixelRec{100 + (i & 1), 100 + (i >> 1), 100, 0}
                                       : PixelRec{static_cast<int>(rng() % 256),
                                                  static_cast<int>(rng() % 256),
                                                  static_cast<int>(rng() % 256), 0};
                std::vector<RowPixel> row(static_cast<size_t>(n));
                for (int x = 0; x < n; ++x) {
                    const TColor c = x % 2 == 0 ? photo[x] : static_cast<TColor>(rng() & 0xFFFFFF);
                    row[x] = 0xFF000000u |
                             static_cast<RowPixel>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c));
                }
                std::vector<std::uint8_t> groups(static_cast<size_t>(n), 0xEE);
                GroupRow(row.data(), n, codeBook, k, groups.data());
                for (int x = 0; x < n; ++x)
                    ASSERT_EQ(groups[x],
                              GroupOf({RowRed(row[x]), RowGreen(row[x]), RowBlue(row[x]), 0},
                                      codeBook, k))
                        << "pixel " << x << " of " << n << ", k " << k << (ties ? ", ties" : "");
            }
        }
    }
}

}  // namespace
}  // namespace colorsplit
