#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "core/colors.h"
#include "core/trace.h"

namespace colorsplit {

// Where an SVG file's bytes go as they are made; it throws to stop the writing.
using SvgOut = std::function<void(const char* data, std::size_t size)>;

// The pixels a picture is printed at until it is given a print size of its own.
inline constexpr double kSvgDotsPerInch = 300;

// The page: the picture's width and height in millimetres.
struct SvgPage {
    double widthMm = 0;
    double heightMm = 0;
};

// A picture of width x height pixels printed at dotsPerInch.
SvgPage PageAt(int width, int height, double dotsPerInch = kSvgDotsPerInch);

// The groups of a tracing as shapes, in the group's colour, one <path> each, filled even-odd:
// into all, STEM-groups.svg, every group as an Inkscape layer ("group1 #RRGGBB") that other
// readers take as a plain group; into each[n], where set, STEM-group(n+1).svg, group n alone.
// Each group is traced once for all of them, and written as it is traced. The page is sized
// in millimetres with its viewBox in pixels, and drawn without antialiasing: shapes that meet
// exactly then show no seam between them on screen either. colours holds one a group.
// Progress counts the rows of every group traced; returns false when it asked to stop, the
// files then incomplete.
bool WriteShapes(const Tracing& tracing, const std::vector<TColor>& colours, SvgPage page,
                 const SvgOut& all, const std::vector<SvgOut>& each,
                 const TraceProgress& progress = {});

}  // namespace colorsplit
