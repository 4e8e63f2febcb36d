// Tracing the groups into rings: small maps with known outlines, and what must hold on any map,
// checked by filling the rings even-odd at sample points.
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

struct P {
    double x, y;
};
// A stretch as its points in order (control points too) and a letter a segment, l or c.
struct Stretch {
    std::vector<P> points;
    std::string kinds;
    bool edge;
};
using Ring = std::vector<Stretch>;
using Rings = std::vector<std::vector<Ring>>;  // a group's each

class Collector : public RingSink {
public:
    void Begin(OutlinePoint start) override {
        rings.push_back({});
        at = start;
    }
    void Stretch(std::span<const OutlineSegment> segments, bool edge) override {
        const auto p = [](OutlinePoint o) { return P{o.x / 8.0, o.y / 8.0}; };
        rings.back().push_back({{p(at)}, "", edge});
        for (const OutlineSegment& s : segments) {
            if (s.curve)
                rings.back().back().points.insert(rings.back().back().points.end(),
                                                  {p(s.c1), p(s.c2)});
            rings.back().back().points.push_back(p(s.to));
            rings.back().back().kinds += s.curve ? 'c' : 'l';
            at = s.to;
        }
    }
    void End() override {}
    std::vector<Ring> rings;
    OutlinePoint at;
};

Rings TraceAll(const GroupMap& map, int k, double tolerance) {
    const Tracing tracing(map, k, tolerance);
    Rings all(static_cast<size_t>(k));
    for (int g = 0; g < k; ++g) {
        Collector c;
        EXPECT_TRUE(tracing.Rings(g, c));
        all[g] = c.rings;
    }
    return all;
}

// A ring as a closed polyline in pixels, curves cut into short lines.
std::vector<P> Polyline(const Ring& ring) {
    std::vector<P> out;
    for (const Stretch& s : ring) {
        out.push_back(s.points[0]);
        for (size_t i = 0, at = 1; i < s.kinds.size(); ++i) {
            if (s.kinds[i] == 'c') {
                const P a = s.points[at - 1], b = s.points[at], c = s.points[at + 1],
                        d = s.points[at + 2];
                for (double t = 1 / 32.0; t < 1; t += 1 / 32.0) {
                    const double u = 1 - t,
                                 w[4] = {u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t};
                    out.push_back({w[0] * a.x + w[1] * b.x + w[2] * c.x + w[3] * d.x,
                                   w[0] * a.y + w[1] * b.y + w[2] * c.y + w[3] * d.y});
                }
                at += 2;
            }
            out.push_back(s.points[at++]);
        }
    }
    return out;
}

// Which groups cover each sample point, scale of them a pixel each way, filled even-odd: a bit
// a group, row by row.
std::vector<int> Coverage(const Rings& rings, int w, int h, int scale) {
    std::vector<int> cover(static_cast<size_t>(w) * h * scale * scale, 0);
    for (size_t g = 0; g < rings.size(); ++g)
        for (int j = 0; j < h * scale; ++j) {
            const double y = (j + 0.5) / scale;
            std::vector<double> xs;
            for (const Ring& r : rings[g]) {
                const std::vector<P> line = Polyline(r);
                for (size_t i = 0; i + 1 < line.size(); ++i)
                    if ((line[i].y > y) != (line[i + 1].y > y))
                        xs.push_back(line[i].x + (y - line[i].y) * (line[i + 1].x - line[i].x) /
                                                     (line[i + 1].y - line[i].y));
            }
            std::sort(xs.begin(), xs.end());
            for (int i = 0; i < w * scale; ++i)
                if ((std::lower_bound(xs.begin(), xs.end(), (i + 0.5) / scale) - xs.begin()) % 2)
                    cover[static_cast<size_t>(j) * w * scale + i] |= 1 << g;
        }
    return cover;
}

// Each sample point covered by exactly the group of the pixel under it.
void ExpectExact(const GroupMap& map, const Rings& rings, int scale) {
    const std::vector<int> cover = Coverage(rings, map.Width(), map.Height(), scale);
    for (size_t i = 0; i < cover.size(); ++i) {
        const int x = static_cast<int>(i % (map.Width() * scale)) / scale;
        const int y = static_cast<int>(i / (map.Width() * scale)) / scale;
        ASSERT_EQ(cover[i], 1 << map.At(x, y)) << "at " << x << "," << y << " scale " << scale;
    }
}

struct Known {
    const char* name;
    std::vector<std::string> rows;
    std::vector<int> rings;     // a group each
    std::vector<int> segments;  // straight runs, cut at junctions, a group each
};

