#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "core/group_map.h"

namespace colorsplit {

// Outlines are measured in eighths of a pixel. Pixel edges fall on multiples of 8, and smoothed
// curves are rounded to the nearest eighth: binary fractions, so a reader that adds up relative
// steps in floating point lands on exactly the same points whichever way it walks a border.
inline constexpr int kOutlineUnit = 8;

struct OutlinePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const OutlinePoint&) const = default;
};

// A piece of a ring from the point before it to `to`: a straight line, or a cubic Bezier curve
// with control points c1 and c2.
struct OutlineSegment {
    OutlinePoint c1;
    OutlinePoint c2;
    OutlinePoint to;
    bool curve = false;
    bool operator==(const OutlineSegment&) const = default;
};

// Where a group's rings go, one at a time, each from Begin to End.
class RingSink {
public:
    virtual ~RingSink() = default;
    virtual void Begin(OutlinePoint start) = 0;
    // The ring's next stretch, from where the last one ended: a border with another group,
    // which that group's ring holds too, point for point in reverse, or a stretch of the
    // picture's edge (pictureEdge), always straight.
    virtual void Stretch(std::span<const OutlineSegment> segments, bool pictureEdge) = 0;
    // The last stretch ended where Begin started.
    virtual void End() = 0;
};

// Told the rows done of a total; returns false to stop. Empty: never stops.
using TraceProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// The smoothing's tolerance when none is chosen, in pixels.
inline constexpr double kDefaultSmoothing = 1.0;
// Up to this tolerance smoothing moves no pixel's centre to another group: it takes the
// staircase out of the outline, never a pixel. Above it, curves may cut through pixels as far as
// the tolerance allows.
inline constexpr double kKeepPixelsUpTo = 1.0;

// The groups of a map as shapes that cover the picture with no gap and no overlap: each
// group's region is bounded by rings along the pixels' edges, and every border between two
// groups runs from junction to junction (points where three or more groups meet, or where a
// border meets the picture's edge), the same stretch for the groups on both of its sides. With
// a tolerance above 0 each such stretch is smoothed into lines and curves that stay within the
// tolerance of the midpoints of its pixel edges (and up to kKeepPixelsUpTo leave every pixel's
// centre on its own side), keeping its ends and its sharp corners; the picture's edge stays
// straight. The rings are meant to be filled even-odd.
//
// Nothing is kept between groups or rings: a group's rings are traced when asked for, in
// memory for the map, one bit a pixel and the stretch at hand. It only reads the map, which
// must outlive it.
class Tracing {
public:
    // groups: how many groups the map's values run over (0 to groups - 1).
    Tracing(const GroupMap& map, int groups, double tolerance);

    const GroupMap& Map() const { return map_; }
    int Groups() const { return groups_; }
    double Tolerance() const { return tolerance_; }

    // Hands each ring of the group to sink, in the order of their topmost-leftmost pixel rows.
    // Progress counts the picture's rows; returns false when it asked to stop.
    bool Rings(int group, RingSink& sink, const TraceProgress& progress = {}) const;

private:
    const GroupMap& map_;
    int groups_;
    double tolerance_;
};

}  // namespace colorsplit
