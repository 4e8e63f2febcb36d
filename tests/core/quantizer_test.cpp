#include "core/quantizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>

#include "support/fake_host.h"

namespace colorsplit {
namespace {

using test::FakeHost;
using test::FakePicture;

FakePicture RandomPicture(int w, int h, unsigned seed) {
    FakePicture p(w, h);
    std::mt19937 rng(seed);
    for (TColor& c : p.pixels)
        c = static_cast<TColor>(rng() & 0xFFFFFF);
    return p;
}

TEST(ColorModel, SplitIgnoresTopByteAndPackKeepsLowBytes) {
    EXPECT_EQ(RedOf(-1), 255);
    EXPECT_EQ(GreenOf(-1), 255);
    EXPECT_EQ(BlueOf(-1), 255);
    EXPECT_EQ(RedOf(0x00332211), 0x11);
    EXPECT_EQ(GreenOf(0x00332211), 0x22);
    EXPECT_EQ(BlueOf(0x00332211), 0x33);
    EXPECT_EQ(PackColor(255, 0, 0), 255);
    EXPECT_EQ(PackColor(0x1FF, 0x100, -1), 0x00FF00FF);
}

TEST(PixelTable, StartsZeroAndSamplingLeavesRecordsOutsideThePictureAlone) {
    Quantizer q;
    EXPECT_EQ(q.View().Pixels[1279][959].R, 0);
    EXPECT_EQ(q.View().Pixels[1279][959].Group, 0);

    FakeHost host;
    host.picture = FakePicture(100, 100, PackColor(1, 2, 3));
    q.SparateColor(host);
    // Every record in group 1, by a grouping with (1, 2, 3) the second pick.
    q.Pick(PackColor(9, 9, 9));
    q.Pick(PackColor(1, 2, 3));
    q.Computer_Group(host);
    host.picture = FakePicture(50, 50, PackColor(9, 9, 9));
    q.SparateColor(host);

    EXPECT_EQ(q.View().Pixels[49][49].R, 9);
    EXPECT_EQ(q.View().Pixels[50][10].R, 1);
    EXPECT_EQ(q.View().Pixels[10][50].B, 3);
    EXPECT_EQ(q.View().Pixels[99][99].G, 2);
    EXPECT_EQ(q.View().Pixels[100][100].R, 0);
    EXPECT_EQ(q.View().Pixels[70][10].Group, 1) << "sampling must not touch Group";
}

TEST(PixelTable, NothingOutsideTheTableIsVisitedWhateverTheHostReports) {
    Quantizer q;
    FakeHost host;
    host.picture = FakePicture(4, 4, PackColor(5, 5, 5));
    host.reportedWidth = 5000;
    host.reportedHeight = 5000;
    EXPECT_EQ(Quantizer::ClampedWidth(host), kTableWidth);
    EXPECT_EQ(Quantizer::ClampedHeight(host), kTableHeight);
    host.reportedWidth = -7;
    EXPECT_EQ(Quantizer::ClampedWidth(host), 0);
}

TEST(MeanColour, AveragesTruncatingAndCopesWithNoPixels) {
    FakeHost host;
    Quantizer q;

    host.picture = FakePicture(7, 3, PackColor(10, 20, 30));
    q.SparateColor(host);
    EXPECT_EQ(q.Computer_Mean(host), PackColor(10, 20, 30));

    host.picture = FakePicture(2, 1);
    host.picture.at(0, 0) = PackColor(0, 255, 8);
    host.picture.at(1, 0) = PackColor(1, 254, 9);
    q.SparateColor(host);
    EXPECT_EQ(q.Computer_Mean(host), PackColor(0, 254, 8));

    host.picture = FakePicture(1, 1, PackColor(200, 100, 50));
    q.SparateColor(host);
    EXPECT_EQ(q.Computer_Mean(host), PackColor(200, 100, 50));

    host.picture = FakePicture();
    EXPECT_EQ(q.Computer_Mean(host), 0);
}

TEST(MeanColour, FullTableOfWhiteDoesNotOverflow) {
    FakeHost host;
    host.picture = FakePicture(kTableWidth, kTableHeight, PackColor(255, 255, 255));
    Quantizer q;
    q.SparateColor(host);
    EXPECT_EQ(q.Computer_Mean(host), PackColor(255, 255, 255));
}

TEST(Grouping, EqualDistancesGoToTheLowerIndex) {
    FakeHost host;
    host.picture = FakePicture(1, 1, PackColor(100, 100, 100));
    Quantizer q;
    q.Pick(PackColor(110, 100, 100));  // squared 100
    q.Pick(PackColor(0, 0, 0));
    q.Pick(PackColor(90, 100, 100));  // squared 100 too
    q.SparateColor(host);
    q.Computer_Group(host);
    EXPECT_EQ(q.View().Pixels[0][0].Group, 0);
    EXPECT_EQ(q.View().Distortion, 33.0f);
}

TEST(Grouping, DivisionByThreeComesBeforeTheComparison) {
    FakeHost host;
    host.picture = FakePicture(1, 1, PackColor(100, 100, 100));
    Quantizer q;
    q.Pick(PackColor(102, 101, 100));  // squared 5 -> 1
    q.Pick(PackColor(101, 101, 101));  // squared 3 -> 1
    q.SparateColor(host);
    q.Computer_Group(host);
    EXPECT_EQ(q.View().Pixels[0][0].Group, 0) << "5/3 and 3/3 are both 1: the lower index stays";
    EXPECT_EQ(q.View().Distortion, 1.0f);

    // With squared 2 against 3, 2/3 = 0 wins outright.
    Quantizer two;
    two.Pick(PackColor(101, 101, 100));
    two.Pick(PackColor(101, 101, 101));
    two.SparateColor(host);
    two.Computer_Group(host);
    EXPECT_EQ(two.View().Pixels[0][0].Group, 0);
    EXPECT_EQ(two.View().Distortion, 0.0f);
}

TEST(Grouping, DistortionIsTheSequentialFloatSumInColumnOrder) {
    FakeHost host;
    host.picture = RandomPicture(kTableWidth, kTableHeight, 7);
    Quantizer q;
    for (TColor c : {0x102030, 0xF0E0D0, 0x20C040, 0x8080FF})
        q.Pick(c);
    q.SparateColor(host);
    q.Computer_Group(host);

    const auto nearest = [&](int x, int y) {
        const PixelRec p{RedOf(host.picture.at(x, y)), GreenOf(host.picture.at(x, y)),
                         BlueOf(host.picture.at(x, y)), 0};
        std::int32_t best = GroupDistance(p, q.View().CodeBook[0]);
        for (int i = 1; i < 4; ++i)
            best = std::min(best, GroupDistance(p, q.View().CodeBook[i]));
        return static_cast<float>(best);
    };
    float columns = 0.0f, rows = 0.0f;
    for (int x = 0; x < kTableWidth; ++x)
        for (int y = 0; y < kTableHeight; ++y)
            columns += nearest(x, y);
    for (int y = 0; y < kTableHeight; ++y)
        for (int x = 0; x < kTableWidth; ++x)
            rows += nearest(x, y);

    ASSERT_GT(columns, 16777216.0f) << "the sum must pass 2^24 for the order to matter";
    ASSERT_NE(std::bit_cast<std::uint32_t>(columns), std::bit_cast<std::uint32_t>(rows))
        << "this picture does not tell the two orders apart";
    EXPECT_EQ(std::bit_cast<std::uint32_t>(q.View().Distortion),
              std::bit_cast<std::uint32_t>(columns));
}

TEST(Grouping, NoPickedColourLeavesEveryPixelInGroupZero) {
    FakeHost host;
    host.picture = RandomPicture(9, 4, 3);
    Quantizer q;
    q.SparateColor(host);
    // Groups of three picks first, the picks then taken back.
    for (const TColor c : {0x000000, 0x808080, 0xFFFFFF})
        q.Pick(c);
    q.Computer_Group(host);
    while (q.Unpick()) {
    }
    q.Computer_Group(host);
    EXPECT_EQ(q.View().Pixels[3][2].Group, 0);
    EXPECT_EQ(q.View().Distortion, 0.0f);
}

TEST(Update, EmptyGroupKeepsItsCodeVectorAndIsNeitherShownNorLogged) {
    FakeHost host;
    host.picture = FakePicture(2, 2, PackColor(10, 10, 10));
    host.picture.at(1, 1) = PackColor(13, 10, 10);
    Quantizer q;
    q.Pick(PackColor(12, 10, 10));
    q.Pick(PackColor(250, 250, 250));
    q.SparateColor(host);
    q.Computer_Group(host);
    q.Computer_Cenproid(host, host);

    EXPECT_EQ(q.View().CodeBook[0].R, 10) << "(10+10+10+13)/4 truncates to 10";
    EXPECT_EQ(q.View().SelColor[0], PackColor(10, 10, 10));
    EXPECT_EQ(q.View().CodeBook[1].R, 250);
    EXPECT_EQ(q.View().SelColor[1], PackColor(250, 250, 250));
    ASSERT_EQ(host.swatches.size(), 1u);
    EXPECT_EQ(host.swatches[0], std::make_pair(0, PackColor(10, 10, 10)));
    EXPECT_EQ(host.log, std::vector<std::string>{"group 0 657930"});
}

TEST(StopTest, ComparesInDoubleAgainstOneThousandthAndAlwaysCopies) {
    EXPECT_FALSE(DistortionMoved(1.0f, 1.0009765625f)) << "2^-10 < 0.001";
    EXPECT_TRUE(DistortionMoved(1.0f, 1.001953125f)) << "2^-9 > 0.001";
    EXPECT_FALSE(DistortionMoved(16.0f, 16.0f));
    // The test itself copies the distortion, whatever it finds: at the start (0, 65536), then
    // equal.
    Quantizer q;
    EXPECT_TRUE(q.RunOver());
    EXPECT_EQ(q.View().LastDistortion, 0.0f);
    EXPECT_FALSE(q.RunOver());
}

// Three pixels on the red axis and two picks, worked by hand: four iterations.
TEST(Execute, LogsEveryIterationAndEndsWhenTheDistortionSettles) {
    FakeHost host;
    host.picture = FakePicture(3, 1);
    host.picture.at(0, 0) = PackColor(0, 0, 0);
    host.picture.at(1, 0) = PackColor(10, 0, 0);
    host.picture.at(2, 0) = PackColor(100, 0, 0);
    Quantizer q;
    q.Pick(PackColor(0, 0, 0));
    q.Pick(PackColor(10, 0, 0));
    q.Button2Click(host, host);

    const std::vector<std::string> expected = {
        "run",         "sampled",     "iteration 1", "group 0 0",   "group 1 55",
        "iteration 2", "group 0 5",   "group 1 100", "iteration 3", "group 0 5",
        "group 1 100", "iteration 4", "group 0 5",   "group 1 100", "ended 4",
    };
    EXPECT_EQ(host.log, expected);
    EXPECT_EQ(q.View().RunCount, 4);
    EXPECT_EQ(q.View().Distortion, 16.0f);
    EXPECT_EQ(q.View().LastDistortion, 16.0f);
    EXPECT_EQ(q.View().Pixels[1][0].Group, 0);
    EXPECT_EQ(q.View().Pixels[2][0].Group, 1);

    // A second execute finds the pair equal: no iteration, count 0, groups kept.
    host.log.clear();
    q.Button2Click(host, host);
    EXPECT_EQ(host.log, (std::vector<std::string>{"run", "sampled", "ended 0"}));
    EXPECT_EQ(q.View().Pixels[2][0].Group, 1);
}

TEST(Execute, BeforeAnyPictureMakesOneIterationAndLeavesThePairAtZero) {
    FakeHost host;
    Quantizer q;
    q.Pick(PackColor(1, 2, 3));
    q.Button2Click(host, host);
    EXPECT_EQ(host.log.back(), "ended 1");
    EXPECT_EQ(q.View().Distortion, 0.0f);
    EXPECT_EQ(q.View().LastDistortion, 0.0f);
    EXPECT_EQ(q.View().CodeBook[0].B, 3);

    // From now on nothing iterates, even with a picture and more picks.
    host.picture = RandomPicture(20, 20, 1);
    q.Pick(PackColor(200, 2, 3));
    q.Button2Click(host, host);
    EXPECT_EQ(host.log.back(), "ended 0");
}

TEST(Execute, WithPixelsButNoPickEndsAfterOneIteration) {
    FakeHost host;
    host.picture = RandomPicture(30, 20, 5);
    Quantizer q;
    q.Button2Click(host, host);
    EXPECT_EQ(host.log.size(), 4u);
    EXPECT_EQ(host.log.back(), "ended 1");
    EXPECT_TRUE(host.swatches.empty());
}

// Over many random pictures: every pixel lands in 0..K-1, and each non-empty group's code
// vector is the truncated mean of the pixels the last grouping gave it.
TEST(Execute, InvariantsHoldOverRandomPictures) {
    std::mt19937 rng(42);
    for (int round = 0; round < 40; ++round) {
        const int w = 1 + static_cast<int>(rng() % 60);
        const int h = 1 + static_cast<int>(rng() % 60);
        const int k = 1 + static_cast<int>(rng() % 4);
        FakeHost host;
        host.picture = RandomPicture(w, h, rng());
        Quantizer q;
        for (int i = 0; i < k; ++i)
            q.Pick(host.picture.at(rng() % w, rng() % h));
        q.Button2Click(host, host);

        std::array<long, 4> n{}, r{}, g{}, b{};
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                const PixelRec& p = q.View().Pixels[x][y];
                ASSERT_GE(p.Group, 0);
                ASSERT_LT(p.Group, k);
                ++n[p.Group];
                r[p.Group] += p.R;
                g[p.Group] += p.G;
                b[p.Group] += p.B;
            }
        }
        ASSERT_GE(q.View().RunCount, 1);
        EXPECT_EQ(q.View().Distortion, q.View().LastDistortion);
        for (int i = 0; i < k; ++i) {
            if (n[i] == 0)
                continue;
            // The last pass left the code book where the grouping before it put the means.
            EXPECT_EQ(q.View().CodeBook[i].R, r[i] / n[i]) << "round " << round << " group " << i;
            EXPECT_EQ(q.View().CodeBook[i].G, g[i] / n[i]);
            EXPECT_EQ(q.View().CodeBook[i].B, b[i] / n[i]);
            EXPECT_EQ(q.View().SelColor[i], PackColor(r[i] / n[i], g[i] / n[i], b[i] / n[i]));
        }
    }
}

