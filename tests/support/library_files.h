#pragma once

#include <array>
#include <cstdint>
#include <vector>

// TIFF, WebP, GIF, HEIC and AVIF files as their own libraries write them, from samples the
// tests choose, so that what a reader shows can be held to what was written.

namespace colorsplit::test {

using Bytes = std::vector<std::uint8_t>;

// One page of a TIFF file; the numbers are TIFF's own tag values.
struct TiffPage {
    int width = 0, height = 0;
    int photometric = 1;  // 0 min-is-white, 1 min-is-black, 2 RGB, 3 palette, 5 CMYK, 6 YCbCr
    int bits = 8;
    int samples = 1;       // a pixel's, extra ones included
    int extra = 0;         // of them, unassociated alpha
    int compression = 1;   // 1 none, 5 LZW, 7 JPEG, 8 Deflate, 32773 PackBits
    bool planar = false;   // each sample in a plane of its own
    int tile = 0;          // tiles of tile x tile pixels (a multiple of 16); 0 for strips
    int rowsPerStrip = 0;  // 0 for libtiff's choice
    int orientation = 0;   // 0 writes none
    int sampleFormat = 1;  // 1 unsigned, 2 signed, 3 floating point
    std::array<int, 2> subsampling{};      // YCbCr, written when not zero
    std::vector<std::uint16_t> colourMap;  // palette: 2^bits reds, then greens, then blues
    std::vector<std::uint32_t> values;     // width x height x samples, pixel after pixel
    std::vector<std::uint8_t> icc;         // an ICC profile, tag 34675
};
Bytes Tiff(const std::vector<TiffPage>& pages);
// An old-style JPEG TIFF (compression 6) as its writers made them: a whole JPEG file of
// 4:2:0 YCbCr in one strip, which the interchange format tags point to as well.
Bytes OldJpegTiff(const Bytes& jpeg, int width, int height);
// What libtiff's own RGBA reader shows of a file's first page, 0xRRGGBB, row by row.
std::vector<std::uint32_t> TiffRgba(const Bytes& file);

// A WebP still of argb (0xAARRGGBB, row by row): lossless keeps every colour, transparent
// ones too; lossy at quality 0-100.
Bytes WebP(int width, int height, const std::vector<std::uint32_t>& argb, bool lossless,
           int quality = 90);
// A lossless animation of frames of that size, 100 ms each.
Bytes AnimatedWebP(int width, int height, const std::vector<std::vector<std::uint32_t>>& frames);
// What libwebp itself decodes a still to, 0xRRGGBB.
std::vector<std::uint32_t> WebPDecoded(const Bytes& file);

struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<std::uint32_t> localMap;  // 0xRRGGBB, a power of two of them; empty for none
    std::vector<std::uint8_t> indices;    // row by row from the top
    int transparent = -1;                 // the index a control block makes transparent
};
// A GIF of a width x height screen and a global map (empty for none), its background colour
// that map's entry background.
Bytes Gif(int width, int height, const std::vector<std::uint32_t>& globalMap, int background,
          const std::vector<GifFrame>& frames);

// A HEIC (HEVC) or AVIF (AV1) file of rgb (0xRRGGBB, row by row) at 8 or 10 bits, with an
// alpha plane of 128 if asked, its orientation (1-8, as Exif numbers them) written as the
// file's own rotation and mirroring boxes, and an ICC profile if given (with the nclx box),
// the nclx's primaries and transfer as given.
Bytes Heif(bool avif, int width, int height, const std::vector<std::uint32_t>& rgb, int bits,
           int orientation = 1, bool alpha = false, const Bytes& icc = {},
           std::array<int, 2> nclx = {2, 2});

}  // namespace colorsplit::test
