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

// The state as start-up leaves it.
Quantizer StartedUp() {
    Quantizer q;
    q.LastDistortion = kInitialLastDistortion;
    return q;
}

void Pick(Quantizer& q, TColor c) {
    q.SelColor[q.ColorCount] = c;
    q.CodeBook[q.ColorCount] = {RedOf(c), GreenOf(c), BlueOf(c), 0};
    ++q.ColorCount;
}

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
    Quantizer q = StartedUp();
    EXPECT_EQ(q.Pixels[1279][959].R, 0);
    EXPECT_EQ(q.Pixels[1279][959].Group, 0);

    FakeHost host;
    host.picture = FakePicture(100, 100, PackColor(1, 2, 3));
    q.SparateColor(host);
    host.picture = FakePicture(50, 50, PackColor(9, 9, 9));
    q.Pixels[70][10].Group = 3;
    q.SparateColor(host);

    EXPECT_EQ(q.Pixels[49][49].R, 9);
    EXPECT_EQ(q.Pixels[50][10].R, 1);
    EXPECT_EQ(q.Pixels[10][50].B, 3);
    EXPECT_EQ(q.Pixels[99][99].G, 2);
    EXPECT_EQ(q.Pixels[100][100].R, 0);
    EXPECT_EQ(q.Pixels[70][10].Group, 3) << "sampling must not touch Group";
}

TEST(PixelTable, NothingOutsideTheTableIsVisitedWhateverTheHostReports) {
    Quantizer q = StartedUp();
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
    Quantizer q = StartedUp();

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
    Quantizer q = StartedUp();
    q.SparateColor(host);
    EXPECT_EQ(q.Computer_Mean(host), PackColor(255, 255, 255));
}

TEST(Grouping, EqualDistancesGoToTheLowerIndex) {
    FakeHost host;
    host.picture = FakePicture(1, 1, PackColor(100, 100, 100));
    Quantizer q = StartedUp();
    Pick(q, PackColor(110, 100, 100));  // squared 100
    Pick(q, PackColor(0, 0, 0));
    Pick(q, PackColor(90, 100, 100));  // squared 100 too
    q.SparateColor(host);
    q.Computer_Group(host);
    EXPECT_EQ(q.Pixels[0][0].Group, 0);
    EXPECT_EQ(q.Distortion, 33.0f);
}

TEST(Grouping, DivisionByThreeComesBeforeTheComparison) {
    FakeHost host;
    host.picture = FakePicture(1, 1, PackColor(100, 100, 100));
    Quantizer q = StartedUp();
    Pick(q, PackColor(102, 101, 100));  // squared 5 -> 1
    Pick(q, PackColor(101, 101, 101));  // squared 3 -> 1
    q.SparateColor(host);
    q.Computer_Group(host);
    EXPECT_EQ(q.Pixels[0][0].Group, 0) << "5/3 and 3/3 are both 1: the lower index stays";
    EXPECT_EQ(q.Distortion, 1.0f);

    // With squared 2 against 3, 2/3 = 0 wins outright.
    q.CodeBook[0] = {101, 101, 100, 0};
    q.Computer_Group(host);
    EXPECT_EQ(q.Pixels[0][0].Group, 0);
    EXPECT_EQ(q.Distortion, 0.0f);
}

