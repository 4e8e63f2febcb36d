#pragma once

#include <vector>

#include "core/colors.h"
#include "core/picture_access.h"

namespace colorsplit {

// Seed colours for a picture nobody has clicked: the colours already picked stay, and up to
// count - picked.size() more are chosen so that an execute from all of them ends near the least
// distortion k-means can reach. Fewer come back only when the picture has too few colours.
// The same picture gives the same colours on every run, machine and number of threads: the
// threads only count pixels, in whole numbers.
std::vector<TColor> AutoSeeds(const PictureAccess& picture, const std::vector<TColor>& picked,
                              int count, unsigned threads);

}  // namespace colorsplit
