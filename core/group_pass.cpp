// The grouping pass, written once: Highway compiles this file for each instruction set it
// targets (here SSSE3, SSE4, AVX2, AVX-512 and plain scalar code; NEON on Arm) and the widest
// one the CPU runs is chosen at run time. A pass is a loop over vectors of pixels in named
// steps: load the colours, the squared distances, the nearest group, store the groups, add
// the sums; the few lines that differ by instruction set say why.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/group_pass.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
//
#include <hwy/highway.h>

#include <algorithm>
#include <utility>

#include "core/group_pass.h"
#include "core/kernel_support.h"

HWY_BEFORE_NAMESPACE();
namespace colorsplit::HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

using DF = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<DF>;
using DU = hn::RebindToUnsigned<DF>;
using VF = hn::Vec<DF>;
using VI = hn::Vec<DI>;
using VU = hn::Vec<DU>;

// A vector of pixels, a vector per colour, as whole numbers and as floats.
struct Colours {
    VI r, g, b;
    VF fr, fg, fb;
};

// The code vectors as the distances want them: |c - p|^2 = |p|^2 + (|c|^2 - 2 c.p). Every term
// and partial sum is a whole number below 2^24, so the float arithmetic is exact and gives the
// integer squared distance. The loops over them are unrolled, so that they stay in registers.
template <int K>
struct CodeVectors {
    VF m2r[K], m2g[K], m2b[K], cc[K];

    explicit CodeVectors(const PixelRec* codeBook) {
        const DF df;
#pragma GCC unroll 4
        for (int i = 0; i < K; ++i) {
            const PixelRec& c = codeBook[i];
            m2r[i] = hn::Set(df, -2.0f * static_cast<float>(c.R));
            m2g[i] = hn::Set(df, -2.0f * static_cast<float>(c.G));
            m2b[i] = hn::Set(df, -2.0f * static_cast<float>(c.B));
            cc[i] = hn::Set(df, static_cast<float>(c.R * c.R + c.G * c.G + c.B * c.B));
        }
    }
};

// Where a vector's lanes come from and go to. Records are split into colours one 128-bit
// block at a time, as the instruction sets do it cheaply: with B blocks a vector, lane 4b + q
// then holds pixel qB + b. Groups and sums do not mind the order; the distances are put back
// in pixel order for the distortion's chain.
struct Lanes {
    int lanes = static_cast<int>(hn::Lanes(DF()));
#if HWY_TARGET != HWY_SCALAR
    int blocks = lanes / 4;
    decltype(hn::SetTableIndices(DF(), static_cast<const std::int32_t*>(nullptr))) inPixelOrder;
    decltype(hn::FirstN(DI(), 0)) groupField;

    Lanes() {
        const DI di;
        HWY_ALIGN std::int32_t order[hn::MaxLanes(di)];
        for (int p = 0; p < lanes; ++p)
            order[p] = 4 * (p % blocks) + p / blocks;
        inPixelOrder = hn::SetTableIndices(DF(), order);
        groupField = hn::Eq(hn::And(hn::Iota(di, 0), hn::Set(di, 3)), hn::Set(di, 3));
    }
#endif
};

// Step 1: a vector of records (R, G, B, Group) to one vector per colour.
HWY_INLINE Colours LoadColours(const std::int32_t* records) {
    const DF df;
    const DI di;
    Colours c;
#if HWY_TARGET != HWY_SCALAR
    const int lanes = static_cast<int>(hn::Lanes(di));
    const hn::RepartitionToWide<DI> d64;
    const VI v0 = hn::LoadU(di, records);
    const VI v1 = hn::LoadU(di, records + lanes);
    const VI v2 = hn::LoadU(di, records + 2 * lanes);
    const VI v3 = hn::LoadU(di, records + 3 * lanes);
    const VI t0 = hn::InterleaveLower(di, v0, v1);  // R R G G of two records a block
    const VI t1 = hn::InterleaveUpper(di, v0, v1);  // B B N N
    const VI t2 = hn::InterleaveLower(di, v2, v3);
    const VI t3 = hn::InterleaveUpper(di, v2, v3);
    const auto pairs = [&](VI v) { return hn::BitCast(d64, v); };
    c.r = hn::BitCast(di, hn::InterleaveLower(d64, pairs(t0), pairs(t2)));
    c.g = hn::BitCast(di, hn::InterleaveUpper(d64, pairs(t0), pairs(t2)));
    c.b = hn::BitCast(di, hn::InterleaveLower(d64, pairs(t1), pairs(t3)));
#else
    VI unused;
    hn::LoadInterleaved4(di, records, c.r, c.g, c.b, unused);
#endif
    c.fr = hn::ConvertTo(df, c.r);
    c.fg = hn::ConvertTo(df, c.g);
    c.fb = hn::ConvertTo(df, c.b);
    return c;
}

