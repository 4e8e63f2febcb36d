// TIFF files written through libtiff into memory; the caller writes them out safely.
#include "platform/tiff_writer.h"

#include <algorithm>
#include <vector>

#include "platform/png_writer.h"
#include "platform/samples.h"
#include "platform/tiff_memory.h"

namespace colorsplit {

namespace {

int Quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

}  // namespace

QByteArray EncodeTiff(const QImage& picture) {
    TiffMemory memory;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    {
        const Tiff tif = OpenTiff(memory, "w", options);
        TIFFOpenOptionsFree(options);
        if (!tif)
            throw EncodeError{};
        const auto w = static_cast<std::uint32_t>(picture.width());
        const auto h = static_cast<std::uint32_t>(picture.height());
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tif.get(), TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        // Strips of about 64 KB, as readers expect.
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP,
                     std::max<std::uint32_t>(1, 65536 / std::max<std::uint32_t>(1, w * 3)));
        std::vector<std::uint8_t> row(static_cast<size_t>(w) * 3);
        for (std::uint32_t y = 0; y < h; ++y) {
            RgbRow(reinterpret_cast<const QRgb*>(picture.constScanLine(static_cast<int>(y))),
                   picture.width(), row.data());
            if (TIFFWriteScanline(tif.get(), row.data(), y, 0) < 0)
                throw EncodeError{};
        }
    }
    return memory.bytes;
}

}  // namespace colorsplit