TEST(Grouping, DistortionIsTheSequentialFloatSumInColumnOrder) {
    FakeHost host;
    host.picture = RandomPicture(kTableWidth, kTableHeight, 7);
    Quantizer q = StartedUp();
    for (TColor c : {0x102030, 0xF0E0D0, 0x20C040, 0x8080FF})
        Pick(q, c);
    q.SparateColor(host);
    q.Computer_Group(host);

    const auto nearest = [&](int x, int y) {
        const PixelRec p{RedOf(host.picture.at(x, y)), GreenOf(host.picture.at(x, y)),
                         BlueOf(host.picture.at(x, y)), 0};
        std::int32_t best = GroupDistance(p, q.CodeBook[0]);
        for (int i = 1; i < 4; ++i)
            best = std::min(best, GroupDistance(p, q.CodeBook[i]));
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
    EXPECT_EQ(std::bit_cast<std::uint32_t>(q.Distortion), std::bit_cast<std::uint32_t>(columns));
}

TEST(Grouping, NoPickedColourLeavesEveryPixelInGroupZero) {
    FakeHost host;
    host.picture = RandomPicture(9, 4, 3);
    Quantizer q = StartedUp();
    q.Pixels[3][2].Group = 2;
    q.SparateColor(host);
    q.Computer_Group(host);
    EXPECT_EQ(q.Pixels[3][2].Group, 0);
    EXPECT_EQ(q.Distortion, 0.0f);
}

TEST(Update, EmptyGroupKeepsItsCodeVectorAndIsNeitherShownNorLogged) {
    FakeHost host;
    host.picture = FakePicture(2, 2, PackColor(10, 10, 10));
    host.picture.at(1, 1) = PackColor(13, 10, 10);
    Quantizer q = StartedUp();
    Pick(q, PackColor(12, 10, 10));
    Pick(q, PackColor(250, 250, 250));
    q.SparateColor(host);
    q.Computer_Group(host);
    q.Computer_Cenproid(host);

    EXPECT_EQ(q.CodeBook[0].R, 10) << "(10+10+10+13)/4 truncates to 10";
    EXPECT_EQ(q.SelColor[0], PackColor(10, 10, 10));
    EXPECT_EQ(q.CodeBook[1].R, 250);
    EXPECT_EQ(q.SelColor[1], PackColor(250, 250, 250));
    ASSERT_EQ(host.swatches.size(), 1u);
    EXPECT_EQ(host.swatches[0], std::make_pair(0, PackColor(10, 10, 10)));
    EXPECT_EQ(host.log, std::vector<std::string>{"代表顏色1值為657930"});
}

TEST(StopTest, ComparesInDoubleAgainstOneThousandthAndAlwaysCopies) {
    Quantizer q = StartedUp();
    q.Distortion = 1.0f;
    q.LastDistortion = 1.0009765625f;  // differs by 2^-10 < 0.001
    EXPECT_FALSE(q.RunOver());
    EXPECT_EQ(q.LastDistortion, 1.0f);
    q.Distortion = 1.001953125f;  // 2^-9 > 0.001
    EXPECT_TRUE(q.RunOver());
    EXPECT_EQ(q.LastDistortion, 1.001953125f);
}

// Three pixels on the red axis and two picks, worked by hand: four iterations.
TEST(Execute, LogsEveryIterationAndEndsWhenTheDistortionSettles) {
    FakeHost host;
    host.picture = FakePicture(3, 1);
    host.picture.at(0, 0) = PackColor(0, 0, 0);
    host.picture.at(1, 0) = PackColor(10, 0, 0);
    host.picture.at(2, 0) = PackColor(100, 0, 0);
    Quantizer q = StartedUp();
    Pick(q, PackColor(0, 0, 0));
    Pick(q, PackColor(10, 0, 0));
    q.Button2Click(host);

    const std::vector<std::string> expected = {
        "初始化運算開始", "初始化完成,VQ運算開始", "***********運算執行第1回********",
        "代表顏色1值為0", "代表顏色2值為55",       "***********運算執行第2回********",
        "代表顏色1值為5", "代表顏色2值為100",      "***********運算執行第3回********",
        "代表顏色1值為5", "代表顏色2值為100",      "***********運算執行第4回********",
        "代表顏色1值為5", "代表顏色2值為100",      "運算完成,請執行Mask,共計執行4回",
    };
    EXPECT_EQ(host.log, expected);
    EXPECT_EQ(q.RunCount, 4);
    EXPECT_EQ(q.Distortion, 16.0f);
    EXPECT_EQ(q.LastDistortion, 16.0f);
    EXPECT_EQ(q.Pixels[1][0].Group, 0);
    EXPECT_EQ(q.Pixels[2][0].Group, 1);

    // A second execute finds the pair equal: no iteration, count 0, groups kept.
    host.log.clear();
    q.Button2Click(host);
    EXPECT_EQ(host.log, (std::vector<std::string>{"初始化運算開始", "初始化完成,VQ運算開始",
                                                  "運算完成,請執行Mask,共計執行0回"}));
    EXPECT_EQ(q.Pixels[2][0].Group, 1);
}

TEST(Execute, BeforeAnyPictureMakesOneIterationAndLeavesThePairAtZero) {
    FakeHost host;
    Quantizer q = StartedUp();
    Pick(q, PackColor(1, 2, 3));
    q.Button2Click(host);
    EXPECT_EQ(host.log.back(), "運算完成,請執行Mask,共計執行1回");
    EXPECT_EQ(q.Distortion, 0.0f);
    EXPECT_EQ(q.LastDistortion, 0.0f);
    EXPECT_EQ(q.CodeBook[0].B, 3);

    // From now on nothing iterates, even with a picture and more picks.
    host.picture = RandomPicture(20, 20, 1);
    Pick(q, PackColor(200, 2, 3));
    q.Button2Click(host);
    EXPECT_EQ(host.log.back(), "運算完成,請執行Mask,共計執行0回");
}

TEST(Execute, WithPixelsButNoPickEndsAfterOneIteration) {
    FakeHost host;
    host.picture = RandomPicture(30, 20, 5);
    Quantizer q = StartedUp();
    q.Button2Click(host);
    EXPECT_EQ(host.log.size(), 4u);
    EXPECT_EQ(host.log.back(), "運算完成,請執行Mask,共計執行1回");
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
        Quantizer q = StartedUp();
        for (int i = 0; i < k; ++i)
            Pick(q, host.picture.at(rng() % w, rng() % h));
        q.Button2Click(host);

        std::array<long, 4> n{}, r{}, g{}, b{};
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                const PixelRec& p = q.Pixels[x][y];
                ASSERT_GE(p.Group, 0);
                ASSERT_LT(p.Group, k);
                ++n[p.Group];
                r[p.Group] += p.R;
                g[p.Group] += p.G;
                b[p.Group] += p.B;
            }
        }
        ASSERT_GE(q.RunCount, 1);
        EXPECT_EQ(q.Distortion, q.LastDistortion);
        for (int i = 0; i < k; ++i) {
            if (n[i] == 0)
                continue;
            // The last pass left the code book where the grouping before it put the means.
            EXPECT_EQ(q.CodeBook[i].R, r[i] / n[i]) << "round " << round << " group " << i;
            EXPECT_EQ(q.CodeBook[i].G, g[i] / n[i]);
            EXPECT_EQ(q.CodeBook[i].B, b[i] / n[i]);
            EXPECT_EQ(q.SelColor[i], PackColor(r[i] / n[i], g[i] / n[i], b[i] / n[i]));
        }
    }
}

