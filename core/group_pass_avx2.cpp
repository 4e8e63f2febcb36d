// The grouping pass over 8 pixels at a time with AVX2 and FMA. Only this file's functions use
// those instructions, and only after the CPU has been asked (see WidestKernel).
#include <immintrin.h>

#include "core/group_pass.h"

#define COLORSPLIT_AVX2 __attribute__((target("avx2,fma")))

namespace colorsplit::detail {

namespace {

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
    __m256 cr[K], cg[K], cb[K];
    __m256i accR[K], accG[K], accB[K], accN[K];
    for (int i = 0; i < K; ++i) {
        cr[i] = _mm256_set1_ps(static_cast<float>(codeBook[i].R));
        cg[i] = _mm256_set1_ps(static_cast<float>(codeBook[i].G));
        cb[i] = _mm256_set1_ps(static_cast<float>(codeBook[i].B));
        accR[i] = accG[i] = accB[i] = accN[i] = _mm256_setzero_si256();
    }
    // Lanes hold pixels 0 2 4 6 | 1 3 5 7 after the transpose below; this puts them back.
    const __m256i pixelOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    std::int64_t tailR[K] = {}, tailG[K] = {}, tailB[K] = {}, tailN[K] = {};
    alignas(32) float best8[8];
    float distortion = 0.0f;

    for (int x = 0; x < w; ++x) {
        PixelRec* column = columns[x];
        int y = 0;
        for (; y + 8 <= h; y += 8) {
            __m256i* records = reinterpret_cast<__m256i*>(column + y);
            _mm_prefetch(reinterpret_cast<const char*>(column + y) + 1024, _MM_HINT_T0);
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

            // Squares and their sum are whole numbers below 2^24, so exact in float.
            __m256 best = _mm256_setzero_ps();
            __m256i group = _mm256_setzero_si256();
            for (int i = 0; i < K; ++i) {
                const __m256 dr = _mm256_sub_ps(cr[i], fr);
                const __m256 dg = _mm256_sub_ps(cg[i], fg);
                const __m256 db = _mm256_sub_ps(cb[i], fb);
                const __m256 sq =
                    _mm256_fmadd_ps(dr, dr, _mm256_fmadd_ps(dg, dg, _mm256_mul_ps(db, db)));
                const __m256 d = DivideBy3(sq);
                if (i == 0) {
                    best = d;
                    continue;
                }
                // Strictly less: equal distances keep the lower index.
                const __m256 less = _mm256_cmp_ps(d, best, _CMP_LT_OQ);
                best = _mm256_blendv_ps(best, d, less);
                group = _mm256_blendv_epi8(group, _mm256_set1_epi32(i), _mm256_castps_si256(less));
            }

            // Group back into the records.
            const __m256i rg0 = _mm256_unpacklo_epi32(r, g);
            const __m256i bq0 = _mm256_unpacklo_epi32(b, group);
            const __m256i rg1 = _mm256_unpackhi_epi32(r, g);
            const __m256i bq1 = _mm256_unpackhi_epi32(b, group);
            _mm256_storeu_si256(records + 0, _mm256_unpacklo_epi64(rg0, bq0));
            _mm256_storeu_si256(records + 1, _mm256_unpackhi_epi64(rg0, bq0));
            _mm256_storeu_si256(records + 2, _mm256_unpacklo_epi64(rg1, bq1));
            _mm256_storeu_si256(records + 3, _mm256_unpackhi_epi64(rg1, bq1));

            for (int i = 0; i < K; ++i) {
                const __m256i m = _mm256_cmpeq_epi32(group, _mm256_set1_epi32(i));
                accR[i] = _mm256_add_epi32(accR[i], _mm256_and_si256(r, m));
                accG[i] = _mm256_add_epi32(accG[i], _mm256_and_si256(g, m));
                accB[i] = _mm256_add_epi32(accB[i], _mm256_and_si256(b, m));
                accN[i] = _mm256_sub_epi32(accN[i], m);
            }

            // The distortion stays one float add per pixel in pixel order. The adds form a
            // chain of their own; the vector work of the next pixels runs beside it.
            _mm256_store_ps(best8, _mm256_permutevar8x32_ps(best, pixelOrder));
            for (float d : best8)
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
        alignas(32) std::int32_t lanes[4][8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[0]), accR[i]);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[1]), accG[i]);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[2]), accB[i]);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[3]), accN[i]);
        sums.r[i] = tailR[i];
        sums.g[i] = tailG[i];
        sums.b[i] = tailB[i];
        sums.n[i] = tailN[i];
        for (int lane = 0; lane < 8; ++lane) {
            sums.r[i] += lanes[0][lane];
            sums.g[i] += lanes[1][lane];
            sums.b[i] += lanes[2][lane];
            sums.n[i] += lanes[3][lane];
        }
    }
    return distortion;
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
