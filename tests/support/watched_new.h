// A program that links watched_new.cpp has every operator new counted, and blocks over a
// bound refused with bad_alloc: for tests that hold code to what it allocates.
#pragma once

#include <atomic>
#include <cstddef>
#include <limits>

namespace colorsplit::test {

inline std::atomic<long> newCalls{0};
inline std::atomic<std::size_t> refuseAbove{std::numeric_limits<std::size_t>::max()};
inline std::atomic<int> refusedBlocks{0};

}  // namespace colorsplit::test
