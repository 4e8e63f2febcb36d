// The grouping pass, written once: Highway compiles this file for each instruction set it
// targets (here SSSE3, SSE4, AVX2, AVX-512 and plain scalar code; NEON on Arm) and the widest
// one the CPU runs is chosen at run time. The few lines that differ by target say why.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/group_pass.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
//
#include <hwy/highway.h>

#include "core/group_pass.h"
#include "core/kernel_support.h"

HWY_BEFORE_NAMESPACE();
namespace colorsplit::HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

template <int K>
float Pass(Column* columns, int w, int h, const PixelRec* codeBook, GroupSums& sums) {
    const hn::ScalableTag<float> df;
    const hn::RebindToSigned<decltype(df)> di;
    const hn::RebindToUnsigned<decltype(df)> du;
    using VF = hn::Vec<decltype(df)>;
    using VI = hn::Vec<decltype(di)>;
    using VU = hn::Vec<decltype(du)>;
    const int lanes = static_cast<int>(hn::Lanes(df));

    // The loops over the code vectors are unrolled, so that their vectors stay in registers.
    // |c - p|^2 = |p|^2 + (|c|^2 - 2 c.p). Every term and partial sum is a whole number below
    // 2^24, so the float arithmetic is exact and gives the integer squared distance.
    VF m2r[K], m2g[K], m2b[K], cc[K];
#pragma GCC unroll 4
    for (int i = 0; i < K; ++i) {
        const PixelRec& c = codeBook[i];
        m2r[i] = hn::Set(df, -2.0f * static_cast<float>(c.R));
        m2g[i] = hn::Set(df, -2.0f * static_cast<float>(c.G));
        m2b[i] = hn::Set(df, -2.0f * static_cast<float>(c.B));
        cc[i] = hn::Set(df, static_cast<float>(c.R * c.R + c.G * c.G + c.B * c.B));
    }
    // Group sums in 16-bit halves: R | G << 16 and B | 1 << 16 (the count), emptied into
    // 64-bit sums after every stretch of a column. Only the first K - 1 groups are added; the
    // last group's sums are the totals less the others'.
    detail::PackedSums<K> packed;
    VU laneRG[K], laneBN[K];  // [i] for group i < K - 1, [K - 1] for the totals
#pragma GCC unroll 4
    for (int i = 0; i < K; ++i)
        laneRG[i] = laneBN[i] = hn::Zero(du);

#if HWY_TARGET != HWY_SCALAR
    // Records are split into colours one 128-bit block at a time, as the instruction sets do
    // it cheaply: with B blocks a vector, lane 4b + q then holds pixel qB + b. Groups and sums
    // do not mind the order; the distances are put back in pixel order for the chain.
    const int blocks = lanes / 4;
    HWY_ALIGN std::int32_t order[hn::MaxLanes(di)];
    for (int p = 0; p < lanes; ++p)
        order[p] = 4 * (p % blocks) + p / blocks;
    const auto inPixelOrder = hn::SetTableIndices(df, order);
    const auto groupField = hn::Eq(hn::And(hn::Iota(di, 0), hn::Set(di, 3)), hn::Set(di, 3));
    const hn::RepartitionToWide<decltype(di)> d64;
#endif
    detail::ColumnTail<K> tail;
    detail::DistortionChain chain;
    float distortion = 0.0f;
    const int whole = h - h % lanes;

    for (int x = 0; x < w; ++x) {
        // A column is an array of records of four int32: R, G, B, Group.
        auto* column = reinterpret_cast<std::int32_t*>(columns[x]);
        float* current = chain.Current();
        const float* previous = x > 0 ? chain.Previous() : nullptr;
        // In stretches of at most 256 vectors, so that no 16-bit half of a sum can pass 65535.
        for (int start = 0; start < whole; start += 256 * lanes) {
            const int end = std::min(whole, start + 256 * lanes);
            for (int y = start; y < end; y += lanes) {
                // Constants made here, not held in registers all along: the compiler can take
                // them from memory where registers run short, and the distortion's running sum
                // must keep one.
                const VF third = hn::Set(df, 1.0f / 3.0f), three = hn::Set(df, 3.0f);
                const VU count = hn::Set(du, 1u << 16);
                // Records (R, G, B, Group) to one vector per colour.
                std::int32_t* records = column + 4 * y;
#if HWY_TARGET != HWY_SCALAR
                const VI v0 = hn::LoadU(di, records);
                const VI v1 = hn::LoadU(di, records + lanes);
                const VI v2 = hn::LoadU(di, records + 2 * lanes);
                const VI v3 = hn::LoadU(di, records + 3 * lanes);
                const VI t0 = hn::InterleaveLower(di, v0, v1);  // R R G G of two records a block
                const VI t1 = hn::InterleaveUpper(di, v0, v1);  // B B N N
                const VI t2 = hn::InterleaveLower(di, v2, v3);
                const VI t3 = hn::InterleaveUpper(di, v2, v3);
                const auto pairs = [&](VI v) { return hn::BitCast(d64, v); };
                const VI r = hn::BitCast(di, hn::InterleaveLower(d64, pairs(t0), pairs(t2)));
                const VI g = hn::BitCast(di, hn::InterleaveUpper(d64, pairs(t0), pairs(t2)));
                const VI b = hn::BitCast(di, hn::InterleaveLower(d64, pairs(t1), pairs(t3)));
#else
                VI r, g, b, unused;
                hn::LoadInterleaved4(di, records, r, g, b, unused);
#endif
                const VF fr = hn::ConvertTo(df, r);
                const VF fg = hn::ConvertTo(df, g);
                const VF fb = hn::ConvertTo(df, b);
                const VF pp = hn::MulAdd(fr, fr, hn::MulAdd(fg, fg, hn::Mul(fb, fb)));
                VF sq[K];
#pragma GCC unroll 4
                for (int i = 0; i < K; ++i)
                    sq[i] = hn::Add(
                        pp, hn::MulAdd(m2r[i], fr,
                                       hn::MulAdd(m2g[i], fg, hn::MulAdd(m2b[i], fb, cc[i]))));

                // The smallest distance is floor(m / 3) for the smallest squared distance m.
                // Every squared distance below 3 * (that + 1) divides to the same distance, and
                // the lowest index among those wins (equal distances keep the lower index): one
                // division per pixel, not per code vector.
                VF m = sq[0];
#pragma GCC unroll 4
                for (int i = 1; i < K; ++i) {
                    m = hn::Min(m, sq[i]);
                }
                // The fraction of m / 3 is 0, 1/3 or 2/3, and m / 3 is computed within 0.01.
#if HWY_TARGET == HWY_SSSE3 || HWY_TARGET == HWY_SCALAR
                // No rounding instruction here: m / 3 - 0.4 is a whole number plus about 0.6,
                // 0.93 or 0.27, never near a half, so adding 1.5 * 2^23 (where floats are whole
                // numbers) rounds it to the quotient.
                const VF magic = hn::Set(df, 12582912.0f);
                const VF best =
                    hn::Sub(hn::Add(hn::MulSub(m, third, hn::Set(df, 0.4f)), magic), magic);
#else
                // m / 3 + 0.1 is a whole number plus about 0.1, 0.43 or 0.77: truncated, the
                // quotient.
                const VF best = hn::Trunc(hn::MulAdd(m, third, hn::Set(df, 0.1f)));
#endif
                const VF limit = hn::MulAdd(best, three, three);
                // The group is the number of leading code vectors that lose.
#if HWY_TARGET <= HWY_AVX3
                // Masks are registers of their own here: one masked move or add a step.
                const VI one = hn::Set(di, 1);
                auto lost = hn::RebindMask(di, hn::Ge(sq[0], limit));
                VI group = hn::IfThenElseZero(lost, one);
#pragma GCC unroll 4
                for (int i = 1; i < K - 1; ++i) {
                    lost = hn::And(lost, hn::RebindMask(di, hn::Ge(sq[i], limit)));
                    group = hn::IfThenElse(lost, hn::Add(group, one), group);
                }
#else
                // Masks are vectors of all ones (-1) here: one subtraction a step.
                const auto losing = [&](int i) {
                    return hn::BitCast(di, hn::VecFromMask(df, hn::Ge(sq[i], limit)));
                };
                VI lost = losing(0);
                VI group = hn::Neg(lost);
#pragma GCC unroll 4
                for (int i = 1; i < K - 1; ++i) {
                    lost = hn::And(lost, losing(i));
                    group = hn::Sub(group, lost);
                }
#endif
#if HWY_TARGET != HWY_SCALAR
                // Only the Group fields change: lane q of each block of group goes to vector q.
                if constexpr (hn::MaxLanes(hn::ScalableTag<float>()) == 4) {
                    // One record a vector: lane q is record q's group, written on its own.
                    records[3] = hn::ExtractLane(group, 0);
                    records[7] = hn::ExtractLane(group, 1);
                    records[11] = hn::ExtractLane(group, 2);
                    records[15] = hn::ExtractLane(group, 3);
                } else {
                    hn::BlendedStore(hn::Broadcast<0>(group), groupField, di, records);
                    hn::BlendedStore(hn::Broadcast<1>(group), groupField, di, records + lanes);
                    hn::BlendedStore(hn::Broadcast<2>(group), groupField, di, records + 2 * lanes);
                    hn::BlendedStore(hn::Broadcast<3>(group), groupField, di, records + 3 * lanes);
                }
                hn::Store(blocks > 1 ? hn::TableLookupLanes(best, inPixelOrder) : best, df,
                          current + y);
#else
                hn::StoreInterleaved4(r, g, b, group, di, records);
                hn::Store(best, df, current + y);
#endif

                const VU rg = hn::Or(hn::BitCast(du, r), hn::ShiftLeft<16>(hn::BitCast(du, g)));
                const VU bn = hn::Or(hn::BitCast(du, b), count);
                laneRG[K - 1] = hn::Add(laneRG[K - 1], rg);
                laneBN[K - 1] = hn::Add(laneBN[K - 1], bn);
#pragma GCC unroll 4
                for (int i = 0; i < K - 1; ++i) {
                    const auto in = hn::RebindMask(du, hn::Eq(group, hn::Set(di, i)));
#if HWY_TARGET <= HWY_AVX3
                    // One masked add each where masks are registers of their own.
                    laneRG[i] = hn::IfThenElse(in, hn::Add(laneRG[i], rg), laneRG[i]);
                    laneBN[i] = hn::IfThenElse(in, hn::Add(laneBN[i], bn), laneBN[i]);
#else
                    laneRG[i] = hn::Add(laneRG[i], hn::IfThenElseZero(in, rg));
                    laneBN[i] = hn::Add(laneBN[i], hn::IfThenElseZero(in, bn));
#endif
                }
                // The distortion must stay one float add per pixel in x-outer, y-inner order; the
                // previous column's adds run while this column's vector work does.
                if (previous != nullptr)
                    distortion = detail::AddInOrder(distortion, previous + y, lanes);
            }
            HWY_ALIGN std::int32_t rg[hn::MaxLanes(di)], bn[hn::MaxLanes(di)];
#pragma GCC unroll 4
            for (int i = 0; i < K; ++i) {
                hn::Store(hn::BitCast(di, laneRG[i]), di, rg);
                hn::Store(hn::BitCast(di, laneBN[i]), di, bn);
                packed.Add(i, rg, bn, lanes);
                laneRG[i] = laneBN[i] = hn::Zero(du);
            }
        }
        for (int y = whole; y < h; ++y)
            tail.Group(columns[x][y], codeBook, current[y]);
        if (previous != nullptr)
            distortion = detail::AddInOrder(distortion, previous + whole, h - whole);
        chain.NextColumn();
    }
    packed.Into(sums);
    tail.AddInto(sums);
    return w > 0 ? detail::AddInOrder(distortion, chain.Previous(), h) : distortion;
}

}  // namespace

