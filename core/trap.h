#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/colors.h"
#include "core/group_map.h"

namespace colorsplit {

// The films with trap: a lighter group's film spreads into the areas of strictly darker groups
// within a distance (between pixel centres, dx² + dy² ≤ width²), so that a print slightly out
// of register shows no gap between inks. Lighter and darker go by the luminance of the groups'
// colours (0.2126 R + 0.7152 G + 0.0722 B); equal ones spread neither way, and the darkest
// group's film is the plain one.
class Trap {
public:
    static constexpr int kMaxWidth = 64;

    // The map must outlive this. colours: a colour for each group; width in pixels, 0 (the
    // plain films) to kMaxWidth, clamped to that.
    Trap(const GroupMap& map, const std::vector<TColor>& colours, int width);
    ~Trap();

    // Row y of group's film: ink[x] = 1 where it prints, else 0 (the map's width of bytes).
    // Each film keeps the rows around the last it made, so that going down a row costs one new
    // row; any order works, top to bottom is fastest. Calls for different films may run at
    // once on different threads; calls for one film may not.
    void FilmRow(int group, int y, std::uint8_t* ink);

private:
    class Film;

    std::vector<std::unique_ptr<Film>> films_;
};

}  // namespace colorsplit
