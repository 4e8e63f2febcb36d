// Rings along the pixels' edges, one group at a time, with each border between two groups cut
// into the same stretches from both of its sides.
//
// 1. The rings of group g are walked with g on the left. The picture's rows are scanned top
//    down for the top edges of g's pixels (g below, another group or the outside above); one
//    not yet walked starts a ring. Every ring has at least one such edge, and walking one marks
//    all of its own, so each ring is walked once.
// 2. A lattice point where three or four pixel edges are borders is a junction: three or more
//    groups meet there, a border meets the picture's edge, or two pixels of a group touch only
//    at their corners. A ring is walked from a junction, and cut at every junction it passes
//    into stretches, each between two groups or along the picture's edge. A ring that meets no
//    junction is one closed stretch.
// 3. Where two pixels of a group touch only at a corner, the ring turns back along the pixel it
//    came by: every group's regions are 4-connected, and each pixel keeps to its own ring. The
//    fill, even-odd, is the same either way.
// 4. A border stretch is smoothed from its pixel edges alone, taken in one order whichever side
//    asks (from its smaller end, rows first; a closed one from its topmost-leftmost point,
//    rightwards): both sides get the very same curves, one of them reversed. Its ends and the
//    picture's edge stay put, so the shapes still cover the picture exactly once, whatever the
//    curves do.
#include "core/trace.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace colorsplit {

namespace {

// Directions, clockwise on the screen (rows grow downwards).
enum Direction { kEast, kSouth, kWest, kNorth };
constexpr int kDx[4] = {1, 0, -1, 0};
constexpr int kDy[4] = {0, 1, 0, -1};

// A corner of pixels, in pixels.
struct Lattice {
    int x = 0;
    int y = 0;
    bool operator==(const Lattice&) const = default;
};

// Rows first, then columns: the order that picks a stretch's direction.
bool Before(const Lattice& a, const Lattice& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
}

OutlinePoint Scaled(const Lattice& p) {
    return {p.x * kOutlineUnit, p.y * kOutlineUnit};
}

struct Vec {
    double x = 0;
    double y = 0;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(Vec a, double s) {
    return {a.x * s, a.y * s};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}
double Length(Vec a) {
    return std::sqrt(Dot(a, a));
}
Vec Unit(Vec a) {
    const double l = Length(a);
    return l > 0 ? a * (1 / l) : Vec{};
}

OutlinePoint Rounded(Vec v) {
    return {static_cast<std::int32_t>(std::lround(v.x * kOutlineUnit)),
            static_cast<std::int32_t>(std::lround(v.y * kOutlineUnit))};
}

// The same path walked the other way, from where it ended back to start.
void Reverse(OutlinePoint start, std::vector<OutlineSegment>& segments) {
    std::vector<OutlineSegment> reversed;
    reversed.reserve(segments.size());
    for (std::size_t i = segments.size(); i-- > 0;) {
        const OutlinePoint from = i > 0 ? segments[i - 1].to : start;
        reversed.push_back({segments[i].c2, segments[i].c1, from, segments[i].curve});
    }
    segments.swap(reversed);
}

// Fits curves to a border's pixel edges (see the top of the file, step 4).
class Smoother {
public:
    explicit Smoother(double tolerance)
        : tolerance_(tolerance),
          window_(2 + 2 * tolerance),
          keepPixels_(tolerance <= kKeepPixelsUpTo) {}

    // A stretch from its first turning point to its last, both kept.
    void Open(const std::vector<Lattice>& turns, std::vector<OutlineSegment>& out) {
        Prepare(turns, false);
        Add(turns.front(), true);
        for (std::size_t i = 0; i + 1 < turns.size(); ++i) {
            Run(i);
            if (i + 2 < turns.size() && corner_[i + 1])
                Add(turns[i + 1], true);
        }
        Add(turns.back(), true);
        FitAll(out);
    }