float PassOfK(Column* columns, int w, int h, const PixelRec* codeBook, int k, GroupSums& sums) {
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

}  // namespace colorsplit::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace colorsplit {

HWY_EXPORT(PassOfK);

std::vector<Kernel> CompiledKernels() {
    std::vector<Kernel> kernels;
    for (std::int64_t targets = HWY_TARGETS; targets != 0; targets &= targets - 1)
        kernels.push_back(targets & -targets);
    return kernels;
}

const char* KernelName(Kernel kernel) {
    return kernel == kWidestKernel ? "widest" : hwy::TargetName(kernel);
}

bool KernelAvailable(Kernel kernel) {
    return kernel == kWidestKernel || (hwy::SupportedTargets() & HWY_TARGETS & kernel) != 0;
}

Kernel WidestKernel() {
    const std::int64_t targets = hwy::SupportedTargets() & HWY_TARGETS;
    return targets & -targets;  // Highway's lower bits are the wider sets
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
    k = std::min(k, kMaxColors);
    if (kernel == kWidestKernel || !KernelAvailable(kernel))
        return HWY_DYNAMIC_DISPATCH(PassOfK)(columns, w, h, codeBook.data(), k, sums);
    // One instruction set on purpose (tests, benchmarks): Highway's own way to run the one
    // given, then back to the widest.
    hwy::SetSupportedTargetsForTest(kernel);
    const float distortion = HWY_DYNAMIC_DISPATCH(PassOfK)(columns, w, h, codeBook.data(), k, sums);
    hwy::SetSupportedTargetsForTest(0);
    return distortion;
}

}  // namespace colorsplit
#endif  // HWY_ONCE
