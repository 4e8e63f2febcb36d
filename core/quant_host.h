#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/colors.h"

namespace colorsplit {

// Everything the core needs from outside: the shown picture, the message log and the swatch
// panel. The window implements it; tests and the batch front end supply their own. The core
// reads no files: the host keeps the picture as it was opened.
// Any method may throw; the core catches nothing and leaves its state as it stands.
class QuantHost {
public:
    virtual ~QuantHost() = default;

    // The shown picture's own size in pixels, 0 when no picture is loaded.
    virtual int PictureWidth() const = 0;
    virtual int PictureHeight() const = 0;
    // (0, 0) is the top left; a point outside the picture reads as -1.
    virtual TColor GetPixel(int x, int y) const = 0;
    virtual void SetPixel(int x, int y, TColor c) = 0;
    // Shows the picture as it was opened again, undoing whatever was painted on it since.
    virtual void RestorePicture() = 0;
    // Shows pixels that were set directly.
    virtual void Refresh() = 0;

    // The shown picture's rows for direct access, when the host has them in memory: row y
    // starts at pixels + y * stride, one RowPixel (colors.h) per pixel. Reading and writing
    // through them must give what GetPixel and SetPixel give. Null pixels: use GetPixel and
    // SetPixel. The read-only form lets a host that shares its pixels skip copying them.
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

    // Appends one line to the message log.
    virtual void LogLine(const std::string& text) = 0;
    // Shows a colour in swatch row 0-3 (the groups) or 4 (the mean colour).
    virtual void ShowSwatch(int row, TColor c) = 0;
};

}  // namespace colorsplit