    // A closed stretch through every turning point, the first of them its topmost-leftmost;
    // returns where its segments start and end.
    OutlinePoint Closed(const std::vector<Lattice>& turns, std::vector<OutlineSegment>& out) {
        Prepare(turns, true);
        const std::size_t n = turns.size();
        std::size_t first = n;
        for (std::size_t i = 0; i < n && first == n; ++i)
            if (corner_[i])
                first = i;
        if (first == n) {
            // Round all the way: the curve closes smoothly at the first edge's midpoint.
            for (std::size_t i = 0; i < n; ++i)
                Run(i);
            const std::size_t m = samples_.size(), reach = std::min<std::size_t>(3, m / 2);
            samples_.push_back(samples_.front());
            along_.push_back(along_.front());
            const Vec t = Unit(samples_[reach] - samples_[m - reach]);
            out.clear();
            Fit(0, samples_.size() - 1, t, t * -1, out);
            return Rounded(samples_.front());
        }
        Add(turns[first], true);
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = (first + k) % n;
            Run(i);
            const std::size_t next = (i + 1) % n;
            if (corner_[next])
                Add(turns[next], true);
        }
        FitAll(out);
        return Scaled(turns[first]);
    }

private:
    std::size_t Turns() const { return turns_->size(); }
    // Run i goes from turning point i to the next.
    Lattice From(std::size_t i) const { return (*turns_)[i]; }
    Lattice To(std::size_t i) const { return (*turns_)[(i + 1) % Turns()]; }

    // Where each run starts along the outline, and which turning points are corners: the
    // outline comes in and goes out, measured over window_ pixels each way, at more than 60
    // degrees. A staircase of any slope turns far less over a window longer than its steps.
    void Prepare(const std::vector<Lattice>& turns, bool closed) {
        turns_ = &turns;
        closed_ = closed;
        samples_.clear();
        along_.clear();
        breaks_.clear();
        const std::size_t n = Turns();
        const std::size_t runs = closed_ ? n : n - 1;
        at_.assign(runs + 1, 0);
        for (std::size_t i = 0; i < runs; ++i)
            at_[i + 1] = at_[i] + std::abs(To(i).x - From(i).x) + std::abs(To(i).y - From(i).y);
        corner_.assign(n, false);
        // A small closed outline would meet itself within the window.
        const double window = closed_ ? std::min(window_, at_.back() / 3) : window_;
        const std::size_t from = closed_ ? 0 : 1, to = closed_ ? n : n - 1;
        for (std::size_t i = from; i < to; ++i) {
            const Vec p{static_cast<double>((*turns_)[i].x), static_cast<double>((*turns_)[i].y)};
            const Vec in = p - PointAt(at_[i] - window);
            const Vec out = PointAt(at_[i] + window) - p;
            corner_[i] = Dot(in, out) < 0.5 * Length(in) * Length(out);
        }
    }

    // The point s pixels along the outline from its first turning point; a closed outline
    // goes round, an open one stops at its ends.
    Vec PointAt(double s) const {
        const double total = at_.back();
        if (closed_)
            s = std::fmod(std::fmod(s, total) + total, total);
        else
            s = std::clamp(s, 0.0, total);
        const std::size_t i = std::min<std::size_t>(
            static_cast<std::size_t>(std::upper_bound(at_.begin(), at_.end(), s) - at_.begin()) - 1,
            at_.size() - 2);
        const Lattice a = From(i), b = To(i);
        const double f = s - at_[i], len = at_[i + 1] - at_[i];
        const double t = len > 0 ? f / len : 0;
        return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
    }

    void Add(Lattice p, bool isBreak) {
        if (isBreak)
            breaks_.push_back(samples_.size());
        samples_.push_back({static_cast<double>(p.x), static_cast<double>(p.y)});
        along_.push_back({});
    }
    // The midpoints of run i's pixel edges.
    void Run(std::size_t i) {
        const Lattice a = From(i), b = To(i);
        const int len = std::abs(b.x - a.x) + std::abs(b.y - a.y);
        const int dx = (b.x > a.x) - (b.x < a.x), dy = (b.y > a.y) - (b.y < a.y);
        for (int k = 0; k < len; ++k) {
            samples_.push_back({a.x + dx * (k + 0.5), a.y + dy * (k + 0.5)});
            along_.push_back({static_cast<double>(dx), static_cast<double>(dy)});
        }
    }

    // A direction along the samples from a to b, over a few of them to see past the steps.
    Vec Tangent(std::size_t a, std::size_t b) const {
        constexpr std::size_t kReach = 3;
        const std::size_t far =
            b > a ? std::min(b, a + kReach) : std::max(b, a - std::min(a, kReach));
        return Unit(samples_[far] - samples_[a]);
    }

