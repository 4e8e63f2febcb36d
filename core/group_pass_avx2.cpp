// The grouping pass over 8 pixels at a time with AVX2 and FMA. Only this file's functions use
// those instructions, and only after the CPU has been asked (see WidestKernel).
#include <immintrin.h>

#include "core/group_pass.h"
#include "core/kernel_support.h"

#define COLORSPLIT_AVX2 __attribute__((target("avx2,fma")))

namespace colorsplit::detail {

namespace {

constexpr int kLanes = 8;

// floor(sq / 3) for 0 <= sq <= 195075, computed in float: sq / 3 + 0.1 lands within 0.006 of
// its exact value (one rounding, in the FMA), and the fraction of sq / 3 is 0, 1/3 or 2/3, so
// truncating gives the whole-number quotient exactly.
COLORSPLIT_AVX2 inline __m256 DivideBy3(__m256 sq) {
    return _mm256_round_ps(_mm256_fmadd_ps(sq, _mm256_set1_ps(1.0f / 3.0f), _mm256_set1_ps(0.1f)),
                           _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}

template <int K>
COLORSPLIT_AVX2 float Pass(Column* columns, int w, int h, const PixelRec* codeBook,
                           GroupSums& sums) {
    // |c - p|^2 = |p|^2 + (|c|^2 - 2 c.p). Every term and partial sum is a whole number below
    // 2^24, so the float arithmetic is exact and gives the integer squared distance.
    __m256 m2r[K], m2g[K], m2b[K], cc[K];
#pragma GCC unroll 4
    for (int i = 0; i < K; ++i) {
        const PixelRec& c = codeBook[i];
        m2r[i] = _mm256_set1_ps(-2.0f * static_cast<float>(c.R));
        m2g[i] = _mm256_set1_ps(-2.0f * static_cast<float>(c.G));
        m2b[i] = _mm256_set1_ps(-2.0f * static_cast<float>(c.B));
        cc[i] = _mm256_set1_ps(static_cast<float>(c.R * c.R + c.G * c.G + c.B * c.B));
    }
    // Group sums, taken per column in 16-bit halves: R | G << 16 and B | 1 << 16 (the count).
    // A lane sees at most 960 / 8 pixels of a column, so no half can pass 65535. The last
    // group's sums are the totals less the others'.
    PackedSums<K> packed;
    // Lanes of the sums: [i] for group i < K - 1, [K - 1] for the totals.
    __m256i laneRG[K], laneBN[K];
#pragma GCC unroll 4
    for (int i = 0; i < K; ++i)
        laneRG[i] = laneBN[i] = _mm256_setzero_si256();
    // Lanes hold pixels 0 2 4 6 | 1 3 5 7 after the transpose below; this puts them back.
    const __m256i pixelOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    ColumnTail<K> tail;
    DistortionChain chain;
    float distortion = 0.0f;
    const int whole = h - h % kLanes;

    for (int x = 0; x < w; ++x) {
        PixelRec* column = columns[x];
        float* current = chain.Current();
        const float* previous = x > 0 ? chain.Previous() : nullptr;
        for (int y = 0; y < whole; y += kLanes) {
            __m256i* records = reinterpret_cast<__m256i*>(column + y);
            const __m256i v0 = _mm256_loadu_si256(records + 0);  // pixels 0 | 1
            const __m256i v1 = _mm256_loadu_si256(records + 1);  // 2 | 3
            const __m256i v2 = _mm256_loadu_si256(records + 2);  // 4 | 5
            const __m256i v3 = _mm256_loadu_si256(records + 3);  // 6 | 7
            // Records (R, G, B, Group) to one vector per field, per 128-bit lane.
            const __m256i t0 = _mm256_unpacklo_epi32(v0, v1);
            const __m256i t1 = _mm256_unpackhi_epi32(v0, v1);
            const __m256i t2 = _mm256_unpacklo_epi32(v2, v3);
            const __m256i t3 = _mm256_unpackhi_epi32(v2, v3);
            const __m256i r = _mm256_unpacklo_epi64(t0, t2);
            const __m256i g = _mm256_unpackhi_epi64(t0, t2);
            const __m256i b = _mm256_unpacklo_epi64(t1, t3);
            const __m256 fr = _mm256_cvtepi32_ps(r);
            const __m256 fg = _mm256_cvtepi32_ps(g);
            const __m256 fb = _mm256_cvtepi32_ps(b);
            const __m256 pp =
                _mm256_fmadd_ps(fr, fr, _mm256_fmadd_ps(fg, fg, _mm256_mul_ps(fb, fb)));

            __m256 sq[K];
#pragma GCC unroll 4
            for (int i = 0; i < K; ++i)
                sq[i] = _mm256_add_ps(
                    pp, _mm256_fmadd_ps(
                            m2r[i], fr,
                            _mm256_fmadd_ps(m2g[i], fg, _mm256_fmadd_ps(m2b[i], fb, cc[i]))));
            // The smallest distance is floor(m / 3) for the smallest squared distance m; every
            // squared distance below 3 * (that + 1) divides to it too, and the lowest index
            // among those wins (equal distances keep the lower index).
            __m256 m = sq[0];
#pragma GCC unroll 4
            for (int i = 1; i < K; ++i)
                m = _mm256_min_ps(m, sq[i]);
            const __m256 best = DivideBy3(m);
            const __m256 limit = _mm256_fmadd_ps(best, _mm256_set1_ps(3.0f), _mm256_set1_ps(3.0f));
            // The group is the number of leading code vectors that lose: all-ones masks
            // (-1) while none has won, subtracted.
            __m256i lost = _mm256_castps_si256(_mm256_cmp_ps(sq[0], limit, _CMP_GE_OQ));
            __m256i group = _mm256_sub_epi32(_mm256_setzero_si256(), lost);
#pragma GCC unroll 4
            for (int i = 1; i < K - 1; ++i) {
                lost = _mm256_and_si256(
                    lost, _mm256_castps_si256(_mm256_cmp_ps(sq[i], limit, _CMP_GE_OQ)));
                group = _mm256_sub_epi32(group, lost);
            }

            // Group into the records: lane L of vector j gets element j of the group's lane L.
            _mm256_storeu_si256(records + 0,
                                _mm256_blend_epi32(v0, _mm256_shuffle_epi32(group, 0x00), 0x88));
            _mm256_storeu_si256(records + 1,
                                _mm256_blend_epi32(v1, _mm256_shuffle_epi32(group, 0x55), 0x88));
            _mm256_storeu_si256(records + 2,
                                _mm256_blend_epi32(v2, _mm256_shuffle_epi32(group, 0xAA), 0x88));
            _mm256_storeu_si256(records + 3,
                                _mm256_blend_epi32(v3, _mm256_shuffle_epi32(group, 0xFF), 0x88));

            const __m256i rg = _mm256_or_si256(r, _mm256_slli_epi32(g, 16));
            const __m256i bn = _mm256_or_si256(b, _mm256_set1_epi32(1 << 16));
            laneRG[K - 1] = _mm256_add_epi32(laneRG[K - 1], rg);
            laneBN[K - 1] = _mm256_add_epi32(laneBN[K - 1], bn);
#pragma GCC unroll 4
            for (int i = 0; i < K - 1; ++i) {
                const __m256i m = _mm256_cmpeq_epi32(group, _mm256_set1_epi32(i));
                laneRG[i] = _mm256_add_epi32(laneRG[i], _mm256_and_si256(rg, m));
                laneBN[i] = _mm256_add_epi32(laneBN[i], _mm256_and_si256(bn, m));
            }

            _mm256_store_ps(current + y, _mm256_permutevar8x32_ps(best, pixelOrder));
            if (previous != nullptr)
                distortion = AddInOrder(distortion, previous + y, kLanes);
        }
#pragma GCC unroll 4
        for (int i = 0; i < K; ++i) {
            alignas(64) std::int32_t rg[kLanes], bn[kLanes];
            _mm256_store_si256(reinterpret_cast<__m256i*>(rg), laneRG[i]);
            _mm256_store_si256(reinterpret_cast<__m256i*>(bn), laneBN[i]);
            packed.Add(i, rg, bn, kLanes);
            laneRG[i] = laneBN[i] = _mm256_setzero_si256();
        }
        for (int y = whole; y < h; ++y)
            tail.Group(column[y], codeBook, current[y]);
        if (previous != nullptr)
            distortion = AddInOrder(distortion, previous + whole, h - whole);
        chain.NextColumn();
    }
    packed.Into(sums);
    tail.AddInto(sums);
    return w > 0 ? AddInOrder(distortion, chain.Previous(), h) : distortion;
}

}  // namespace

COLORSPLIT_AVX2 float GroupPassAvx2(Column* columns, int w, int h, const PixelRec* codeBook, int k,
                                    GroupSums& sums) {
    switch (k) {
        case 1:
            return Pass<1>(columns, w, h, codeBook, sums);
        case 2:
            return Pass<2>(columns, w, h, codeBook, sums);
        case 3:
            return Pass<3>(columns, w, h, codeBook, sums);
        default:
            return Pass<4>(columns, w, h, codeBook, sums);
    }
}

}  // namespace colorsplit::detail
