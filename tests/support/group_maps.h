#pragma once

#include <algorithm>
#include <random>
#include <string>

#include "core/group_map.h"

namespace colorsplit::test {

// A map written as rows of group digits separated by '/', and back.
inline GroupMap MapOf(const std::string& rows) {
    const int w =
        static_cast<int>(rows.find('/') == std::string::npos ? rows.size() : rows.find('/'));
    GroupMap map(w, static_cast<int>(rows.size() + 1) / (w + 1));
    for (int y = 0; y < map.Height(); ++y)
        for (int x = 0; x < w; ++x)
            map.Set(x, y, rows[static_cast<size_t>(y * (w + 1) + x)] - '0');
    return map;
}
inline std::string RowsOf(const GroupMap& map) {
    std::string rows;
    for (int y = 0; y < map.Height(); ++y)
        for (int x = 0; x <= map.Width(); ++x)
            rows += x == map.Width() ? '/' : static_cast<char>('0' + map.At(x, y));
    return rows.substr(0, rows.size() - 1);
}

// Rectangles of random groups over each other, then a share of pixels set to any group: from
// the regions and specks of a photo's grouping (a few percent) to noise (100).
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