    void FitAll(std::vector<OutlineSegment>& out) {
        out.clear();
        for (std::size_t k = 0; k + 1 < breaks_.size(); ++k) {
            const std::size_t a = breaks_[k], b = breaks_[k + 1];
            Fit(a, b, Tangent(a, b), Tangent(b, a), out);
        }
    }

    // Samples a to b in one segment when they lie within the tolerance of it, else split at
    // the farthest: a line where they are straight enough, else a cubic Bezier curve fitted by
    // least squares, its ends along t1 (leaving a) and t2 (leaving b backwards).
    void Fit(std::size_t a, std::size_t b, Vec t1, Vec t2, std::vector<OutlineSegment>& out) {
        const Vec p3 = samples_[b];
        if (b - a < 2 || Straight(a, b)) {
            out.push_back({{}, {}, Rounded(p3), false});
            return;
        }
        Parameters(a, b);
        Vec c1, c2;
        Bezier(a, b, t1, t2, c1, c2);
        std::size_t split = a;
        double error = Error(a, b, c1, c2, split);
        for (int i = 0; i < 4 && error > tolerance_ && error < 4 * tolerance_; ++i) {
            Refine(a, b, c1, c2);
            Bezier(a, b, t1, t2, c1, c2);
            error = Error(a, b, c1, c2, split);
        }
        if (error <= tolerance_) {
            const std::size_t crossed = Crossed(a, b, c1, c2);
            if (crossed == 0) {
                out.push_back({Rounded(c1), Rounded(c2), Rounded(p3), true});
                return;
            }
            split = crossed;
        }
        const Vec across = Unit(samples_[std::min(b, split + 2)] -
                                samples_[split - std::min<std::size_t>(split - a, 2)]);
        Fit(a, split, t1, across * -1, out);
        Fit(split, b, across, t2, out);
    }

    // Whether every sample lies within the tolerance of the line from a to b: of the line
    // itself, not of its extension, which an outline going out and back along it would meet.
    bool Straight(std::size_t a, std::size_t b) const {
        const Vec p0 = samples_[a], d = samples_[b] - p0;
        const double squared = Dot(d, d);
        for (std::size_t i = a + 1; i < b; ++i) {
            const Vec v = samples_[i] - p0;
            const double t = squared > 0 ? std::clamp(Dot(v, d) / squared, 0.0, 1.0) : 0;
            if (Length(v - d * t) > tolerance_ || !Keeps(i, p0, d))
                return false;
        }
        return true;
    }

    // How far the pixels on either side of sample i's edge stay on their own sides of a curve
    // that passes at, going along: the nearer centre's distance, negative once across. A cut
    // corner or bump would change their groups.
    double Clearance(std::size_t i, Vec at, Vec going) const {
        const Vec e = along_[i];
        if (!keepPixels_ || (e.x == 0 && e.y == 0))
            return 1;
        const double length = Length(going);
        if (length == 0)
            return -1;
        const Vec left = samples_[i] + Vec{e.y, -e.x} * 0.5,
                  right = samples_[i] - Vec{e.y, -e.x} * 0.5;
        const auto side = [&](Vec c) {
            const Vec v = c - at;
            return (going.x * v.y - going.y * v.x) / length;
        };
        return std::min(-side(left), side(right));
    }
    // Clear by more than rounding to eighths can move a curve.
    bool Keeps(std::size_t i, Vec at, Vec going) const { return Clearance(i, at, going) >= kClear; }

    // The sample whose pixels the curve comes nearest to moving, when too near; else 0.
    std::size_t Crossed(std::size_t a, std::size_t b, Vec c1, Vec c2) const {
        const Vec p0 = samples_[a], p3 = samples_[b];
        std::size_t worst = 0;
        double least = kClear;
        for (std::size_t i = a + 1; i < b; ++i) {
            const double u = u_[i - a], v = 1 - u;
            const Vec going =
                (c1 - p0) * (3 * v * v) + (c2 - c1) * (6 * u * v) + (p3 - c2) * (3 * u * u);
            const double clear = Clearance(i, Point(p0, c1, c2, p3, u), going);
            if (clear < least) {
                least = clear;
                worst = i;
            }
        }
        return worst;
    }