const Known kKnown[] = {
    {"one group", {"000", "000"}, {1}, {4}},
    {"one pixel", {"0"}, {1}, {4}},
    {"a hole", {"000", "010", "000"}, {2, 1}, {8, 4}},
    {"a hole in a hole", {"00000", "01110", "01210", "01110", "00000"}, {2, 2, 1}, {8, 8, 4}},
    {"touching at a corner", {"01", "10"}, {2, 2}, {8, 8}},
    {"a diagonal: four-connected", {"100", "010", "001"}, {2, 3}, {12, 12}},
    {"a hole meeting the outside at a corner", {"000", "010", "001"}, {1, 2}, {10, 8}},
    {"a checkerboard", {"010", "101", "010"}, {5, 4}, {20, 16}},
    {"a group at every edge", {"01000", "11111", "01000"}, {4, 1}, {16, 12}},
    {"a frame", {"1111", "1001", "1001", "1111"}, {1, 2}, {4, 8}},
    {"stripes, one group absent", {"0122", "0122"}, {1, 1, 1, 0}, {4, 4, 4, 0}},
    {"one pixel among three", {"0012", "0312", "0012"}, {1, 1, 1, 1}, {8, 6, 4, 4}},
};

TEST(TraceTest, KnownOutlines) {
    for (const Known& c : kKnown) {
        SCOPED_TRACE(c.name);
        GroupMap map(static_cast<int>(c.rows[0].size()), static_cast<int>(c.rows.size()));
        for (int y = 0; y < map.Height(); ++y)
            for (int x = 0; x < map.Width(); ++x)
                map.Set(x, y, c.rows[static_cast<size_t>(y)][static_cast<size_t>(x)] - '0');
        const Rings rings = TraceAll(map, static_cast<int>(c.rings.size()), 0);
        for (size_t g = 0; g < rings.size(); ++g) {
            int segments = 0;
            for (const Ring& r : rings[g])
                for (const Stretch& s : r)
                    segments += static_cast<int>(s.kinds.size());
            EXPECT_EQ(static_cast<int>(rings[g].size()), c.rings[g]) << "rings of " << g;
            EXPECT_EQ(segments, c.segments[g]) << "segments of " << g;
        }
        ExpectExact(map, rings, 1);
        ExpectExact(map, rings, 4);
    }
}

// Maps of each kind the rules run over: noise, specks on a ground, blocks, photo-like groups;
// widths about the 4 pixels of a byte and the 32 of a word.
std::vector<std::pair<std::string, GroupMap>> Corpus() {
    std::vector<std::pair<std::string, GroupMap>> maps;
    std::mt19937 rng(11);
    for (const auto& [w, h] : {std::pair{1, 1}, {1, 7}, {7, 1}, {33, 5}, {31, 17}, {40, 40}})
        for (const int kind : {0, 1, 2}) {
            const int k = 2 + static_cast<int>(rng() % 3);
            GroupMap map(w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int g = static_cast<int>(rng() % k);
                    map.Set(x, y,
                            kind == 0   ? g
                            : kind == 1 ? (rng() % 6 == 0 ? g : 0)
                                        : ((x / 3 + y / 2) % k + (rng() % 9 == 0)) % k);
                }
            maps.emplace_back(
                std::to_string(w) + "x" + std::to_string(h) + "/" + std::to_string(kind), map);
        }
    maps.emplace_back("photo", test::PhotoGroups(97, 61, 4));
    return maps;
}

int Groups(const GroupMap& map) {
    int k = 1;
    for (int y = 0; y < map.Height(); ++y)
        for (int x = 0; x < map.Width(); ++x)
            k = std::max(k, map.At(x, y) + 1);
    return k;
}

// Without smoothing a group's rings are as long as its pixels' sides that face another group
// or the outside, and fill exactly its pixels: so each such side is walked once, no other.
TEST(TraceTest, EveryBorderEdgeOnceASide) {
    for (const auto& [name, map] : Corpus()) {
        SCOPED_TRACE(name);
        const Rings rings = TraceAll(map, Groups(map), 0);
        for (size_t g = 0; g < rings.size(); ++g) {
            double walked = 0;
            for (const Ring& r : rings[g]) {
                const std::vector<P> line = Polyline(r);
                for (size_t i = 0; i < line.size(); ++i) {
                    const P a = line[i], b = line[(i + 1) % line.size()];
                    walked += std::abs(b.x - a.x) + std::abs(b.y - a.y);
                }
            }
            int sides = 0;
            for (int y = 0; y < map.Height(); ++y)
                for (int x = 0; x < map.Width(); ++x)
                    for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                        const int nx = x + dx, ny = y + dy;
                        sides += map.At(x, y) == static_cast<int>(g) &&
                                 (nx < 0 || ny < 0 || nx >= map.Width() || ny >= map.Height() ||
                                  map.At(nx, ny) != map.At(x, y));
                    }
            EXPECT_EQ(walked, sides) << "group " << g;
        }
        ExpectExact(map, rings, 1);
    }
}

