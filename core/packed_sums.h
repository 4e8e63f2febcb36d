#pragma once

#include <cstdint>

#include "core/group_pass.h"

namespace colorsplit::detail {

// The vector kernels add each group's colours in 32-bit lanes holding two 16-bit halves,
// R | G << 16 and B | 1 << 16 (the 1 counts the pixel), and empty those lanes into these
// 64-bit sums after every column, before a half can overflow. Only the first K - 1 groups are
// added that way; the last group's sums are the totals less the others'.
template <int K>
struct PackedSums {
    std::int64_t r[K] = {}, g[K] = {}, b[K] = {}, n[K] = {};

    // Lanes of one group's packed sums (group K - 1 stands for the totals).
    void Add(int group, const std::int32_t* rg, const std::int32_t* bn, int lanes) {
        for (int lane = 0; lane < lanes; ++lane) {
            r[group] += rg[lane] & 0xFFFF;
            g[group] += static_cast<std::uint32_t>(rg[lane]) >> 16;
            b[group] += bn[lane] & 0xFFFF;
            n[group] += static_cast<std::uint32_t>(bn[lane]) >> 16;
        }
    }

    void Into(GroupSums& sums) const {
        for (int i = 0; i < K; ++i) {
            sums.r[i] = r[i];
            sums.g[i] = g[i];
            sums.b[i] = b[i];
            sums.n[i] = n[i];
        }
        for (int i = 0; i < K - 1; ++i) {
            sums.r[K - 1] -= r[i];
            sums.g[K - 1] -= g[i];
            sums.b[K - 1] -= b[i];
            sums.n[K - 1] -= n[i];
        }
    }
};

}  // namespace colorsplit::detail
