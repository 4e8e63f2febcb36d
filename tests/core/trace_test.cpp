// Tracing the groups into rings: small maps with known outlines, and what must hold on any map,
// checked by filling the rings even-odd at pixel centres.
#include "core/trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/photo.h"

namespace colorsplit {
namespace {

struct Stretch {
    OutlinePoint from;
    std::vector<OutlineSegment> segments;
    bool edge = false;
};
struct Ring {
    OutlinePoint start;
    std::vector<Stretch> stretches;
};

class Collector : public RingSink {
public:
    void Begin(OutlinePoint start) override {
        rings.push_back({start, {}});
        at = start;
    }
    void Stretch(std::span<const OutlineSegment> segments, bool edge) override {
        EXPECT_FALSE(segments.empty());
        rings.back().stretches.push_back({at, {segments.begin(), segments.end()}, edge});
        if (!segments.empty())
            at = segments.back().to;
    }
    void End() override { EXPECT_EQ(at, rings.back().start) << "a ring that does not close"; }
    std::vector<Ring> rings;
    OutlinePoint at;
};

// Every group's rings.
std::vector<std::vector<Ring>> TraceAll(const GroupMap& map, int k, double tolerance) {
    const Tracing tracing(map, k, tolerance);
    std::vector<std::vector<Ring>> all;
    for (int g = 0; g < k; ++g) {
        Collector c;
        EXPECT_TRUE(tracing.Rings(g, c));
        all.push_back(std::move(c.rings));
    }
    return all;
}

struct P {
    double x, y;
};

// A ring as a polygon in pixels, curves cut into short lines.
std::vector<P> Polygon(const Ring& ring) {
    const auto px = [](OutlinePoint p) { return P{p.x / 8.0, p.y / 8.0}; };
    std::vector<P> out{px(ring.start)};
    for (const Stretch& s : ring.stretches)
        for (const OutlineSegment& seg : s.segments) {
            if (seg.curve) {
                const P a = out.back(), b = px(seg.c1), c = px(seg.c2), d = px(seg.to);
                for (int i = 1; i < 32; ++i) {
                    const double t = i / 32.0, u = 1 - t;
                    out.push_back({u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x +
                                       t * t * t * d.x,
                                   u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y +
                                       t * t * t * d.y});
                }
            }
            out.push_back(px(seg.to));
        }
    return out;
}

// Which groups cover each sample point, scale of them a pixel each way, filled even-odd: a bit
// a group, row by row.
std::vector<int> Coverage(const std::vector<std::vector<Ring>>& rings, int w, int h, int scale) {
    std::vector<int> cover(static_cast<size_t>(w) * h * scale * scale, 0);
    for (size_t g = 0; g < rings.size(); ++g) {
        std::vector<std::vector<P>> polygons;
        for (const Ring& r : rings[g])
            polygons.push_back(Polygon(r));
        for (int j = 0; j < h * scale; ++j) {
            const double y = (j + 0.5) / scale;
            std::vector<double> crossings;
            for (const auto& poly : polygons)
                for (size_t i = 0; i + 1 < poly.size(); ++i) {
                    const P a = poly[i], b = poly[i + 1];
                    if ((a.y > y) != (b.y > y))
                        crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
                }
            std::sort(crossings.begin(), crossings.end());
            for (int i = 0; i < w * scale; ++i) {
                const double x = (i + 0.5) / scale;
                const auto before = std::lower_bound(crossings.begin(), crossings.end(), x);
                if ((before - crossings.begin()) % 2)
                    cover[static_cast<size_t>(j) * w * scale + i] |= 1 << g;
            }
        }
    }
    return cover;
}

GroupMap FromText(const std::vector<std::string>& rows) {
    GroupMap map(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < map.Height(); ++y)
        for (int x = 0; x < map.Width(); ++x)
            map.Set(x, y, rows[static_cast<size_t>(y)][static_cast<size_t>(x)] - '0');
    return map;
}

// Each sample point covered by exactly the group of the pixel under it.
void ExpectExact(const GroupMap& map, const std::vector<std::vector<Ring>>& rings, int scale) {
    const std::vector<int> cover = Coverage(rings, map.Width(), map.Height(), scale);
    for (int j = 0; j < map.Height() * scale; ++j)
        for (int i = 0; i < map.Width() * scale; ++i)
            ASSERT_EQ(cover[static_cast<size_t>(j) * map.Width() * scale + i],
                      1 << map.At(i / scale, j / scale))
                << "at " << i << "," << j << " of scale " << scale;
}

struct Known {
    const char* name;
    std::vector<std::string> rows;
    int k;
    std::vector<int> rings;     // a group each
    std::vector<int> segments;  // straight runs, a group each
};

const Known kKnown[] = {
    {"one group", {"000", "000"}, 1, {1}, {4}},
    {"one pixel", {"0"}, 1, {1}, {4}},
    {"a hole", {"000", "010", "000"}, 2, {2, 1}, {8, 4}},
    {"a hole in a hole", {"00000", "01110", "01210", "01110", "00000"}, 3, {2, 2, 1}, {8, 8, 4}},
    {"touching at a corner", {"01", "10"}, 2, {2, 2}, {8, 8}},
    {"a diagonal: four-connected", {"100", "010", "001"}, 2, {2, 3}, {12, 12}},
    {"a hole meeting the outside at a corner", {"000", "010", "001"}, 2, {1, 2}, {10, 8}},
    {"a checkerboard", {"010", "101", "010"}, 2, {5, 4}, {20, 16}},
    {"a group at every edge", {"01000", "11111", "01000"}, 2, {4, 1}, {16, 12}},
    {"a frame", {"1111", "1001", "1001", "1111"}, 2, {1, 2}, {4, 8}},
    {"stripes, one group absent", {"0122", "0122"}, 4, {1, 1, 1, 0}, {4, 4, 4, 0}},
    {"one pixel among three", {"0012", "0312", "0012"}, 4, {1, 1, 1, 1}, {8, 6, 4, 4}},
    {"an L and its notch", {"0001", "0011", "0111"}, 2, {1, 1}, {8, 8}},
};

TEST(TraceTest, KnownOutlines) {
    for (const Known& c : kKnown) {
        SCOPED_TRACE(c.name);
        const GroupMap map = FromText(c.rows);
        const auto rings = TraceAll(map, c.k, 0);
        for (int g = 0; g < c.k; ++g) {
            EXPECT_EQ(static_cast<int>(rings[g].size()), c.rings[g]) << "rings of group " << g;
            int segments = 0;
            for (const Ring& r : rings[g])
                for (const Stretch& s : r.stretches)
                    segments += static_cast<int>(s.segments.size());
            EXPECT_EQ(segments, c.segments[g]) << "segments of group " << g;
        }
        ExpectExact(map, rings, 1);
        ExpectExact(map, rings, 4);
    }
}

// Maps of each kind and size the invariants run over: noise, specks on a ground, blocks, and
// photo-like groups; widths about the 4 pixels of a byte and the 32 of a word.
std::vector<std::pair<std::string, GroupMap>> Corpus() {
    std::vector<std::pair<std::string, GroupMap>> maps;
    std::mt19937 rng(11);
    const int sizes[][2] = {{1, 1}, {1, 7}, {7, 1}, {5, 3}, {33, 5}, {31, 17}, {40, 40}, {65, 9}};
    for (const auto& s : sizes)
        for (const int kind : {0, 1, 2}) {
            const int w = s[0], h = s[1], k = 2 + static_cast<int>(rng() % 3);
            GroupMap map(w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    int g = static_cast<int>(rng() % k);
                    if (kind == 1)
                        g = rng() % 6 == 0 ? g : 0;
                    else if (kind == 2)
                        g = ((x / 3 + y / 2) % k + (rng() % 9 == 0)) % k;
                    map.Set(x, y, g);
                }
            maps.emplace_back(
                std::to_string(w) + "x" + std::to_string(h) + " kind " + std::to_string(kind), map);
        }
    maps.emplace_back("photo 120x90", test::PhotoGroups(120, 90, 3));
    maps.emplace_back("photo 97x61", test::PhotoGroups(97, 61, 4));
    return maps;
}

int Groups(const GroupMap& map) {
    int k = 1;
    for (int y = 0; y < map.Height(); ++y)
        for (int x = 0; x < map.Width(); ++x)
            k = std::max(k, map.At(x, y) + 1);
    return k;
}

// Without smoothing, a group's rings walk each edge between its pixels and the others' (or
// the outside) exactly once, and no other edge.
TEST(TraceTest, EveryBorderEdgeOnceASide) {
    for (const auto& [name, map] : Corpus()) {
        SCOPED_TRACE(name);
        const int k = Groups(map), w = map.Width(), h = map.Height();
        const auto rings = TraceAll(map, k, 0);
        const auto group = [&](int x, int y) {
            return x < 0 || y < 0 || x >= w || y >= h ? -1 : map.At(x, y);
        };
        for (int g = 0; g < k; ++g) {
            // Unit edges by their lower-left... their smaller end and whether they run across.
            std::map<std::tuple<int, int, bool>, int> walked;
            for (const Ring& r : rings[g]) {
                OutlinePoint at = r.start;
                for (const Stretch& s : r.stretches)
                    for (const OutlineSegment& seg : s.segments) {
                        ASSERT_FALSE(seg.curve);
                        ASSERT_TRUE(seg.to.x == at.x || seg.to.y == at.y) << "not along an edge";
                        const bool across = seg.to.y == at.y;
                        const int a = across ? std::min(at.x, seg.to.x) : std::min(at.y, seg.to.y);
                        const int b = across ? std::max(at.x, seg.to.x) : std::max(at.y, seg.to.y);
                        for (int i = a; i < b; i += 8)
                            ++walked[across ? std::tuple{i / 8, at.y / 8, true}
                                            : std::tuple{at.x / 8, i / 8, false}];
                        at = seg.to;
                    }
            }
            int expected = 0;
            for (int y = 0; y <= h; ++y)
                for (int x = 0; x <= w; ++x) {
                    // The edge along the top of pixel (x, y), and the one along its left.
                    if (x < w && (group(x, y) == g) != (group(x, y - 1) == g)) {
                        ++expected;
                        EXPECT_EQ((walked[{x, y, true}]), 1) << "top of " << x << "," << y;
                    }
                    if (y < h && (group(x, y) == g) != (group(x - 1, y) == g)) {
                        ++expected;
                        EXPECT_EQ((walked[{x, y, false}]), 1) << "left of " << x << "," << y;
                    }
                }
            EXPECT_EQ(static_cast<int>(walked.size()), expected) << "group " << g;
        }
        ExpectExact(map, rings, 1);
    }
}

std::vector<int> Key(OutlinePoint from, const std::vector<OutlineSegment>& segments) {
    std::vector<int> key{from.x, from.y};
    for (const OutlineSegment& s : segments)
        key.insert(key.end(), {s.curve, s.c1.x, s.c1.y, s.c2.x, s.c2.y, s.to.x, s.to.y});
    return key;
}

Stretch Reversed(const Stretch& s) {
    Stretch r{s.segments.back().to, {}, s.edge};
    for (size_t i = s.segments.size(); i-- > 0;) {
        const OutlinePoint from = i > 0 ? s.segments[i - 1].to : s.from;
        const OutlineSegment& seg = s.segments[i];
        r.segments.push_back({seg.curve ? seg.c2 : OutlinePoint{},
                              seg.curve ? seg.c1 : OutlinePoint{}, from, seg.curve});
    }
    return r;
}

// With or without smoothing: every border stretch of a group is, point for point, a stretch
// of one other group walked the other way; the picture's edge is walked in straight lines on
// it; and the rings cover every sample point, none left out, at 1:1 and at 4x.
TEST(TraceTest, NeighboursShareEachBorderExactly) {
    for (const double tolerance : {0.0, 0.5, kDefaultSmoothing, 3.0}) {
        for (const auto& [name, map] : Corpus()) {
            SCOPED_TRACE(name + " tolerance " + std::to_string(tolerance));
            const int k = Groups(map), w = map.Width() * 8, h = map.Height() * 8;
            const auto rings = TraceAll(map, k, tolerance);
            std::map<std::vector<int>, int> owner;
            for (int g = 0; g < k; ++g)
                for (const Ring& r : rings[g])
                    for (const Stretch& s : r.stretches) {
                        if (!s.edge) {
                            EXPECT_TRUE(owner.emplace(Key(s.from, s.segments), g).second)
                                << "a stretch twice";
                            continue;
                        }
                        OutlinePoint at = s.from;
                        for (const OutlineSegment& seg : s.segments) {
                            EXPECT_FALSE(seg.curve);
                            const bool onEdge = (at.x == seg.to.x && (at.x == 0 || at.x == w)) ||
                                                (at.y == seg.to.y && (at.y == 0 || at.y == h));
                            EXPECT_TRUE(onEdge) << "an edge stretch off the picture's edge";
                            at = seg.to;
                        }
                    }
            for (const auto& [key, g] : owner) {
                Stretch s{{key[0], key[1]}, {}, false};
                for (size_t i = 2; i < key.size(); i += 7)
                    s.segments.push_back({{key[i + 1], key[i + 2]},
                                          {key[i + 3], key[i + 4]},
                                          {key[i + 5], key[i + 6]},
                                          key[i] != 0});
                const Stretch r = Reversed(s);
                const auto other = owner.find(Key(r.from, r.segments));
                ASSERT_NE(other, owner.end()) << "a border only group " << g << " has";
                EXPECT_NE(other->second, g);
            }
            for (const int scale : {1, 4}) {
                const std::vector<int> cover = Coverage(rings, map.Width(), map.Height(), scale);
                const auto gaps = std::count(cover.begin(), cover.end(), 0);
                EXPECT_EQ(gaps, 0) << "uncovered at scale " << scale;
            }
        }
    }
}

// Smoothed up to kKeepPixelsUpTo, the shapes still hold every pixel's centre in its own group.
TEST(TraceTest, SmoothingKeepsEveryPixel) {
    for (const double tolerance : {0.3, kDefaultSmoothing}) {
        for (const auto& [name, map] : Corpus()) {
            SCOPED_TRACE(name + " tolerance " + std::to_string(tolerance));
            ExpectExact(map, TraceAll(map, Groups(map), tolerance), 1);
        }
    }
}

// Every smoothed border passes within the tolerance of each midpoint of the pixel edges it
// replaces (and of an eighth's rounding): the same stretch, without smoothing, gives them.
TEST(TraceTest, SmoothingStaysWithinTheTolerance) {
    const auto distance = [](P p, const std::vector<P>& line) {
        double best = 1e9;
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            const P a = line[i], b = line[i + 1];
            const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
            const double t =
                l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0;
            best = std::min(best, std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y));
        }
        return best;
    };
    for (const double tolerance : {0.5, kDefaultSmoothing, 3.0}) {
        for (const auto& [name, map] : Corpus()) {
            SCOPED_TRACE(name + " tolerance " + std::to_string(tolerance));
            const int k = Groups(map);
            const auto exact = TraceAll(map, k, 0), smooth = TraceAll(map, k, tolerance);
            for (int g = 0; g < k; ++g) {
                ASSERT_EQ(exact[g].size(), smooth[g].size());
                for (size_t r = 0; r < exact[g].size(); ++r) {
                    // Each ring as one polyline: a closed border starts elsewhere when smoothed.
                    const std::vector<P> edges = Polygon(exact[g][r]);
                    const std::vector<P> curve = Polygon(smooth[g][r]);
                    for (size_t i = 0; i + 1 < edges.size(); ++i) {
                        const P a = edges[i], b = edges[i + 1];
                        const int n = static_cast<int>(std::abs(b.x - a.x) + std::abs(b.y - a.y));
                        for (int e = 0; e < n; ++e) {
                            const double t = (e + 0.5) / n;
                            const P mid{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
                            ASSERT_LE(distance(mid, curve), tolerance + 0.07)
                                << "group " << g << " at " << mid.x << "," << mid.y;
                        }
                    }
                }
            }
        }
    }
}

// Progress runs over the rows to the end, and a stop is kept to.
TEST(TraceTest, ProgressAndStop) {
    const GroupMap map = test::PhotoGroups(50, 40, 5);
    const Tracing tracing(map, 4, kDefaultSmoothing);
    Collector all;
    std::int64_t last = -1;
    EXPECT_TRUE(tracing.Rings(0, all, [&](std::int64_t done, std::int64_t total) {
        EXPECT_EQ(total, 40);
        EXPECT_GE(done, last);
        last = done;
        return true;
    }));
    EXPECT_EQ(last, 40);
    Collector part;
    EXPECT_FALSE(tracing.Rings(0, part, [](std::int64_t done, std::int64_t) { return done < 20; }));
    EXPECT_LT(part.rings.size(), all.rings.size());
}

}  // namespace
}  // namespace colorsplit
