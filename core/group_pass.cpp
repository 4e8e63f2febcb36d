// The portable kernel and the choice between kernels.
#include "core/group_pass.h"

namespace colorsplit {

namespace {

template <int K>
float ScalarPass(Column* columns, int w, int h, const PixelRec* codeBook, GroupSums& sums) {
    // 1280 x 960 x 255 fits in 32 bits.
    std::int32_t r[K] = {}, g[K] = {}, b[K] = {}, n[K] = {};
    float distortion = 0.0f;
    for (int x = 0; x < w; ++x) {
        PixelRec* column = columns[x];
        for (int y = 0; y < h; ++y) {
            PixelRec& p = column[y];
            std::int32_t d = 0;
            const int group = detail::NearestGroup(p, codeBook, K, d);
            p.Group = group;
            distortion += static_cast<float>(d);
            // Masks rather than an indexed add: neighbours mostly share a group, and an
            // indexed add would chain through memory from one pixel to the next.
            for (int i = 0; i < K; ++i) {
                const std::int32_t m = -static_cast<std::int32_t>(group == i);
                r[i] += p.R & m;
                g[i] += p.G & m;
                b[i] += p.B & m;
                n[i] -= m;
            }
        }
    }
    for (int i = 0; i < K; ++i) {
        sums.r[i] = r[i];
        sums.g[i] = g[i];
        sums.b[i] = b[i];
        sums.n[i] = n[i];
    }
    return distortion;
}

bool CpuHas(Kernel kernel) {
#if defined(__x86_64__) || defined(__i386__)
    switch (kernel) {
        case Kernel::kScalar:
            return true;
        case Kernel::kAvx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case Kernel::kAvx512:
            return __builtin_cpu_supports("avx512f");
    }
    return false;
#else
    return kernel == Kernel::kScalar;
#endif
}

}  // namespace

const char* KernelName(Kernel kernel) {
    switch (kernel) {
        case Kernel::kScalar:
            return "scalar";
        case Kernel::kAvx2:
            return "avx2";
        case Kernel::kAvx512:
            return "avx512";
    }
    return "?";
}

bool KernelAvailable(Kernel kernel) {
    switch (kernel) {
        case Kernel::kScalar:
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
                                                                  : Kernel::kScalar;
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
        kernel = Kernel::kScalar;
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
            return ScalarPass<1>(columns, w, h, codeBook.data(), sums);
        case 2:
            return ScalarPass<2>(columns, w, h, codeBook.data(), sums);
        case 3:
            return ScalarPass<3>(columns, w, h, codeBook.data(), sums);
        default:
            return ScalarPass<4>(columns, w, h, codeBook.data(), sums);
    }
}

}  // namespace colorsplit
