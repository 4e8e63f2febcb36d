#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "core/colors.h"

namespace colorsplit::test {

// A photo-like picture: smooth regions of a few colours with shading, edges and sensor noise,
// so that groups are uneven and distances vary as in real pictures. Made a row at a time, so
// that a very large one needs no memory of its own.
class PhotoRows {
public:
    PhotoRows(int w, int h, unsigned seed) : w_(w), h_(h), rng_(seed) {
        for (int i = 0; i < 7; ++i) {
            blobs_.push_back({static_cast<double>(rng_() % (w + 1)),
                              static_cast<double>(rng_() % (h + 1)), 20.0 + rng_() % (w / 2 + 20),
                              static_cast<int>(rng_() % 256), static_cast<int>(rng_() % 256),
                              static_cast<int>(rng_() % 256)});
        }
    }
    // The next row, top to bottom.
    void Next(TColor* row) {
        const int y = y_++;
        for (int x = 0; x < w_; ++x) {
            // Background: a diagonal gradient.
            int r = 40 + (150 * x) / (w_ + 1), g = 60 + (120 * y) / (h_ + 1), b = 120;
            for (const Blob& blob : blobs_) {
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
                v += static_cast<int>(rng_() % 9) - 4;
                return v < 0 ? 0 : v > 255 ? 255 : v;
            };
            row[x] = PackColor(noisy(r), noisy(g), noisy(b));
        }
    }

private:
    struct Blob {
        double cx, cy, r;
        int red, green, blue;
    };
    int w_, h_, y_ = 0;
    std::mt19937 rng_;
    std::vector<Blob> blobs_;
};

// The whole picture, row by row.
inline std::vector<TColor> PhotoLike(int w, int h, unsigned seed) {
    PhotoRows rows(w, h, seed);
    std::vector<TColor> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        rows.Next(pixels.data() + static_cast<size_t>(y) * w);
    return pixels;
}

}  // namespace colorsplit::test
