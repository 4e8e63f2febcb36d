#pragma once

#include <tiffio.h>

#include <QByteArray>
#include <memory>

namespace colorsplit {

// A TIFF file in memory, that libtiff reads, or writes and seeks back in to fill in its
// directories. Reading shares the bytes it is given (QByteArray copies only on a write).
struct TiffMemory {
    QByteArray bytes;
    toff_t at = 0;
};

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

// The file opened through libtiff's client interface, mode "r" (the bytes mapped, not copied) or
// "w", its reports going to the handlers options set; null when libtiff refuses it.
Tiff OpenTiff(TiffMemory& memory, const char* mode, TIFFOpenOptions* options);

}  // namespace colorsplit
