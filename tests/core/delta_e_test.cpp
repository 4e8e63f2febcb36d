#include "core/delta_e.h"

#include <gtest/gtest.h>

#include <cmath>

namespace colorsplit {
namespace {

// Sharma, Wu and Dalal's test pairs (Color Research and Application 30, 2005), with the
// difference they publish to four decimals.
struct Pair {
    Lab x, y;
    double deltaE;
};
const Pair kPairs[] = {
    {{50.0000, 2.6772, -79.7751}, {50.0000, 0.0000, -82.7485}, 2.0425},
    {{50.0000, 3.1571, -77.2803}, {50.0000, 0.0000, -82.7485}, 2.8615},
    {{50.0000, 2.8361, -74.0200}, {50.0000, 0.0000, -82.7485}, 3.4412},
    {{50.0000, -1.3802, -84.2814}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, -1.1848, -84.8006}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, -0.9009, -85.5211}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, 0.0000, 0.0000}, {50.0000, -1.0000, 2.0000}, 2.3669},
    {{50.0000, -1.0000, 2.0000}, {50.0000, 0.0000, 0.0000}, 2.3669},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0009}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0010}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0011}, 7.2195},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0012}, 7.2195},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0009, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0010, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0011, -2.4900}, 4.7461},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 0.0000, -2.5000}, 4.3065},
    {{50.0000, 2.5000, 0.0000}, {73.0000, 25.0000, -18.0000}, 27.1492},
    {{50.0000, 2.5000, 0.0000}, {61.0000, -5.0000, 29.0000}, 22.8977},
    {{50.0000, 2.5000, 0.0000}, {56.0000, -27.0000, -3.0000}, 31.9030},
    {{50.0000, 2.5000, 0.0000}, {58.0000, 24.0000, 15.0000}, 19.4535},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.1736, 0.5854}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2972, 0.0000}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 1.8634, 0.5757}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2592, 0.3350}, 1.0000},
    {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
    {{63.0109, -31.0961, -5.8663}, {62.8187, -29.7946, -4.0864}, 1.2630},
    {{61.2901, 3.7196, -5.3901}, {61.4292, 2.2480, -4.9620}, 1.8731},
    {{35.0831, -44.1164, 3.7933}, {35.0232, -40.0716, 1.5901}, 1.8645},
    {{22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
    {{36.4612, 47.8580, 18.3852}, {36.2715, 50.5065, 21.2231}, 1.4146},
    {{90.8027, -2.0831, 1.4410}, {91.1528, -1.6435, 0.0447}, 1.4441},
    {{90.9257, -0.5406, -0.9208}, {88.6381, -0.8985, -0.7239}, 1.5381},
    {{6.7747, -0.2908, -2.4247}, {5.8714, -0.0985, -2.2286}, 0.6377},
    {{2.0776, 0.0795, -1.1350}, {0.9033, -0.0636, -0.5514}, 0.9082},
};

TEST(DeltaE2000, AgreesWithThePublishedPairsToFourDecimalsEitherWayRound) {
    ASSERT_EQ(std::size(kPairs), 34u);
    for (size_t i = 0; i < std::size(kPairs); ++i) {
        const Pair& p = kPairs[i];
        const double expected = std::round(p.deltaE * 1e4);
        EXPECT_EQ(std::round(DeltaE2000(p.x, p.y) * 1e4), expected) << "pair " << i + 1;
        EXPECT_EQ(std::round(DeltaE2000(p.y, p.x) * 1e4), expected) << "pair " << i + 1;
    }
}

TEST(LabOf, SrgbPrimariesAndGreysLandWhereTheStandardPutsThem) {
    const struct {
        TColor c;
        Lab lab;
    } cases[] = {
        {PackColor(255, 255, 255), {100, 0, 0}},
        {PackColor(0, 0, 0), {0, 0, 0}},
        {PackColor(119, 119, 119), {50.03, 0, 0}},
        {PackColor(255, 0, 0), {53.24, 80.09, 67.20}},
        {PackColor(0, 255, 0), {87.73, -86.18, 83.18}},
        {PackColor(0, 0, 255), {32.30, 79.19, -107.86}},
        {PackColor(1, 1, 1), {0.27, 0, 0}},  // on the curve's straight part
    };
    for (const auto& c : cases) {
        const Lab lab = LabOf(c.c);
        EXPECT_NEAR(lab.L, c.lab.L, 0.01) << c.c;
        EXPECT_NEAR(lab.a, c.lab.a, 0.01) << c.c;
        EXPECT_NEAR(lab.b, c.lab.b, 0.01) << c.c;
    }
}

TEST(InkTable, FindsThePerceptuallyNearestInkAndTheFirstOfEquals) {
    EXPECT_EQ(InkTable().Nearest(PackColor(1, 2, 3)).index, -1);

    const InkTable inks({{PackColor(255, 0, 0), "red"},
                         {PackColor(0x1C, 0xD6, 0x80), "near in RGB"},
                         {PackColor(0x57, 0xEF, 0x79), "near to the eye"},
                         {PackColor(255, 0, 0), "red again"}});
    const InkMatch red = inks.Nearest(PackColor(255, 0, 0));
    EXPECT_EQ(red.index, 0);
    EXPECT_EQ(red.deltaE, 0);
    // RGB distances 1643 and 7160, CIEDE2000 7.96 and 2.52: the eye's measure decides.
    const InkMatch green = inks.Nearest(PackColor(0x03, 0xF1, 0x6F));
    EXPECT_EQ(green.index, 2);
    EXPECT_NEAR(green.deltaE, 2.52, 0.005);
}

}  // namespace
}  // namespace colorsplit
