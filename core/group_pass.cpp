// The portable kernel and the choice between kernels.
#include "core/group_pass.h"

#include <cstring>

#include "core/kernel_support.h"

namespace colorsplit {

namespace {

// Four pixels at a time in the compiler's generic vectors: no intrinsics, so it builds for any
// target (on x86-64 it becomes SSE2, which every such CPU has).
using Ints = std::int32_t __attribute__((vector_size(16)));
using Words = std::uint32_t __attribute__((vector_size(16)));
using Floats = float __attribute__((vector_size(16)));
constexpr int kLanes = 4;

Words AsWords(Ints v) {
    Words w;
    std::memcpy(&w, &v, sizeof w);
    return w;
}

template <int K>
float PortablePass(Column* columns, int w, int h, const PixelRec* codeBook, GroupSums& sums) {
    // Differences, squares and their sums are whole numbers below 2^24, so the float
    // arithmetic is exact and gives the integer squared distance.
    Floats cr[K], cg[K], cb[K];
#pragma GCC unroll 4
    for (int i = 0; i < K; ++i) {
        cr[i] = Floats{} + static_cast<float>(codeBook[i].R);
        cg[i] = Floats{} + static_cast<float>(codeBook[i].G);
        cb[i] = Floats{} + static_cast<float>(codeBook[i].B);
    }
    detail::PackedSums<K> packed;
    // [i] for group i < K - 1, [K - 1] for the totals.
    Words laneRG[K] = {}, laneBN[K] = {};
    detail::ColumnTail<K> tail;
    detail::DistortionChain chain;
    float distortion = 0.0f;
    const int whole = h - h % kLanes;

    for (int x = 0; x < w; ++x) {
        PixelRec* column = columns[x];
        float* current = chain.Current();
        const float* previous = x > 0 ? chain.Previous() : nullptr;
        // Two chunks per turn give the scheduler independent work to interleave.
#pragma GCC unroll 2
        for (int y = 0; y < whole; y += kLanes) {
            Ints p0, p1, p2, p3;
            std::memcpy(&p0, column + y + 0, sizeof p0);
            std::memcpy(&p1, column + y + 1, sizeof p1);
            std::memcpy(&p2, column + y + 2, sizeof p2);
            std::memcpy(&p3, column + y + 3, sizeof p3);
            const Ints t0 = __builtin_shufflevector(p0, p1, 0, 4, 1, 5);  // R0 R1 G0 G1
            const Ints t1 = __builtin_shufflevector(p2, p3, 0, 4, 1, 5);  // R2 R3 G2 G3
            const Ints t2 = __builtin_shufflevector(p0, p1, 2, 6, 2, 6);  // B0 B1
            const Ints t3 = __builtin_shufflevector(p2, p3, 2, 6, 2, 6);  // B2 B3
            const Ints r = __builtin_shufflevector(t0, t1, 0, 1, 4, 5);
            const Ints g = __builtin_shufflevector(t0, t1, 2, 3, 6, 7);
            const Ints b = __builtin_shufflevector(t2, t3, 0, 1, 4, 5);
            const Floats fr = __builtin_convertvector(r, Floats);
            const Floats fg = __builtin_convertvector(g, Floats);
            const Floats fb = __builtin_convertvector(b, Floats);

            Floats sq[K];
#pragma GCC unroll 4
            for (int i = 0; i < K; ++i) {
                const Floats dr = cr[i] - fr, dg = cg[i] - fg, db = cb[i] - fb;
                sq[i] = dr * dr + dg * dg + db * db;
            }
            // The smallest distance is floor(m / 3) for the smallest squared distance m
            // (m / 3 + 0.1 lands within 0.01 of its exact value, and the fraction of m / 3 is
            // 0, 1/3 or 2/3, so truncating gives the quotient). Every squared distance below
            // 3 * (that + 1) divides to the same distance, and the lowest index among those
            // wins: one division per pixel instead of one per code vector.
            Floats m = sq[0];
#pragma GCC unroll 4
            for (int i = 1; i < K; ++i)
                m = sq[i] < m ? sq[i] : m;
            const Ints best = __builtin_convertvector(m * (1.0f / 3.0f) + 0.1f, Ints);
            const Floats limit = __builtin_convertvector(best, Floats) * 3.0f + 3.0f;
            // Counts the leading code vectors that lose: all-ones masks while none has won.
            Ints lost = sq[0] >= limit;
            Ints group = -lost;
#pragma GCC unroll 4
            for (int i = 1; i < K - 1; ++i) {
                lost &= sq[i] >= limit;
                group -= lost;
            }
            for (int j = 0; j < kLanes; ++j)
                column[y + j].Group = group[j];

            // Unsigned: the high halves pass 2^31 (and must not be signed overflow).
            const Words rg = AsWords(r) | AsWords(g) << 16;
            const Words bn = AsWords(b) | (1u << 16);
            laneRG[K - 1] += rg;
            laneBN[K - 1] += bn;
#pragma GCC unroll 4
            for (int i = 0; i < K - 1; ++i) {
                const Ints m = group == i;
                laneRG[i] += rg & AsWords(m);
                laneBN[i] += bn & AsWords(m);
            }
            const Floats bestDistance = __builtin_convertvector(best, Floats);
            std::memcpy(current + y, &bestDistance, sizeof bestDistance);
            if (previous != nullptr)
                distortion = detail::AddInOrder(distortion, previous + y, kLanes);
        }
#pragma GCC unroll 4
        for (int i = 0; i < K; ++i) {
            std::int32_t rg[kLanes], bn[kLanes];
            std::memcpy(rg, &laneRG[i], sizeof rg);
            std::memcpy(bn, &laneBN[i], sizeof bn);
            packed.Add(i, rg, bn, kLanes);
            laneRG[i] = laneBN[i] = Words{};
        }
        for (int y = whole; y < h; ++y)
            tail.Group(column[y], codeBook, current[y]);
        if (previous != nullptr)
            distortion = detail::AddInOrder(distortion, previous + whole, h - whole);
        chain.NextColumn();
    }
    packed.Into(sums);
    tail.AddInto(sums);
    return w > 0 ? detail::AddInOrder(distortion, chain.Previous(), h) : distortion;
}

[[maybe_unused]] bool CpuHas(Kernel kernel) {
#if defined(__x86_64__) || defined(__i386__)
    switch (kernel) {
        case Kernel::kPortable:
            return true;
        case Kernel::kAvx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case Kernel::kAvx512:
            return __builtin_cpu_supports("avx512f");
    }
    return false;
#else
    return kernel == Kernel::kPortable;
#endif
}

}  // namespace

const char* KernelName(Kernel kernel) {
    switch (kernel) {
        case Kernel::kPortable:
            return "portable";
        case Kernel::kAvx2:
            return "avx2";
        case Kernel::kAvx512:
            return "avx512";
    }
    return "?";
}

bool KernelAvailable(Kernel kernel) {
    switch (kernel) {
        case Kernel::kPortable:
            return true;
        case Kernel::kAvx2:
#ifdef COLORSPLIT_HAVE_AVX2
            return CpuHas(kernel);
#else
            return false;
#endif
        case Kernel::kAvx512:
#ifdef COLORSPLIT_HAVE_AVX512
            return CpuHas(kernel);
#else
            return false;
#endif
    }
    return false;
}

Kernel WidestKernel() {
    static const Kernel widest = KernelAvailable(Kernel::kAvx512) ? Kernel::kAvx512
                                 : KernelAvailable(Kernel::kAvx2) ? Kernel::kAvx2
                                                                  : Kernel::kPortable;
    return widest;
}

float GroupPass(Kernel kernel, Column* columns, int w, int h,
                const std::array<PixelRec, kMaxColors>& codeBook, int k, GroupSums& sums) {
    sums = GroupSums{};
    if (k <= 0) {
        for (int x = 0; x < w; ++x)
            for (int y = 0; y < h; ++y)
                columns[x][y].Group = 0;
        return 0.0f;
    }
    if (k > kMaxColors)
        k = kMaxColors;
    if (!KernelAvailable(kernel))
        kernel = Kernel::kPortable;
#ifdef COLORSPLIT_HAVE_AVX512
    if (kernel == Kernel::kAvx512)
        return detail::GroupPassAvx512(columns, w, h, codeBook.data(), k, sums);
#endif
#ifdef COLORSPLIT_HAVE_AVX2
    if (kernel == Kernel::kAvx2)
        return detail::GroupPassAvx2(columns, w, h, codeBook.data(), k, sums);
#endif
    switch (k) {
        case 1:
            return PortablePass<1>(columns, w, h, codeBook.data(), sums);
        case 2:
            return PortablePass<2>(columns, w, h, codeBook.data(), sums);
        case 3:
            return PortablePass<3>(columns, w, h, codeBook.data(), sums);
        default:
            return PortablePass<4>(columns, w, h, codeBook.data(), sums);
    }
}

}  // namespace colorsplit
