#pragma once

#include <cstddef>

#include "core/colors.h"

namespace colorsplit {

// The shown picture as the core reads and paints it; the session supplies it, tests their own.
// Any method may throw; the core catches nothing and leaves its state as it stands.
class PictureAccess {
public:
    virtual ~PictureAccess() = default;

    // The shown picture's own size in pixels, 0 when no picture is loaded.
    virtual int PictureWidth() const = 0;
    virtual int PictureHeight() const = 0;
    // (0, 0) is the top left; a point outside the picture reads as -1.
    virtual TColor GetPixel(int x, int y) const = 0;
    virtual void SetPixel(int x, int y, TColor c) = 0;
    // Shows the picture as it was opened again, undoing whatever was painted on it since. The
    // core reads no files: the picture as opened is kept by whoever supplies it.
    virtual void RestorePicture() = 0;
    // Shows pixels that were set directly.
    virtual void Refresh() = 0;

    // The shown picture's rows for direct access, when they are in memory: row y starts at
    // pixels + y * stride, one RowPixel (colors.h) per pixel. Reading and writing through them
    // must give what GetPixel and SetPixel give. Null pixels: use GetPixel and SetPixel. The
    // read-only form lets a picture that shares its pixels skip copying them.
    struct ConstPixelRows {
        const RowPixel* pixels = nullptr;
        std::ptrdiff_t stride = 0;
    };
    struct PixelRows {
        RowPixel* pixels = nullptr;
        std::ptrdiff_t stride = 0;
    };
    virtual ConstPixelRows ReadRows() const { return {}; }
    virtual PixelRows WriteRows() { return {}; }
};

// What the core tells as it works, in kinds and numbers: the front ends word it for the log
// and show each group's colour as its swatch.
class QuantObserver {
public:
    virtual ~QuantObserver() = default;

    // An execute begins, before the picture is sampled.
    virtual void RunStarting() = 0;
    // The picture is in the table; the iterations begin.
    virtual void RunSampled() = 0;
    // Iteration n (from 1) begins.
    virtual void IterationStarting(int n) = 0;
    // Group g (from 0) has moved to colour c: its swatch row shows it.
    virtual void GroupMoved(int g, TColor c) = 0;
    // The execute is over after that many iterations.
    virtual void RunEnded(int iterations) = 0;
    // Every pixel outside the kept group is black.
    virtual void MaskPainted() = 0;
};

}  // namespace colorsplit