TEST(Mask, FirstMaskBeforeExecuteUsesGroupZeroEverywhere) {
    FakeHost host;
    const FakePicture original = RandomPicture(6, 5, 11);
    host.picture = original;
    Quantizer q = StartedUp();
    q.Mask(host, 0);
    EXPECT_EQ(host.picture.pixels, original.pixels);
    EXPECT_EQ(host.log, std::vector<std::string>{"處理完成"});
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_TRUE(q.MaskDone);
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
    Quantizer q = StartedUp();
    Pick(q, PackColor(255, 0, 0));
    Pick(q, PackColor(0, 0, 255));
    q.Button2Click(host);

    q.Mask(host, 0);
    EXPECT_EQ(host.picture.pixels,
              (std::vector<TColor>{original.at(0, 0), 0, original.at(2, 0), 0}));
    q.Mask(host, 1);
    EXPECT_EQ(host.restores, 1);
    EXPECT_EQ(host.picture.pixels,
              (std::vector<TColor>{0, original.at(1, 0), 0, original.at(3, 0)}));

    // A group with no pixels paints everything black.
    q.Mask(host, 3);
    EXPECT_EQ(host.picture.pixels, std::vector<TColor>(4, 0));
}

TEST(Mask, FailedRestoreLeavesMaskDoneAndLogsNothing) {
    FakeHost host;
    host.picture = FakePicture(2, 2, 77);
    Quantizer q = StartedUp();
    q.MaskDone = true;
    EXPECT_THROW(q.Mask(host, 1), std::runtime_error);
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
    Quantizer plain = StartedUp();
    Pick(plain, c);
    Pick(plain, c);
    plain.SparateColor(host);
    int turns = 0;
    while (plain.RunOver() && turns < 1000) {
        plain.Computer_Group(host);
        plain.Computer_Cenproid(host);
        ++turns;
    }
    ASSERT_EQ(turns, 1000);

    Quantizer q = StartedUp();
    Pick(q, c);
    Pick(q, c);
    host.log.clear();
    q.Button2Click(host);
    // Iterations start from the code books S, A, B, C, B, C, ...: B comes back after the 4th.
    // The watch sees a repeat (C) after the 5th; the 6th closes the cycle and the run ends.
    EXPECT_EQ(q.RunCount, 6);
    EXPECT_EQ(host.log.back(), "運算完成,請執行Mask,共計執行6回");
    const auto progress = std::count_if(host.log.begin(), host.log.end(), [](const std::string& l) {
        return l.rfind("***********", 0) == 0;
    });
    EXPECT_EQ(progress, q.RunCount);
    EXPECT_EQ(q.Distortion, q.LastDistortion);
    // It stopped inside the cycle, after the distortion had taken both of its values.
    EXPECT_TRUE(q.Distortion == 1.0f || q.Distortion == 2.0f);
}

}  // namespace
}  // namespace colorsplit
