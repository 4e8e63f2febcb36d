#include "core/dither.h"

#include <gtest/gtest.h>

#include <random>

#include "support/photo.h"

namespace colorsplit {
namespace {

RowPixel Word(TColor c) {
    return 0xFF000000u | RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c);
}

// The whole picture in one go with plain loops: every pixel's error in sixteenths kept for the
// whole picture, spread with bounds checks.
std::vector<std::uint8_t> Reference(const std::vector<TColor>& pixels, int w, int h,
                                    const std::vector<TColor>& colours) {
    std::vector<int> error(pixels.size() * 3);
    std::vector<std::uint8_t> groups(pixels.size());
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < w; ++i) {
            const int x = y % 2 == 0 ? i : w - 1 - i, to = y % 2 == 0 ? 1 : -1, at = y * w + x;
            const TColor p = pixels[at];
            int v[3] = {RedOf(p), GreenOf(p), BlueOf(p)}, d[4] = {}, e[3];
            for (int c = 0; c < 3; ++c)
                v[c] = std::clamp(v[c] + ((error[at * 3 + c] + 8) >> 4), 0, 255);
            for (size_t g = 0; g < colours.size(); ++g)
                for (int c = 0; c < 3; ++c)
                    d[g] += (v[c] - (colours[g] >> 8 * c & 0xFF)) *
                            (v[c] - (colours[g] >> 8 * c & 0xFF));
            const int best = static_cast<int>(std::min_element(d, d + colours.size()) - d);
            groups[at] = static_cast<std::uint8_t>(best);
            for (int c = 0; c < 3; ++c)
                e[c] = v[c] - (colours[best] >> 8 * c & 0xFF);
            for (const auto& [dx, dy, weight] :
                 {std::tuple{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}})
                if (x + dx * to >= 0 && x + dx * to < w && y + dy < h)
                    for (int c = 0; c < 3; ++c)
                        error[((y + dy) * w + x + dx * to) * 3 + c] += weight * e[c];
        }
    return groups;
}

// Photo-like pictures with 1 to 4 colours, fed in bands of 1, 7 and all rows, rows spaced
// wider than the picture.
TEST(DitherTest, BandsOfAnyHeightGiveThePlainLoopsGroups) {
    std::mt19937 rng(5);
    for (const auto& [w, h] : {std::pair{1, 5}, {2, 3}, {37, 23}, {64, 40}}) {
        const std::vector<TColor> photo = test::PhotoLike(w, h, static_cast<unsigned>(w));
        const int stride = w + 3;
        std::vector<RowPixel> padded(static_cast<size_t>(stride) * h);
        for (int i = 0; i < w * h; ++i)
            padded[static_cast<size_t>(i / w * stride + i % w)] =
                Word(photo[static_cast<size_t>(i)]);
        for (size_t k = 1; k <= 4; ++k) {
            std::vector<TColor> colours(k);
            for (TColor& c : colours)
                c = static_cast<TColor>(rng() & 0xFFFFFF);
            for (const int band : {1, 7, h}) {
                IndexDither dither(w, colours);
                std::vector<std::uint8_t> groups(static_cast<size_t>(w) * h);
                for (int y = 0; y < h; y += band)
                    dither.Rows(padded.data() + static_cast<size_t>(y) * stride, stride,
                                std::min(band, h - y), groups.data() + static_cast<size_t>(y) * w);
                EXPECT_EQ(groups, Reference(photo, w, h, colours))
                    << w << "x" << h << ", k " << k << ", band " << band;
            }
        }
    }
}

// A flat picture gives dots whose share matches where its colour lies between two groups'
// colours; between two equal colours the lower group takes it all.
TEST(DitherTest, AFlatColourGivesDotsInItsMix) {
    struct Case {
        TColor flat, a, b;
        double shareOfA;
    };
    for (const Case& c :
         {Case{0x404040, 0xFFFFFF, 0, 64 / 255.0}, Case{0x320096, 0xC8, 0xC80000, 0.75},
          Case{0x808080, 0, 0xFFFFFF, 0.5}, Case{0xF0145A, 0xC8C8C8, 0xC8C8C8, 1.0}}) {
        constexpr int kSide = 64;
        const std::vector<RowPixel> pixels(kSide * kSide, Word(c.flat));
        std::vector<std::uint8_t> groups(kSide * kSide);
        IndexDither(kSide, {c.a, c.b}).Rows(pixels.data(), kSide, kSide, groups.data());
        EXPECT_NEAR(std::count(groups.begin(), groups.end(), 0) / double(kSide * kSide), c.shareOfA,
                    0.01)
            << std::hex << c.flat;
    }
}

}  // namespace
}  // namespace colorsplit
