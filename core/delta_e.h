#pragma once

#include <string>
#include <vector>

#include "core/colors.h"

namespace colorsplit {

// A colour in CIELAB, D65 white.
struct Lab {
    double L = 0;
    double a = 0;
    double b = 0;
};

// An sRGB colour (the 8-bit values as the picture holds them) in CIELAB: the sRGB curve undone,
// XYZ by sRGB's primaries, and D65 white as the matrix's own white, so that grey has a = b = 0.
Lab LabOf(TColor c);

// CIEDE2000 with the weights kL = kC = kH = 1.
double DeltaE2000(const Lab& x, const Lab& y);

// A colour of a real ink, thread or paint, by the name its maker gives it.
struct Ink {
    TColor colour = 0;
    std::string name;
};

// The ink of a table nearest a colour, and how far it is.
struct InkMatch {
    int index = -1;  // into the table; -1 for an empty table
    double deltaE = 0;
};

// A table of inks, ready to be searched: each ink's CIELAB taken once.
class InkTable {
public:
    InkTable() = default;
    explicit InkTable(std::vector<Ink> inks);

    const std::vector<Ink>& Inks() const { return inks_; }
    bool IsEmpty() const { return inks_.empty(); }
    // The nearest ink by CIEDE2000; of inks equally near, the first in the table.
    InkMatch Nearest(TColor c) const;

private:
    std::vector<Ink> inks_;
    std::vector<Lab> labs_;
};

}  // namespace colorsplit