TEST(Mask, FirstMaskBeforeExecuteUsesGroupZeroEverywhere) {
    FakeHost host;
    const FakePicture original = RandomPicture(6, 5, 11);
    host.picture = original;
    Quantizer q;
    q.Mask(host, host, 0);
    EXPECT_EQ(host.picture.pixels, original.pixels);
    EXPECT_EQ(host.log, std::vector<std::string>{"masked"});
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_TRUE(q.View().MaskDone);
    EXPECT_EQ(host.restores, 0) << "nothing to undo yet";
}

TEST(Mask, SecondMaskRestoresThePictureAndShowsOnlyTheNewGroup) {
    FakeHost host;
    FakePicture original(4, 1);
    original.at(0, 0) = PackColor(250, 0, 0);
    original.at(1, 0) = PackColor(0, 0, 250);
    original.at(2, 0) = PackColor(240, 10, 0);
    original.at(3, 0) = PackColor(0, 10, 240);
    host.opened = original;
    host.picture = original;
    Quantizer q;
    q.Pick(PackColor(255, 0, 0));
    q.Pick(PackColor(0, 0, 255));
    q.Button2Click(host, host);

    q.Mask(host, host, 0);
    EXPECT_EQ(host.picture.pixels,
              (std::vector<TColor>{original.at(0, 0), 0, original.at(2, 0), 0}));
    q.Mask(host, host, 1);
    EXPECT_EQ(host.restores, 1);
    EXPECT_EQ(host.picture.pixels,
              (std::vector<TColor>{0, original.at(1, 0), 0, original.at(3, 0)}));

    // A group with no pixels paints everything black.
    q.Mask(host, host, 3);
    EXPECT_EQ(host.picture.pixels, std::vector<TColor>(4, 0));
}

