#pragma once

#include <cstdint>

#include "core/group_pass.h"

// What every grouping kernel shares, in plain scalar code.
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

// The pixels below a column's last whole vector, grouped one by one, and their sums.
template <int K>
class ColumnTail {
public:
    void Group(PixelRec& p, const PixelRec* codeBook, float& distance) {
        std::int32_t d = 0;
        const int group = NearestGroup(p, codeBook, K, d);
        p.Group = group;
        distance = static_cast<float>(d);
        r_[group] += p.R;
        g_[group] += p.G;
        b_[group] += p.B;
        ++n_[group];
    }

    void AddInto(GroupSums& sums) const {
        for (int i = 0; i < K; ++i) {
            sums.r[i] += r_[i];
            sums.g[i] += g_[i];
            sums.b[i] += b_[i];
            sums.n[i] += n_[i];
        }
    }

private:
    std::int64_t r_[K] = {}, g_[K] = {}, b_[K] = {}, n_[K] = {};
};

// The distortion must stay one float add per pixel in x-outer, y-inner order: a chain of 1.2
// million dependent adds. The kernels store each column's distances here and add the previous
// column's while the vector work of this one runs, so the chain and the vector work overlap.
// The running sum stays in the kernel's own variable: vector stores into these buffers may
// alias anything, and a sum kept here would be reloaded after each of them.
class DistortionChain {
public:
    float* Current() { return current_; }
    const float* Previous() const { return previous_; }
    void NextColumn() {
        float* done = previous_;
        previous_ = current_;
        current_ = done;
    }

private:
    alignas(64) float buffers_[2][kTableHeight];
    float* previous_ = buffers_[0];
    float* current_ = buffers_[1];
};

// sum + d[0] + d[1] + ..., rounded after every add.
inline float AddInOrder(float sum, const float* d, int count) {
    for (int j = 0; j < count; ++j)
        sum += d[j];
    return sum;
}

}  // namespace colorsplit::detail