// Step 2: the squared distance of each pixel to each code vector.
template <int K>
HWY_INLINE void SquaredDistances(const Colours& c, const CodeVectors<K>& v, VF (&sq)[K]) {
    const VF pp = hn::MulAdd(c.fr, c.fr, hn::MulAdd(c.fg, c.fg, hn::Mul(c.fb, c.fb)));
#pragma GCC unroll 4
    for (int i = 0; i < K; ++i)
        sq[i] = hn::Add(
            pp, hn::MulAdd(v.m2r[i], c.fr,
                           hn::MulAdd(v.m2g[i], c.fg, hn::MulAdd(v.m2b[i], c.fb, v.cc[i]))));
}

// Step 3: each pixel's group and its distance. The smallest distance is floor(m / 3) for the
// smallest squared distance m; every squared distance below 3 * (that + 1) divides to the same
// distance, and the lowest index among those wins (equal distances keep the lower index): one
// division per pixel, not per code vector. The group is the number of leading code vectors
// that lose.
template <int K>
HWY_INLINE VI NearestGroup(const VF (&sq)[K], VF& distance) {
    const DF df;
    const DI di;
    // Constants made here, not held in registers all along: the compiler can take them from
    // memory where registers run short, and the distortion's running sum must keep one.
    const VF third = hn::Set(df, 1.0f / 3.0f), three = hn::Set(df, 3.0f);
    VF m = sq[0];
#pragma GCC unroll 4
    for (int i = 1; i < K; ++i)
        m = hn::Min(m, sq[i]);
        // The fraction of m / 3 is 0, 1/3 or 2/3, and m / 3 is computed within 0.01.
#if HWY_TARGET == HWY_SSSE3 || HWY_TARGET == HWY_SCALAR
    // No rounding instruction here: m / 3 - 0.4 is a whole number plus about 0.6, 0.93 or
    // 0.27, never near a half, so adding 1.5 * 2^23 (where floats are whole numbers) rounds it
    // to the quotient.
    const VF magic = hn::Set(df, 12582912.0f);
    distance = hn::Sub(hn::Add(hn::MulSub(m, third, hn::Set(df, 0.4f)), magic), magic);
#else
    // m / 3 + 0.1 is a whole number plus about 0.1, 0.43 or 0.77: truncated, the quotient.
    distance = hn::Trunc(hn::MulAdd(m, third, hn::Set(df, 0.1f)));
#endif
    const VF limit = hn::MulAdd(distance, three, three);
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
    return group;
}

// Step 4: the groups into the records (only their Group fields change), the distances into
// the chain's buffer in pixel order.
HWY_INLINE void StoreGroups(const Lanes& l, const Colours& c, VI group, VF distance,
                            std::int32_t* records, float* distances) {
    const DF df;
    const DI di;
#if HWY_TARGET != HWY_SCALAR
    (void)c;
    // Lane q of each block of group goes to vector q.
    if constexpr (hn::MaxLanes(DF()) == 4) {
        // One record a vector: lane q is record q's group, written on its own.
        records[3] = hn::ExtractLane(group, 0);
        records[7] = hn::ExtractLane(group, 1);
        records[11] = hn::ExtractLane(group, 2);
        records[15] = hn::ExtractLane(group, 3);
    } else {
        const int lanes = l.lanes;
        hn::BlendedStore(hn::Broadcast<0>(group), l.groupField, di, records);
        hn::BlendedStore(hn::Broadcast<1>(group), l.groupField, di, records + lanes);
        hn::BlendedStore(hn::Broadcast<2>(group), l.groupField, di, records + 2 * lanes);
        hn::BlendedStore(hn::Broadcast<3>(group), l.groupField, di, records + 3 * lanes);
    }
    hn::Store(l.blocks > 1 ? hn::TableLookupLanes(distance, l.inPixelOrder) : distance, df,
              distances);
#else
    (void)l;
    hn::StoreInterleaved4(c.r, c.g, c.b, group, di, records);
    hn::Store(distance, df, distances);
#endif
}

