#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "core/colors.h"
#include "core/group_map.h"
#include "core/group_pass.h"

namespace colorsplit::test {

// A photo-like picture: smooth regions of a few colours with shading, edges and sensor noise,
// so that groups are uneven and distances vary as in real pictures. Handed to row(pixels) a
// row at a time, top to bottom, so that a very large one needs no memory of its own.
template <typename Row>
void PhotoRows(int w, int h, unsigned seed, Row&& row) {
    std::mt19937 rng(seed);
    struct Blob {
        double cx, cy, r;
        int red, green, blue;
    };
    std::vector<Blob> blobs;
    for (int i = 0; i < 7; ++i) {
        blobs.push_back({static_cast<double>(rng() % (w + 1)), static_cast<double>(rng() % (h + 1)),
                         20.0 + rng() % (w / 2 + 20), static_cast<int>(rng() % 256),
                         static_cast<int>(rng() % 256), static_cast<int>(rng() % 256)});
    }
    std::vector<TColor> pixels(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Background: a diagonal gradient.
            int r = 40 + (150 * x) / (w + 1), g = 60 + (120 * y) / (h + 1), b = 120;
            for (const Blob& blob : blobs) {
                const double dx = x - blob.cx, dy = y - blob.cy;
                const double d2 = (dx * dx + dy * dy) / (blob.r * blob.r);
                if (d2 < 1.0) {
                    const double shade = 1.0 - 0.35 * d2;
                    r = static_cast<int>(blob.red * shade);
                    g = static_cast<int>(blob.green * shade);
                    b = static_cast<int>(blob.blue * shade);
                }
            }
            const auto noisy = [&](int v) {
                v += static_cast<int>(rng() % 9) - 4;
                return v < 0 ? 0 : v > 255 ? 255 : v;
            };
            pixels[static_cast<size_t>(x)] = PackColor(noisy(r), noisy(g), noisy(b));
        }
        row(pixels.data());
    }
}

// The whole picture, row by row.
inline std::vector<TColor> PhotoLike(int w, int h, unsigned seed) {
    std::vector<TColor> pixels;
    PhotoRows(w, h, seed, [&](const TColor* row) { pixels.insert(pixels.end(), row, row + w); });
    return pixels;
}

// A photo-like picture's groups: each pixel to the nearest of four colours picked from it at
// fixed places, as four clicks and a grouping pass would give. colours gets the four. noise
// moves each channel by up to that much at random first, for a grainier picture.
inline GroupMap PhotoGroups(int w, int h, unsigned seed, std::vector<TColor>* colours = nullptr,
                            int noise = 0) {
    std::vector<TColor> pixels = PhotoLike(w, h, seed);
    std::mt19937 rng(seed + 1);
    for (TColor& c : pixels) {
        if (noise == 0)
            break;
        const auto grain = [&](int v) {
            v += static_cast<int>(rng() % (2 * noise + 1)) - noise;
            return v < 0 ? 0 : v > 255 ? 255 : v;
        };
        c = PackColor(grain(RedOf(c)), grain(GreenOf(c)), grain(BlueOf(c)));
    }
    std::array<PixelRec, kMaxColors> codeBook{};
    const int picks[kMaxColors][2] = {{1, 1}, {7, 2}, {3, 6}, {8, 8}};
    for (int i = 0; i < kMaxColors; ++i) {
        const TColor c = pixels[static_cast<size_t>(picks[i][1] * (h - 1) / 9) * w +
                                static_cast<size_t>(picks[i][0] * (w - 1) / 9)];
        codeBook[i] = {RedOf(c), GreenOf(c), BlueOf(c), 0};
        if (colours)
            colours->push_back(c);
    }
    GroupMap map(w, h);
    std::vector<std::uint8_t> row(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const TColor c = pixels[static_cast<size_t>(y) * w + x];
            row[static_cast<size_t>(x)] = static_cast<std::uint8_t>(
                GroupOf({RedOf(c), GreenOf(c), BlueOf(c), 0}, codeBook, kMaxColors));
        }
        map.SetRow(y, row.data());
    }
    return map;
}

}  // namespace colorsplit::test
