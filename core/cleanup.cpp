// Removing the regions smaller than a minimum size from a grouping. The rules:
//  1. A region is a largest set of pixels of one group connected across edges (4) or across
//     edges and corners (8). A region of minPixels or more is kept and never changes.
//  2. When no region is that large, the largest is kept (ties: the one whose first pixel comes
//     first in raster order), so a picture smaller than minPixels in all ends as one region.
//  3. The small regions are then settled in scans of the picture, alternately forward (rows top
//     to bottom, each left to right) and backward, each region when the scan reaches its first
//     pixel in that order:
//     a. connected to a kept pixel of its own group (a neighbour settled into its group), it is
//        kept as it is;
//     b. else, if it shares edges with kept pixels, it takes the group of those it shares the
//        most edges with (ties: the lower group), and its pixels are kept from then on;
//     c. else it touches only small regions and waits for a later scan.
//     Kept pixels include those settled before, in this scan or an earlier one, so a region
//     that touches only small regions joins whichever of them settles first next to it.
//  4. Scans repeat until every pixel is kept. Each settles at least the first region in its
//     order that borders a kept pixel, so they end; alternating the direction lets a kept
//     region spread over small ones above it as fast as below it.
// Border lengths always count edges (4-neighbour pairs), whatever the connectivity.
#include "core/cleanup.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace colorsplit {
namespace {

// A pixel's place, y in the high half.
using Place = std::uint64_t;
constexpr Place PlaceOf(int x, int y) {
    return (static_cast<Place>(y) << 32) | static_cast<std::uint32_t>(x);
}
constexpr int XOf(Place p) {
    return static_cast<int>(p & 0xFFFFFFFFu);
}
constexpr int YOf(Place p) {
    return static_cast<int>(p >> 32);
}

struct Step {
    int dx, dy;
};
constexpr std::array<Step, 8> kSteps = {
    {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}}};
// The first four are the edges.
constexpr int kEdges = 4;

class Cleaner {
public:
    Cleaner(GroupMap& map, std::int64_t minPixels, Connectivity connectivity)
        : map_(map),
          minPixels_(minPixels),
          steps_(connectivity == Connectivity::Eight ? 8 : kEdges),
          width_(map.Width()),
          height_(map.Height()),
          words_((static_cast<std::size_t>(width_) + 63) / 64),
          marks_(words_ * static_cast<std::size_t>(height_)) {
        // The bits past a row's end count as kept, so that a kept row is all ones.
        if (width_ % 64 != 0)
            for (int y = 0; y < height_; ++y)
                marks_[Word(0, y) + words_ - 1] = ~std::uint64_t{0} << (width_ % 64);
    }

    bool Run(const std::function<bool(std::int64_t, std::int64_t)>& progress) {
        const std::int64_t pixels = static_cast<std::int64_t>(width_) * height_;
        const auto report = [&](std::int64_t done) {
            return !progress || progress(done, 2 * pixels);
        };
        // Every region of minPixels or more is found before anything is settled, so that a
        // small region sees all the kept regions it touches.
        if (!FindKept([&](int y) { return report(static_cast<std::int64_t>(y + 1) * width_); }))
            return false;
        if (marked_ == 0) {
            Explore(PlaceOf(largestX_, largestY_), true);
            MarkRegion();
        }
        for (bool forward = true; marked_ < pixels; forward = !forward)
            if (!Scan(forward, [&](int) { return report(pixels + marked_); }))
                return false;
        return report(2 * pixels);
    }

private:
    enum class Found { Small, Kept, Seen };