// The groups' sums a lane at a time, in 32-bit lanes holding two 16-bit halves: R | G << 16
// and B | 1 << 16 (the count). Only the first K - 1 groups are added; [K - 1] holds the totals,
// and the last group's sums are the totals less the others'.
template <int K>
struct LaneSums {
    VU rg[K], bn[K];

    LaneSums() { Clear(); }
    void Clear() {
#pragma GCC unroll 4
        for (int i = 0; i < K; ++i)
            rg[i] = bn[i] = hn::Zero(DU());
    }
    // Into 64-bit sums, before a half can overflow.
    void EmptyInto(detail::PackedSums<K>& packed, int lanes) {
        const DI di;
        HWY_ALIGN std::int32_t r[hn::MaxLanes(di)], b[hn::MaxLanes(di)];
#pragma GCC unroll 4
        for (int i = 0; i < K; ++i) {
            hn::Store(hn::BitCast(di, rg[i]), di, r);
            hn::Store(hn::BitCast(di, bn[i]), di, b);
            packed.Add(i, r, b, lanes);
        }
        Clear();
    }
};

// Step 5: each pixel's colours added to its group's sums.
template <int K>
HWY_INLINE void AddSums(const Colours& c, VI group, LaneSums<K>& sums) {
    const DI di;
    const DU du;
    const VU count = hn::Set(du, 1u << 16);
    const VU rg = hn::Or(hn::BitCast(du, c.r), hn::ShiftLeft<16>(hn::BitCast(du, c.g)));
    const VU bn = hn::Or(hn::BitCast(du, c.b), count);
    sums.rg[K - 1] = hn::Add(sums.rg[K - 1], rg);
    sums.bn[K - 1] = hn::Add(sums.bn[K - 1], bn);
#pragma GCC unroll 4
    for (int i = 0; i < K - 1; ++i) {
        const auto in = hn::RebindMask(du, hn::Eq(group, hn::Set(di, i)));
#if HWY_TARGET <= HWY_AVX3
        // One masked add each where masks are registers of their own.
        sums.rg[i] = hn::IfThenElse(in, hn::Add(sums.rg[i], rg), sums.rg[i]);
        sums.bn[i] = hn::IfThenElse(in, hn::Add(sums.bn[i], bn), sums.bn[i]);
#else
        sums.rg[i] = hn::Add(sums.rg[i], hn::IfThenElseZero(in, rg));
        sums.bn[i] = hn::Add(sums.bn[i], hn::IfThenElseZero(in, bn));
#endif
    }
}

template <int K>
float Pass(Column* columns, int w, int h, const PixelRec* codeBook, GroupSums& sums) {
    const CodeVectors<K> vectors(codeBook);
    const Lanes l;
    const int lanes = l.lanes;
    LaneSums<K> laneSums;
    detail::PackedSums<K> packed;
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
                std::int32_t* records = column + 4 * y;
                const Colours c = LoadColours(records);
                VF sq[K];
                SquaredDistances(c, vectors, sq);
                VF distance;
                const VI group = NearestGroup(sq, distance);
                StoreGroups(l, c, group, distance, records, current + y);
                AddSums(c, group, laneSums);
                // The distortion must stay one float add per pixel in x-outer, y-inner order;
                // the previous column's adds run while this column's vector work does.
                if (previous != nullptr)
                    distortion = detail::AddInOrder(distortion, previous + y, lanes);
            }
            laneSums.EmptyInto(packed, lanes);
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

