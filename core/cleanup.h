#pragma once

#include <cstdint>
#include <functional>

#include "core/group_map.h"

namespace colorsplit {

// Which neighbours a region's pixels reach: across edges only, or across corners too.
enum class Connectivity { Four = 4, Eight = 8 };

// Every region of one group smaller than minPixels joins a neighbouring group, by the rules at
// the top of cleanup.cpp, until none is left; 0 and 1 change nothing. Besides the map it takes
// a bit a pixel and a few lists as long as the largest small region.
// progress(done, total) is called after each row of each scan; when it returns false the
// cleanup stops and returns false, leaving some valid grouping (an empty function never stops).
// Throws std::bad_alloc when memory does not allow it.
bool CleanUp(GroupMap& map, std::int64_t minPixels, Connectivity connectivity,
             const std::function<bool(std::int64_t done, std::int64_t total)>& progress);

}  // namespace colorsplit
