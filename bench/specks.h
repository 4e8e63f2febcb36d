#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core/group_map.h"

namespace colorsplit::test {

// A plain stand-in for a cleanup: every 4-connected region of fewer than n pixels goes to the
// group most of its neighbouring pixels are in, in one pass over the regions top down.
inline void RemoveSpecks(GroupMap& map, int n) {
    const int w = map.Width(), h = map.Height();
    std::vector<std::uint8_t> groups(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        map.GetRow(y, groups.data() + static_cast<std::size_t>(y) * w);
    std::vector<std::uint8_t> seen(groups.size(), 0);
    std::vector<std::uint32_t> region;  // pictures of up to 4 gigapixels
    for (std::size_t start = 0; start < groups.size(); ++start) {
        if (seen[start])
            continue;
        const std::uint8_t g = groups[start];
        region.assign(1, static_cast<std::uint32_t>(start));
        seen[start] = 1;
        std::array<std::int64_t, 4> around{};
        for (std::size_t i = 0; i < region.size(); ++i) {
            const std::size_t at = region[i];
            const int x = static_cast<int>(at % w), y = static_cast<int>(at / w);
            const auto visit = [&](bool inside, std::size_t next) {
                if (!inside)
                    return;
                if (groups[next] != g)
                    ++around[groups[next]];
                else if (!seen[next]) {
                    seen[next] = 1;
                    region.push_back(static_cast<std::uint32_t>(next));
                }
            };
            visit(x > 0, at - 1);
            visit(x + 1 < w, at + 1);
            visit(y > 0, at - w);
            visit(y + 1 < h, at + w);
        }
        if (region.size() >= static_cast<std::size_t>(n))
            continue;
        const auto most = std::max_element(around.begin(), around.end());
        if (*most == 0)
            continue;
        for (const std::uint32_t at : region)
            groups[at] = static_cast<std::uint8_t>(most - around.begin());
    }
    for (int y = 0; y < h; ++y)
        map.SetRow(y, groups.data() + static_cast<std::size_t>(y) * w);
}

}  // namespace colorsplit::test
