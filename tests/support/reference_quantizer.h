#pragma once

#include "core/quantizer.h"

namespace colorsplit::test {

// The grouping and update passes written plainly, loop for loop as the rules read: K distances
// as floats, the strict-less winner, one float add per pixel, and one full scan per group in
// the update. The fast path must match these to the last bit.
void ReferenceGroup(Quantizer& q, const QuantHost& host);
void ReferenceCenproid(Quantizer& q, QuantHost& host);

}  // namespace colorsplit::test
