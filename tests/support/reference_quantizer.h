#pragma once

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
