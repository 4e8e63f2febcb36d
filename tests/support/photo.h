#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "core/colors.h"

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

}  // namespace colorsplit::test
