#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/group_map.h"
#include "support/photo.h"

namespace colorsplit::test {

// A map written as rows of group digits, and back.
inline GroupMap MapOf(const std::vector<std::string>& rows) {
    GroupMap map(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < map.Height(); ++y)
        for (int x = 0; x < map.Width(); ++x)
            map.Set(x, y, rows[static_cast<size_t>(y)][static_cast<size_t>(x)] - '0');
    return map;
}
inline std::vector<std::string> RowsOf(const GroupMap& map) {
    std::vector<std::string> rows(static_cast<size_t>(map.Height()));
    for (int y = 0; y < map.Height(); ++y)
        for (int x = 0; x < map.Width(); ++x)
            rows[static_cast<size_t>(y)] += static_cast<char>('0' + map.At(x, y));
    return rows;
}

// The grouping of a photo-like picture by the nearest of k fixed colours: large smooth regions
// with ragged edges and specks where the noise crosses a boundary.
inline GroupMap PhotoMap(int w, int h, int k, unsigned seed) {
    static constexpr int kColours[4][3] = {
        {40, 60, 120}, {200, 180, 60}, {90, 150, 70}, {230, 230, 220}};
    PhotoRows photo(w, h, seed);
    std::vector<TColor> row(static_cast<size_t>(w));
    std::vector<std::uint8_t> groups(static_cast<size_t>(w));
    GroupMap map(w, h);
    for (int y = 0; y < h; ++y) {
        photo.Next(row.data());
        for (int x = 0; x < w; ++x) {
            const TColor c = row[static_cast<size_t>(x)];
            int best = 0, bestD = 1 << 30;
            for (int g = 0; g < k; ++g) {
                const int dr = RedOf(c) - kColours[g][0], dg = GreenOf(c) - kColours[g][1],
                          db = BlueOf(c) - kColours[g][2];
                if (dr * dr + dg * dg + db * db < bestD) {
                    bestD = dr * dr + dg * dg + db * db;
                    best = g;
                }
            }
            groups[static_cast<size_t>(x)] = static_cast<std::uint8_t>(best);
        }
        map.SetRow(y, groups.data());
    }
    return map;
}

// Rectangles of random groups over each other, then a share of pixels set to any group: from
// clean blocks (speckPercent 0) to noise (100).
inline GroupMap SpeckledMap(int w, int h, int k, int speckPercent, unsigned seed) {
    std::mt19937 rng(seed);
    GroupMap map(w, h);
    for (int i = 0; i < 6; ++i) {
        const int x0 = static_cast<int>(rng() % w), y0 = static_cast<int>(rng() % h);
        const int x1 = x0 + static_cast<int>(rng() % w), y1 = y0 + static_cast<int>(rng() % h);
        const int g = static_cast<int>(rng() % k);
        for (int y = y0; y < std::min(h, y1); ++y)
            for (int x = x0; x < std::min(w, x1); ++x)
                map.Set(x, y, g);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (static_cast<int>(rng() % 100) < speckPercent)
                map.Set(x, y, static_cast<int>(rng() % k));
    return map;
}

}  // namespace colorsplit::test