// Step 1 for a picture's rows: a vector of pixels 0xFFRRGGBB to one vector per colour.
HWY_INLINE Colours LoadRowColours(const RowPixel* pixels) {
    const DF df;
    const DI di;
    const DU du;
    const VU p = hn::LoadU(du, pixels);
    const VU low = hn::Set(du, 0xFFu);
    Colours c;
    c.r = hn::BitCast(di, hn::And(hn::ShiftRight<16>(p), low));
    c.g = hn::BitCast(di, hn::And(hn::ShiftRight<8>(p), low));
    c.b = hn::BitCast(di, hn::And(p, low));
    c.fr = hn::ConvertTo(df, c.r);
    c.fg = hn::ConvertTo(df, c.g);
    c.fb = hn::ConvertTo(df, c.b);
    return c;
}

// A row of a picture into groups: steps 1 to 3, the groups stored as bytes.
template <int K>
void Row(const RowPixel* row, int n, const PixelRec* codeBook, std::uint8_t* groups) {
    const CodeVectors<K> vectors(codeBook);
    const DI di;
    const hn::Rebind<std::uint8_t, DI> d8;
    const int lanes = static_cast<int>(hn::Lanes(di));
    int x = 0;
    for (; x + lanes <= n; x += lanes) {
        const Colours c = LoadRowColours(row + x);
        VF sq[K];
        SquaredDistances(c, vectors, sq);
        VF distance;
        hn::StoreU(hn::DemoteTo(d8, NearestGroup(sq, distance)), d8, groups + x);
    }
    for (; x < n; ++x) {
        std::int32_t distance = 0;
        const PixelRec p{RowRed(row[x]), RowGreen(row[x]), RowBlue(row[x]), 0};
        groups[x] = static_cast<std::uint8_t>(detail::NearestGroup(p, codeBook, K, distance));
    }
}

}  // namespace

// The pass for k groups, one instance for each k up to kMaxColors.
template <int... Ks>
float PassOf(std::integer_sequence<int, Ks...>, int k, Column* columns, int w, int h,
             const PixelRec* codeBook, GroupSums& sums) {
    float distortion = 0.0f;
    (void)((k == Ks + 1 ? (distortion = Pass<Ks + 1>(columns, w, h, codeBook, sums), true)
                        : false) ||
           ...);
    return distortion;
}

float PassOfK(Column* columns, int w, int h, const PixelRec* codeBook, int k, GroupSums& sums) {
    return PassOf(std::make_integer_sequence<int, kMaxColors>(), k, columns, w, h, codeBook, sums);
}

template <int... Ks>
void RowOf(std::integer_sequence<int, Ks...>, int k, const RowPixel* row, int n,
           const PixelRec* codeBook, std::uint8_t* groups) {
    (void)((k == Ks + 1 ? (Row<Ks + 1>(row, n, codeBook, groups), true) : false) || ...);
}

void RowOfK(const RowPixel* row, int n, const PixelRec* codeBook, int k, std::uint8_t* groups) {
    RowOf(std::make_integer_sequence<int, kMaxColors>(), k, row, n, codeBook, groups);
}

}  // namespace colorsplit::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace colorsplit {

HWY_EXPORT(PassOfK);
HWY_EXPORT(RowOfK);

const char* GroupPassTarget() {
    const std::int64_t targets = hwy::SupportedTargets() & HWY_TARGETS;
    return hwy::TargetName(targets & -targets);  // Highway's lower bits are the wider sets
}

float GroupPass(Column* columns, int w, int h, const std::array<PixelRec, kMaxColors>& codeBook,
                int k, GroupSums& sums) {
    sums = GroupSums{};
    if (k <= 0) {
        for (int x = 0; x < w; ++x)
            for (int y = 0; y < h; ++y)
                columns[x][y].Group = 0;
        return 0.0f;
    }
    return HWY_DYNAMIC_DISPATCH(PassOfK)(columns, w, h, codeBook.data(), std::min(k, kMaxColors),
                                         sums);
}

void GroupRow(const RowPixel* row, int n, const std::array<PixelRec, kMaxColors>& codeBook, int k,
              std::uint8_t* groups) {
    HWY_DYNAMIC_DISPATCH(RowOfK)(row, n, codeBook.data(), std::clamp(k, 1, kMaxColors), groups);
}

}  // namespace colorsplit
#endif  // HWY_ONCE