TEST(Mask, FailedRestoreLeavesMaskDoneAndLogsNothing) {
    FakeHost host;
    host.picture = FakePicture(2, 2, 77);
    Quantizer q;
    q.Pick(77);
    q.Mask(host, host, 0);
    ASSERT_TRUE(q.View().MaskDone);
    host.log.clear();
    EXPECT_THROW(q.Mask(host, host, 1), std::runtime_error);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.picture.pixels, std::vector<TColor>(4, 77));
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Two picks of one colour on this picture send the plain loop round a cycle forever: the code
// book alternates between two states and the distortion between 1 and 2.
FakeHost CyclingPicture() {
    const int px[][3] = {{60, 59, 60}, {59, 58, 58}, {58, 59, 59}, {60, 60, 59},
                         {59, 59, 58}, {59, 60, 58}, {60, 60, 59}, {58, 60, 58},
                         {60, 59, 60}, {60, 58, 58}, {59, 59, 59}, {58, 58, 59}};
    FakeHost host;
    host.picture = FakePicture(6, 2);
    for (int i = 0; i < 12; ++i)
        host.picture.pixels[i] = PackColor(px[i][0], px[i][1], px[i][2]);
    return host;
}

TEST(Execute, ARunThatWouldCycleForeverEnds) {
    FakeHost host = CyclingPicture();
    const TColor c = host.picture.at(0, 0);

    // The plain passes never pass the stop test here.
    Quantizer plain;
    plain.Pick(c);
    plain.Pick(c);
    plain.SparateColor(host);
    int turns = 0;
    while (plain.RunOver() && turns < 1000) {
        plain.Computer_Group(host);
        plain.Computer_Cenproid(host, host);
        ++turns;
    }
    ASSERT_EQ(turns, 1000);

    Quantizer q;
    q.Pick(c);
    q.Pick(c);
    host.log.clear();
    q.Button2Click(host, host);
    // Iterations start from the code books S, A, B, C, B, C, ...: B comes back after the 4th.
    // The watch sees a repeat (C) after the 5th; the 6th closes the cycle and the run ends.
    EXPECT_EQ(q.View().RunCount, 6);
    EXPECT_EQ(host.log.back(), "ended 6");
    const auto progress = std::count_if(host.log.begin(), host.log.end(), [](const std::string& l) {
        return l.rfind("iteration", 0) == 0;
    });
    EXPECT_EQ(progress, q.View().RunCount);
    EXPECT_EQ(q.View().Distortion, q.View().LastDistortion);
    // It stopped inside the cycle, after the distortion had taken both of its values.
    EXPECT_TRUE(q.View().Distortion == 1.0f || q.View().Distortion == 2.0f);
}

}  // namespace
}  // namespace colorsplit