    // Each sample's place along the curve, by the length of the samples' polyline.
    void Parameters(std::size_t a, std::size_t b) {
        u_.assign(b - a + 1, 0);
        for (std::size_t i = a + 1; i <= b; ++i)
            u_[i - a] = u_[i - a - 1] + Length(samples_[i] - samples_[i - 1]);
        const double total = u_.back();
        for (double& u : u_)
            u = total > 0 ? u / total : 0;
    }

    static Vec Point(Vec p0, Vec c1, Vec c2, Vec p3, double u) {
        const double v = 1 - u;
        return p0 * (v * v * v) + c1 * (3 * u * v * v) + c2 * (3 * u * u * v) + p3 * (u * u * u);
    }

    // Control points along the given tangents, their distances by least squares; a guess of a
    // third of the chord where that fails or runs wild.
    void Bezier(std::size_t a, std::size_t b, Vec t1, Vec t2, Vec& c1, Vec& c2) const {
        const Vec p0 = samples_[a], p3 = samples_[b];
        double c00 = 0, c01 = 0, c11 = 0, x0 = 0, x1 = 0;
        for (std::size_t i = a; i <= b; ++i) {
            const double u = u_[i - a], v = 1 - u;
            const double b0 = v * v * v, b1 = 3 * u * v * v, b2 = 3 * u * u * v, b3 = u * u * u;
            const Vec a0 = t1 * b1, a1 = t2 * b2;
            c00 += Dot(a0, a0);
            c01 += Dot(a0, a1);
            c11 += Dot(a1, a1);
            const Vec rest = samples_[i] - (p0 * (b0 + b1) + p3 * (b2 + b3));
            x0 += Dot(a0, rest);
            x1 += Dot(a1, rest);
        }
        const double det = c00 * c11 - c01 * c01;
        const double chord = Length(p3 - p0);
        double left = det != 0 ? (x0 * c11 - x1 * c01) / det : 0;
        double right = det != 0 ? (c00 * x1 - c01 * x0) / det : 0;
        if (!(left > 1e-6 * chord && right > 1e-6 * chord && left < 2 * chord && right < 2 * chord))
            left = right = chord / 3;
        c1 = p0 + t1 * left;
        c2 = p3 + t2 * right;
    }

    // The largest distance from a sample to the curve at its place, and that sample.
    double Error(std::size_t a, std::size_t b, Vec c1, Vec c2, std::size_t& worst) const {
        const Vec p0 = samples_[a], p3 = samples_[b];
        double most = -1;
        worst = (a + b) / 2;
        for (std::size_t i = a + 1; i < b; ++i) {
            const Vec d = Point(p0, c1, c2, p3, u_[i - a]) - samples_[i];
            const double e = Dot(d, d);
            if (e > most) {
                most = e;
                worst = i;
            }
        }
        return std::sqrt(std::max(most, 0.0));
    }

    // One Newton step for each sample's place towards the nearest point of the curve.
    void Refine(std::size_t a, std::size_t b, Vec c1, Vec c2) {
        const Vec p0 = samples_[a], p3 = samples_[b];
        for (std::size_t i = a + 1; i < b; ++i) {
            const double u = u_[i - a], v = 1 - u;
            const Vec q = Point(p0, c1, c2, p3, u) - samples_[i];
            const Vec d1 =
                (c1 - p0) * (3 * v * v) + (c2 - c1) * (6 * u * v) + (p3 - c2) * (3 * u * u);
            const Vec d2 = (c2 - c1 * 2 + p0) * (6 * v) + (p3 - c2 * 2 + c1) * (6 * u);
            const double den = Dot(d1, d1) + Dot(q, d2);
            if (den != 0)
                u_[i - a] = std::clamp(u - Dot(q, d1) / den, 0.0, 1.0);
        }
    }

