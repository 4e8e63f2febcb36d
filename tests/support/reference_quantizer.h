#pragma once

#include <vector>

#include "core/quantizer.h"

namespace colorsplit::test {

// A state of the test's own for the plain passes, with its table.
QuantState ReferenceState();

// The sampling and the stop test, as plainly.
void ReferenceSample(QuantState& s, const PictureAccess& picture);
bool ReferenceRunOver(QuantState& s);

// The grouping and update passes written plainly, loop for loop as the rules read: K distances
// as floats, the strict-less winner, one float add per pixel, and one full scan per group in
// the update. The fast path must match these to the last bit.
void ReferenceGroup(QuantState& s, const PictureAccess& picture);
void ReferenceCenproid(QuantState& s, const PictureAccess& picture, QuantObserver& observer);

}  // namespace colorsplit::test

namespace colorsplit::test {

// The distortion the execute command reaches from these picks.
float ExecutedFrom(const PictureAccess& picture, const std::vector<TColor>& seeds);

// What good seeds are measured against: k-means++ on the pixels themselves (the first pick any
// pixel, each next one a pixel drawn with odds of its squared distance to the nearest pick so
// far), each draw run to its end by the execute command; the least distortion of the draws.
float BestOfKMeansPlusPlus(const PictureAccess& picture, int draws, unsigned seed);

}  // namespace colorsplit::test