// Smoothed or not: every border stretch of a group is, point for point, one other group's
// stretch walked the other way; the picture's edge is walked in straight lines on it; and no
// sample point is left uncovered, at 1:1 and at 4x.
TEST(TraceTest, NeighboursShareEachBorderExactly) {
    for (const double tolerance : {0.0, 0.5, kDefaultSmoothing, 3.0})
        for (const auto& [name, map] : Corpus()) {
            SCOPED_TRACE(name + " tolerance " + std::to_string(tolerance));
            const Rings rings = TraceAll(map, Groups(map), tolerance);
            std::map<std::pair<std::vector<double>, std::string>, int> owner;
            for (size_t g = 0; g < rings.size(); ++g)
                for (const Ring& r : rings[g])
                    for (const Stretch& s : r) {
                        std::vector<double> xy;
                        for (size_t i = 0; i < s.points.size(); ++i) {
                            const P p = s.points[i], q = s.points[std::max<size_t>(i, 1) - 1];
                            xy.insert(xy.end(), {p.x, p.y});
                            if (s.edge) {
                                EXPECT_TRUE((p.x == q.x && (p.x == 0 || p.x == map.Width())) ||
                                            (p.y == q.y && (p.y == 0 || p.y == map.Height())))
                                    << "an edge stretch off the picture's edge";
                            }
                        }
                        EXPECT_TRUE(!s.edge || s.kinds.find('c') == std::string::npos);
                        if (!s.edge)
                            owner[{xy, s.kinds}] = static_cast<int>(g) + 1;
                    }
            for (const auto& [key, g] : owner) {
                std::vector<double> back;
                for (size_t i = key.first.size(); i >= 2; i -= 2)
                    back.insert(back.end(), {key.first[i - 2], key.first[i - 1]});
                const auto other = owner.find({back, {key.second.rbegin(), key.second.rend()}});
                ASSERT_NE(other, owner.end()) << "a border only group " << g - 1 << " has";
                EXPECT_NE(other->second, g);
            }
            for (const int scale : {1, 4}) {
                const std::vector<int> cover = Coverage(rings, map.Width(), map.Height(), scale);
                EXPECT_EQ(std::count(cover.begin(), cover.end(), 0), 0) << "scale " << scale;
            }
        }
}

// Smoothed up to kKeepPixelsUpTo every pixel's centre stays in its group; at any tolerance
// each midpoint of the pixel edges a ring replaces lies within the tolerance of it (and of an
// eighth's rounding).
TEST(TraceTest, SmoothingKeepsPixelsAndTolerance) {
    for (const double tolerance : {0.3, kDefaultSmoothing, 3.0})
        for (const auto& [name, map] : Corpus()) {
            SCOPED_TRACE(name + " tolerance " + std::to_string(tolerance));
            const int k = Groups(map);
            const Rings exact = TraceAll(map, k, 0), smooth = TraceAll(map, k, tolerance);
            if (tolerance <= kKeepPixelsUpTo)
                ExpectExact(map, smooth, 1);
            for (int g = 0; g < k; ++g)
                for (size_t r = 0; r < exact[g].size(); ++r) {
                    const std::vector<P> edges = Polyline(exact[g][r]);
                    const std::vector<P> curve = Polyline(smooth[g][r]);
                    for (size_t i = 0; i < edges.size(); ++i) {
                        const P a = edges[i], b = edges[(i + 1) % edges.size()];
                        const double n = std::abs(b.x - a.x) + std::abs(b.y - a.y);
                        for (double t = 0.5 / n; t < 1; t += 1 / n) {
                            const P m{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
                            double nearest = 1e9;
                            for (size_t j = 0; j < curve.size(); ++j) {
                                const P c = curve[j], d = curve[(j + 1) % curve.size()];
                                const double l2 =
                                    (d.x - c.x) * (d.x - c.x) + (d.y - c.y) * (d.y - c.y);
                                const double s = l2 > 0 ? std::clamp(((m.x - c.x) * (d.x - c.x) +
                                                                      (m.y - c.y) * (d.y - c.y)) /
                                                                         l2,
                                                                     0.0, 1.0)
                                                        : 0;
                                nearest =
                                    std::min(nearest, std::hypot(c.x + s * (d.x - c.x) - m.x,
                                                                 c.y + s * (d.y - c.y) - m.y));
                            }
                            ASSERT_LE(nearest, tolerance + 0.07) << m.x << "," << m.y;
                        }
                    }
                }
        }
}

// Progress runs over the rows to the end, and a stop is kept to.
TEST(TraceTest, ProgressAndStop) {
    const GroupMap map = test::PhotoGroups(50, 40, 5);
    const Tracing tracing(map, 4, kDefaultSmoothing);
    Collector all, part;
    std::int64_t last = -1;
    EXPECT_TRUE(tracing.Rings(0, all, [&](std::int64_t done, std::int64_t total) {
        EXPECT_TRUE(total == 40 && done >= last);
        last = done;
        return true;
    }));
    EXPECT_EQ(last, 40);
    EXPECT_FALSE(tracing.Rings(0, part, [](std::int64_t done, std::int64_t) { return done < 20; }));
    EXPECT_LT(part.rings.size(), all.rings.size());
}

}  // namespace
}  // namespace colorsplit
