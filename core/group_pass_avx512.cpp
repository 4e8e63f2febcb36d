// The grouping pass over 16 pixels at a time with AVX-512F. Only this file's functions use
// those instructions, and only after the CPU has been asked (see WidestKernel).
#include <immintrin.h>

#include "core/group_pass.h"
#include "core/kernel_support.h"

#define COLORSPLIT_AVX512 __attribute__((target("avx512f")))

namespace colorsplit::detail {

namespace {

constexpr int kLanes = 16;

// floor(sq / 3) for 0 <= sq <= 195075, computed in float: sq / 3 + 0.1 lands within 0.006 of
// its exact value (one rounding, in the FMA), and the fraction of sq / 3 is 0, 1/3 or 2/3, so
// truncating gives the whole-number quotient exactly.
COLORSPLIT_AVX512 inline __m512 DivideBy3(__m512 sq) {
    return _mm512_roundscale_ps(
        _mm512_fmadd_ps(sq, _mm512_set1_ps(1.0f / 3.0f), _mm512_set1_ps(0.1f)),
        _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}

template <int K>
COLORSPLIT_AVX512 float Pass(Column* columns, int w, int h, const PixelRec* codeBook,
                             GroupSums& sums) {
    // |c - p|^2 = |p|^2 + (|c|^2 - 2 c.p). Every term and partial sum is a whole number below
    // 2^24, so the float arithmetic is exact and gives the integer squared distance.
    __m512 m2r[K], m2g[K], m2b[K], cc[K];
#pragma GCC unroll 4
    for (int i = 0; i < K; ++i) {
        const PixelRec& c = codeBook[i];
        m2r[i] = _mm512_set1_ps(-2.0f * static_cast<float>(c.R));
        m2g[i] = _mm512_set1_ps(-2.0f * static_cast<float>(c.G));
        m2b[i] = _mm512_set1_ps(-2.0f * static_cast<float>(c.B));
        cc[i] = _mm512_set1_ps(static_cast<float>(c.R * c.R + c.G * c.G + c.B * c.B));
    }
    // Group sums, taken per column in 16-bit halves: R | G << 16 and B | 1 << 16 (the count).
    // A lane sees at most 960 / 16 pixels of a column, so no half can pass 65535. The last
    // group's sums are the totals less the others'.
    PackedSums<K> packed;
    // Lanes of the sums: [i] for group i < K - 1, [K - 1] for the totals.
    __m512i laneRG[K], laneBN[K];
#pragma GCC unroll 4
    for (int i = 0; i < K; ++i)
        laneRG[i] = laneBN[i] = _mm512_setzero_si512();
    // Lane e holds pixel (e % 4) * 4 + e / 4 after the transpose below; this puts them back.
    const __m512i pixelOrder =
        _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    ColumnTail<K> tail;
    DistortionChain chain;
    float distortion = 0.0f;
    const int whole = h - h % kLanes;

    for (int x = 0; x < w; ++x) {
        PixelRec* column = columns[x];
        float* current = chain.Current();
        const float* previous = x > 0 ? chain.Previous() : nullptr;
        for (int y = 0; y < whole; y += kLanes) {
            char* records = reinterpret_cast<char*>(column + y);
            const __m512i v0 = _mm512_loadu_si512(records + 0);  // pixels 0 1 2 3
            const __m512i v1 = _mm512_loadu_si512(records + 64);
            const __m512i v2 = _mm512_loadu_si512(records + 128);
            const __m512i v3 = _mm512_loadu_si512(records + 192);
            // Records (R, G, B, Group) to one vector per field, per 128-bit lane.
            const __m512i t0 = _mm512_unpacklo_epi32(v0, v1);
            const __m512i t1 = _mm512_unpackhi_epi32(v0, v1);
            const __m512i t2 = _mm512_unpacklo_epi32(v2, v3);
            const __m512i t3 = _mm512_unpackhi_epi32(v2, v3);
            const __m512i r = _mm512_unpacklo_epi64(t0, t2);
            const __m512i g = _mm512_unpackhi_epi64(t0, t2);
            const __m512i b = _mm512_unpacklo_epi64(t1, t3);
            const __m512 fr = _mm512_cvtepi32_ps(r);
            const __m512 fg = _mm512_cvtepi32_ps(g);
            const __m512 fb = _mm512_cvtepi32_ps(b);
            const __m512 pp =
                _mm512_fmadd_ps(fr, fr, _mm512_fmadd_ps(fg, fg, _mm512_mul_ps(fb, fb)));

            __m512 sq[K];
#pragma GCC unroll 4
            for (int i = 0; i < K; ++i)
                sq[i] = _mm512_add_ps(
                    pp, _mm512_fmadd_ps(
                            m2r[i], fr,
                            _mm512_fmadd_ps(m2g[i], fg, _mm512_fmadd_ps(m2b[i], fb, cc[i]))));
            // The smallest distance is floor(m / 3) for the smallest squared distance m; every
            // squared distance below 3 * (that + 1) divides to it too, and the lowest index
            // among those wins (equal distances keep the lower index).
            __m512 m = sq[0];
#pragma GCC unroll 4
            for (int i = 1; i < K; ++i)
                m = _mm512_min_ps(m, sq[i]);
            const __m512 best = DivideBy3(m);
            const __m512 limit = _mm512_fmadd_ps(best, _mm512_set1_ps(3.0f), _mm512_set1_ps(3.0f));
            // The group is the number of leading code vectors that lose.
            __mmask16 lost = _mm512_cmp_ps_mask(sq[0], limit, _CMP_GE_OQ);
            __m512i group = _mm512_maskz_mov_epi32(lost, _mm512_set1_epi32(1));
#pragma GCC unroll 4
            for (int i = 1; i < K - 1; ++i) {
                lost = _mm512_kand(lost, _mm512_cmp_ps_mask(sq[i], limit, _CMP_GE_OQ));
                group = _mm512_mask_add_epi32(group, lost, group, _mm512_set1_epi32(1));
            }

            // Only the Group fields are written: lane L of vector j gets pixel L + 4j's group.
            _mm512_mask_storeu_epi32(records + 0, 0x8888,
                                     _mm512_shuffle_epi32(group, _MM_PERM_AAAA));
            _mm512_mask_storeu_epi32(records + 64, 0x8888,
                                     _mm512_shuffle_epi32(group, _MM_PERM_BBBB));
            _mm512_mask_storeu_epi32(records + 128, 0x8888,
                                     _mm512_shuffle_epi32(group, _MM_PERM_CCCC));
            _mm512_mask_storeu_epi32(records + 192, 0x8888,
                                     _mm512_shuffle_epi32(group, _MM_PERM_DDDD));

            const __m512i rg = _mm512_or_si512(r, _mm512_slli_epi32(g, 16));
            const __m512i bn = _mm512_or_si512(b, _mm512_set1_epi32(1 << 16));
            laneRG[K - 1] = _mm512_add_epi32(laneRG[K - 1], rg);
            laneBN[K - 1] = _mm512_add_epi32(laneBN[K - 1], bn);
#pragma GCC unroll 4
            for (int i = 0; i < K - 1; ++i) {
                const __mmask16 m = _mm512_cmpeq_epi32_mask(group, _mm512_set1_epi32(i));
                laneRG[i] = _mm512_mask_add_epi32(laneRG[i], m, laneRG[i], rg);
                laneBN[i] = _mm512_mask_add_epi32(laneBN[i], m, laneBN[i], bn);
            }

            _mm512_store_ps(current + y, _mm512_permutexvar_ps(pixelOrder, best));
            if (previous != nullptr)
                distortion = AddInOrder(distortion, previous + y, kLanes);
        }
#pragma GCC unroll 4
        for (int i = 0; i < K; ++i) {
            alignas(64) std::int32_t rg[kLanes], bn[kLanes];
            _mm512_store_si512((rg), laneRG[i]);
            _mm512_store_si512((bn), laneBN[i]);
            packed.Add(i, rg, bn, kLanes);
            laneRG[i] = laneBN[i] = _mm512_setzero_si512();
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

COLORSPLIT_AVX512 float GroupPassAvx512(Column* columns, int w, int h, const PixelRec* codeBook,
                                        int k, GroupSums& sums) {
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