    static constexpr double kClear = 1.0 / 16;
    double tolerance_;
    double window_;
    bool keepPixels_;
    const std::vector<Lattice>* turns_ = nullptr;
    bool closed_ = false;
    std::vector<double> at_;
    std::vector<char> corner_;
    std::vector<Vec> samples_;
    // The direction of each sample's pixel edge; none for the turning points kept.
    std::vector<Vec> along_;
    std::vector<std::size_t> breaks_;
    std::vector<double> u_;
};

// One group's rings, walked as the top of the file says.
class GroupTracer {
public:
    GroupTracer(const GroupMap& map, int group, double tolerance, RingSink& sink)
        : map_(map),
          w_(map.Width()),
          h_(map.Height()),
          g_(group),
          smooth_(tolerance > 0),
          sink_(sink),
          smoother_(tolerance),
          walked_((static_cast<std::size_t>(w_) * h_ + 63) / 64) {}

    bool Run(const TraceProgress& progress) {
        const std::size_t bytes = map_.PackedBytes();
        const std::uint64_t pattern = 0x5555555555555555ull * static_cast<unsigned>(g_);
        for (int y = 0; y < h_; ++y) {
            if (progress && !progress(y, h_))
                return false;
            const std::uint8_t* row = map_.PackedRow(y);
            const std::uint8_t* above = y > 0 ? map_.PackedRow(y - 1) : nullptr;
            for (std::size_t at = 0; at < bytes; at += 8) {
                const std::size_t n = std::min<std::size_t>(8, bytes - at);
                std::uint64_t here = Is(Load(row + at, n), pattern);
                if (above)
                    here &= ~Is(Load(above + at, n), pattern);
                const std::size_t x0 = at * 4;
                if (x0 + 32 > static_cast<std::size_t>(w_))
                    here &= (1ull << 2 * (w_ - x0)) - 1;
                while (here) {
                    const int x = static_cast<int>(x0) + std::countr_zero(here) / 2;
                    here &= here - 1;
                    if (!Walked(x, y))
                        Ring(x, y);
                }
            }
        }
        if (progress)
            progress(h_, h_);
        return true;
    }

private:
    static std::uint64_t Load(const std::uint8_t* bytes, std::size_t n) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes, n);
        if constexpr (std::endian::native == std::endian::big)
            word = __builtin_bswap64(word);
        return word;
    }
    // The low bit of each pixel's pair set where the pixel is in the group.
    static std::uint64_t Is(std::uint64_t pixels, std::uint64_t pattern) {
        const std::uint64_t differ = pixels ^ pattern;
        return ~(differ | differ >> 1) & 0x5555555555555555ull;
    }

    int Pixel(int x, int y) const {
        return static_cast<unsigned>(x) < static_cast<unsigned>(w_) &&
                       static_cast<unsigned>(y) < static_cast<unsigned>(h_)
                   ? map_.At(x, y)
                   : -1;
    }
    // The pixels around a lattice point, clockwise from the top right: the edge leaving it in
    // direction d has q[d] on its left and q[(d + 1) % 4] on its right.
    void Around(Lattice p, int q[4]) const {
        q[0] = Pixel(p.x, p.y - 1);
        q[1] = Pixel(p.x, p.y);
        q[2] = Pixel(p.x - 1, p.y);
        q[3] = Pixel(p.x - 1, p.y - 1);
    }
    static bool Junction(const int q[4]) {
        return (q[0] != q[1]) + (q[1] != q[2]) + (q[2] != q[3]) + (q[3] != q[0]) >= 3;
    }
    // Having come in direction d, the way on with the group still on the left: the first of
    // left, straight on and right (the turn back to the own pixel first, step 3).
    int Next(int d, const int q[4]) const {
        const int back = (d + 2) & 3;
        for (int turn = 1; turn < 3; ++turn)
            if (q[(back + turn + 1) & 3] != g_)
                return (back + turn) & 3;
        return (back + 3) & 3;
    }

    bool Walked(int x, int y) const {
        const std::size_t i = static_cast<std::size_t>(y) * w_ + x;
        return walked_[i >> 6] >> (i & 63) & 1;
    }
    // One step from p in direction d; a step west walks the top edge of the pixel below it.
    void Step(Lattice& p, int d) {
        p.x += kDx[d];
        p.y += kDy[d];
        if (d == kWest) {
            const std::size_t i = static_cast<std::size_t>(p.y) * w_ + p.x;
            walked_[i >> 6] |= 1ull << (i & 63);
        }
    }

    // The ring through the top edge of pixel (x, y), walked westwards along it.
    void Ring(int x, int y) {
        const Lattice start{x + 1, y};
        int q[4];
        Lattice p = start;
        int d = kWest;
        // To the first junction, without marking: the walk from there marks.
        for (;;) {
            p.x += kDx[d];
            p.y += kDy[d];
            Around(p, q);
            const int next = Next(d, q);
            if (Junction(q)) {
                FromJunction(p, next, q);
                return;
            }
            d = next;
            if (p == start && d == kWest)
                break;
        }
        Loop(start);
    }

    void FromJunction(Lattice junction, int leave, const int around[4]) {
        sink_.Begin(Scaled(junction));
        Lattice p = junction;
        int d = leave;
        int other = around[(d + 1) & 3];
        turns_.assign(1, junction);
        int q[4];
        for (;;) {
            Step(p, d);
            Around(p, q);
            const int next = Next(d, q);
            if (Junction(q)) {
                turns_.push_back(p);
                Stretch(other < 0);
                if (p == junction && next == leave)
                    break;
                turns_.assign(1, p);
                other = q[(next + 1) & 3];
            } else if (next != d) {
                turns_.push_back(p);
            }
            d = next;
        }
        sink_.End();
    }

    // A ring with no junction: one closed stretch, the whole picture's edge or a border.
    void Loop(Lattice start) {
        turns_.clear();
        Lattice p = start;
        int d = kWest;
        int q[4];
        do {
            Step(p, d);
            Around(p, q);
            const int next = Next(d, q);
            if (next != d)
                turns_.push_back(p);
            d = next;
        } while (!(p == start && d == kWest));
        const bool edge = q[(d + 1) & 3] < 0;
        // From the topmost-leftmost turning point, which leaves eastwards or southwards.
        const auto top = std::min_element(turns_.begin(), turns_.end(), Before);
        std::rotate(turns_.begin(), top, turns_.end());
        const bool eastwards = turns_.size() > 1 && turns_[1].y == turns_[0].y;
        if (!smooth_ || edge) {
            sink_.Begin(Scaled(turns_[0]));
            segments_.clear();
            for (std::size_t i = 1; i <= turns_.size(); ++i)
                segments_.push_back({{}, {}, Scaled(turns_[i % turns_.size()]), false});
            sink_.Stretch(segments_, edge);
            sink_.End();
            return;
        }
        if (!eastwards)
            std::reverse(turns_.begin() + 1, turns_.end());
        const OutlinePoint from = smoother_.Closed(turns_, segments_);
        if (!eastwards)
            Reverse(from, segments_);
        sink_.Begin(from);
        sink_.Stretch(segments_, false);
        sink_.End();
    }

    // The stretch in turns_, from one junction to the next.
    void Stretch(bool edge) {
        segments_.clear();
        if (!smooth_ || edge) {
            for (std::size_t i = 1; i < turns_.size(); ++i)
                segments_.push_back({{}, {}, Scaled(turns_[i]), false});
            sink_.Stretch(segments_, edge);
            return;
        }
        const Lattice first = turns_.front(), last = turns_.back();
        const bool forwards =
            first == last ? Before(turns_[1], turns_[turns_.size() - 2]) : Before(first, last);
        if (!forwards)
            std::reverse(turns_.begin(), turns_.end());
        smoother_.Open(turns_, segments_);
        if (!forwards)
            Reverse(Scaled(turns_.front()), segments_);
        sink_.Stretch(segments_, false);
    }

    const GroupMap& map_;
    int w_;
    int h_;
    int g_;
    bool smooth_;
    RingSink& sink_;
    Smoother smoother_;
    std::vector<std::uint64_t> walked_;
    std::vector<Lattice> turns_;
    std::vector<OutlineSegment> segments_;
};

}  // namespace

Tracing::Tracing(const GroupMap& map, int groups, double tolerance)
    : map_(map), groups_(groups), tolerance_(tolerance > 0 ? tolerance : 0) {}

bool Tracing::Rings(int group, RingSink& sink, const TraceProgress& progress) const {
    if (map_.IsEmpty())
        return true;
    GroupTracer tracer(map_, group, tolerance_, sink);
    return tracer.Run(progress);
}

}  // namespace colorsplit
