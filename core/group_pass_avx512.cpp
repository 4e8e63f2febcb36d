// The grouping pass over 16 pixels at a time with AVX-512F. Only this file's functions use
// those instructions, and only after the CPU has been asked (see WidestKernel).
#include <immintrin.h>

#include "core/group_pass.h"

#define COLORSPLIT_AVX512 __attribute__((target("avx512f")))

namespace colorsplit::detail {

namespace {

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
    __m512 cr[K], cg[K], cb[K];
    __m512i accR[K], accG[K], accB[K], accN[K];
    for (int i = 0; i < K; ++i) {
        cr[i] = _mm512_set1_ps(static_cast<float>(codeBook[i].R));
        cg[i] = _mm512_set1_ps(static_cast<float>(codeBook[i].G));
        cb[i] = _mm512_set1_ps(static_cast<float>(codeBook[i].B));
        accR[i] = accG[i] = accB[i] = accN[i] = _mm512_setzero_si512();
    }
    // Lane e holds pixel (e % 4) * 4 + e / 4 after the transpose below; this puts them back.
    const __m512i pixelOrder =
        _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m512i one = _mm512_set1_epi32(1);
    std::int64_t tailR[K] = {}, tailG[K] = {}, tailB[K] = {}, tailN[K] = {};
    alignas(64) float best16[16];
    float distortion = 0.0f;

    for (int x = 0; x < w; ++x) {
        PixelRec* column = columns[x];
        int y = 0;
        for (; y + 16 <= h; y += 16) {
            void* records = column + y;
            _mm_prefetch(reinterpret_cast<const char*>(column + y) + 1024, _MM_HINT_T0);
            const __m512i v0 = _mm512_loadu_si512(static_cast<char*>(records) + 0);  // 0 1 2 3
            const __m512i v1 = _mm512_loadu_si512(static_cast<char*>(records) + 64);
            const __m512i v2 = _mm512_loadu_si512(static_cast<char*>(records) + 128);
            const __m512i v3 = _mm512_loadu_si512(static_cast<char*>(records) + 192);
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

            // Squares and their sum are whole numbers below 2^24, so exact in float.
            __m512 best = _mm512_setzero_ps();
            __m512i group = _mm512_setzero_si512();
            for (int i = 0; i < K; ++i) {
                const __m512 dr = _mm512_sub_ps(cr[i], fr);
                const __m512 dg = _mm512_sub_ps(cg[i], fg);
                const __m512 db = _mm512_sub_ps(cb[i], fb);
                const __m512 sq =
                    _mm512_fmadd_ps(dr, dr, _mm512_fmadd_ps(dg, dg, _mm512_mul_ps(db, db)));
                const __m512 d = DivideBy3(sq);
                if (i == 0) {
                    best = d;
                    continue;
                }
                // Strictly less: equal distances keep the lower index.
                const __mmask16 less = _mm512_cmp_ps_mask(d, best, _CMP_LT_OQ);
                best = _mm512_mask_mov_ps(best, less, d);
                group = _mm512_mask_mov_epi32(group, less, _mm512_set1_epi32(i));
            }

            // Group back into the records.
            const __m512i rg0 = _mm512_unpacklo_epi32(r, g);
            const __m512i bq0 = _mm512_unpacklo_epi32(b, group);
            const __m512i rg1 = _mm512_unpackhi_epi32(r, g);
            const __m512i bq1 = _mm512_unpackhi_epi32(b, group);
            _mm512_storeu_si512(static_cast<char*>(records) + 0, _mm512_unpacklo_epi64(rg0, bq0));
            _mm512_storeu_si512(static_cast<char*>(records) + 64, _mm512_unpackhi_epi64(rg0, bq0));
            _mm512_storeu_si512(static_cast<char*>(records) + 128, _mm512_unpacklo_epi64(rg1, bq1));
            _mm512_storeu_si512(static_cast<char*>(records) + 192, _mm512_unpackhi_epi64(rg1, bq1));

            for (int i = 0; i < K; ++i) {
                const __mmask16 m = _mm512_cmpeq_epi32_mask(group, _mm512_set1_epi32(i));
                accR[i] = _mm512_mask_add_epi32(accR[i], m, accR[i], r);
                accG[i] = _mm512_mask_add_epi32(accG[i], m, accG[i], g);
                accB[i] = _mm512_mask_add_epi32(accB[i], m, accB[i], b);
                accN[i] = _mm512_mask_add_epi32(accN[i], m, accN[i], one);
            }

            // The distortion stays one float add per pixel in pixel order. The adds form a
            // chain of their own; the vector work of the next pixels runs beside it.
            _mm512_store_ps(best16, _mm512_permutexvar_ps(pixelOrder, best));
            for (float d : best16)
                distortion += d;
        }
        for (; y < h; ++y) {
            PixelRec& p = column[y];
            std::int32_t d = 0;
            const int group = NearestGroup(p, codeBook, K, d);
            p.Group = group;
            distortion += static_cast<float>(d);
            tailR[group] += p.R;
            tailG[group] += p.G;
            tailB[group] += p.B;
            ++tailN[group];
        }
    }

    for (int i = 0; i < K; ++i) {
        alignas(64) std::int32_t lanes[4][16];
        _mm512_store_si512(lanes[0], accR[i]);
        _mm512_store_si512(lanes[1], accG[i]);
        _mm512_store_si512(lanes[2], accB[i]);
        _mm512_store_si512(lanes[3], accN[i]);
        sums.r[i] = tailR[i];
        sums.g[i] = tailG[i];
        sums.b[i] = tailB[i];
        sums.n[i] = tailN[i];
        for (int lane = 0; lane < 16; ++lane) {
            sums.r[i] += lanes[0][lane];
            sums.g[i] += lanes[1][lane];
            sums.b[i] += lanes[2][lane];
            sums.n[i] += lanes[3][lane];
        }
    }
    return distortion;
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