    std::size_t Word(int x, int y) const {
        return static_cast<std::size_t>(y) * words_ + static_cast<std::size_t>(x >> 6);
    }
    bool Marked(int x, int y) const { return (marks_[Word(x, y)] >> (x & 63)) & 1; }
    void Mark(int x, int y) {
        marks_[Word(x, y)] |= std::uint64_t{1} << (x & 63);
        ++marked_;
    }
    // Marks [first, end) of row y.
    void MarkRun(int y, int first, int end) {
        for (int x = first; x < end;) {
            const int stop = std::min(end, (x & ~63) + 64);
            const std::uint64_t run =
                (stop - x == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (stop - x)) - 1)
                << (x & 63);
            std::uint64_t& word = marks_[Word(x, y)];
            marked_ += std::popcount(run & ~word);
            word |= run;
            x = stop;
        }
    }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // The first scan, forward, marks every region of minPixels or more. Nothing changes groups
    // yet, so a row's run of one group goes as its first pixel does: kept if that is, else a
    // part of a small region already explored.
    template <typename RowDone>
    bool FindKept(const RowDone& rowDone) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width_));
        for (int y = 0; y < height_; ++y) {
            map_.GetRow(y, row.data());
            for (int first = 0, end; first < width_; first = end) {
                const std::uint8_t group = row[static_cast<std::size_t>(first)];
                for (end = first + 1; end < width_ && row[static_cast<std::size_t>(end)] == group;)
                    ++end;
                if (!Marked(first, y))
                    Visit(first, y, true, false);
                if (Marked(first, y))
                    MarkRun(y, first, end);
            }
            if (!rowDone(y))
                return false;
        }
        return true;
    }

    // A scan that settles small regions; false when stopped.
    template <typename RowDone>
    bool Scan(bool forward, const RowDone& rowDone) {
        for (int i = 0; i < height_; ++i) {
            const int y = forward ? i : height_ - 1 - i;
            for (std::size_t j = 0; j < words_; ++j) {
                const std::size_t w = forward ? j : words_ - 1 - j;
                if (marks_[static_cast<std::size_t>(y) * words_ + w] == ~std::uint64_t{0})
                    continue;
                const int first = static_cast<int>(w * 64);
                const int end = std::min(width_, first + 64);
                for (int k = first; k < end; ++k) {
                    const int x = forward ? k : end - 1 - (k - first);
                    if (!Marked(x, y))
                        Visit(x, y, forward, true);
                }
            }
            if (!rowDone(y))
                return false;
        }
        return true;
    }

    void Visit(int x, int y, bool forward, bool settle) {
        const int group = map_.At(x, y);
        // The neighbours that come before this pixel in the scan: a kept one of the same group
        // makes it kept at once, an unkept one means its region has been explored already.
        const int back = forward ? -1 : 1;
        bool explored = false;
        for (const Step s : {Step{back, 0}, Step{0, back}, Step{back, back}, Step{-back, back}}) {
            if (s.dx != 0 && s.dy != 0 && steps_ == kEdges)
                continue;
            const int nx = x + s.dx, ny = y + s.dy;
            if (!Inside(nx, ny) || map_.At(nx, ny) != group)
                continue;
            if (Marked(nx, ny)) {
                Mark(x, y);
                return;
            }
            explored = true;
        }
        if (explored)
            return;
        switch (Explore(PlaceOf(x, y), forward)) {
            case Found::Kept:
                MarkRegion();
                break;
            case Found::Small:
                if (settle)
                    Settle();
                else if (region_.size() > largestSize_) {
                    largestSize_ = region_.size();
                    largestX_ = x;
                    largestY_ = y;
                }
                break;
            case Found::Seen:
                break;
        }
    }

    // Gathers the unkept pixels of the start's region into region_, up to minPixels of them.
    // Kept: it reached minPixels or a kept pixel of its group. Seen: it reached an unkept pixel
    // before the start in the scan, so the region was explored earlier in this scan.
    Found Explore(Place start, bool forward) {
        const int group = map_.At(XOf(start), YOf(start));
        const auto before = [&](Place p) { return forward ? p < start : p > start; };
        NewRegion();
        Add(start);
        stack_.assign(1, start);
        while (!stack_.empty()) {
            const Place p = stack_.back();
            stack_.pop_back();
            for (int i = 0; i < steps_; ++i) {
                const int nx = XOf(p) + kSteps[i].dx, ny = YOf(p) + kSteps[i].dy;
                if (!Inside(nx, ny) || map_.At(nx, ny) != group)
                    continue;
                if (Marked(nx, ny))
                    return Found::Kept;
                const Place n = PlaceOf(nx, ny);
                if (before(n))
                    return Found::Seen;
                if (!Add(n))
                    continue;
                if (static_cast<std::int64_t>(region_.size()) >= minPixels_)
                    return Found::Kept;
                stack_.push_back(n);
            }
        }
        return Found::Small;
    }

    void MarkRegion() {
        for (const Place p : region_)
            Mark(XOf(p), YOf(p));
    }

    // A small region whole in region_ joins the group it shares the most edges with among the
    // kept pixels around it; with none around it, it stays as it is for now.
    void Settle() {
        std::array<std::int64_t, 4> border{};
        for (const Place p : region_)
            for (int i = 0; i < kEdges; ++i) {
                const int nx = XOf(p) + kSteps[i].dx, ny = YOf(p) + kSteps[i].dy;
                if (Inside(nx, ny) && Marked(nx, ny))
                    ++border[static_cast<std::size_t>(map_.At(nx, ny))];
            }
        std::size_t best = 0;
        for (std::size_t g = 1; g < border.size(); ++g)
            if (border[g] > border[best])
                best = g;
        if (border[best] == 0)
            return;
        for (const Place p : region_) {
            map_.Set(XOf(p), YOf(p), static_cast<int>(best));
            Mark(XOf(p), YOf(p));
        }
    }

    // The places explored are found again through a table of open addressing; each slot
    // carries the number of the exploration that filled it, so a new one starts empty at once.
    struct Slot {
        Place place = 0;
        std::uint32_t region = 0;
    };
    void NewRegion() {
        region_.clear();
        if (++regionNumber_ == 0) {  // wrapped: the old numbers would look current
            std::fill(slots_.begin(), slots_.end(), Slot{});
            regionNumber_ = 1;
        }
    }
    // False when the place is there already.
    bool Add(Place p) {
        if (2 * (region_.size() + 1) > slots_.size()) {
            slots_.assign(std::bit_ceil(std::max<std::size_t>(64, 4 * (region_.size() + 1))),
                          Slot{});
            for (const Place q : region_)
                Insert(q);
        }
        if (!Insert(p))
            return false;
        region_.push_back(p);
        return true;
    }
    bool Insert(Place p) {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = ((p * 0x9E3779B97F4A7C15u) >> 32) & mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.region != regionNumber_) {
                s = {p, regionNumber_};
                return true;
            }
            if (s.place == p)
                return false;
        }
    }

    GroupMap& map_;
    const std::int64_t minPixels_;
    const int steps_;
    const int width_, height_;
    const std::size_t words_;           // a row's words of marks
    std::vector<std::uint64_t> marks_;  // a pixel known to be in a kept region
    std::int64_t marked_ = 0;

    std::vector<Place> region_, stack_;
    std::vector<Slot> slots_;  // a power of two
    std::uint32_t regionNumber_ = 0;

    std::size_t largestSize_ = 0;
    int largestX_ = 0, largestY_ = 0;
};

}  // namespace

bool CleanUp(GroupMap& map, std::int64_t minPixels, Connectivity connectivity,
             const std::function<bool(std::int64_t done, std::int64_t total)>& progress) {
    if (minPixels <= 1 || map.IsEmpty())
        return true;
    return Cleaner(map, minPixels, connectivity).Run(progress);
}

}  // namespace colorsplit
