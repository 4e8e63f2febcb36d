#pragma once

#include <cstdint>
#include <vector>

// ICC profiles made with Little CMS, put in files the way each format holds them, and what
// Little CMS itself makes of a picture's samples through them.

namespace colorsplit::test {

using Bytes = std::vector<std::uint8_t>;

enum class Icc {
    kAdobeRgb,
    kProPhoto,
    kGrey,       // gamma 1.8
    kCmyk,       // plain inks through a table, to Lab
    kSrgb,       // Little CMS's own, version 4
    kSrgbV2,     // as cameras embed it: version 2, D65 white point, tabulated curves
    kFalseSrgb,  // named "sRGB IEC61966-2.1", Adobe RGB's colorants
    kD50Srgb,    // sRGB's colorants and curves, but made for a D50 white
    kGamma22,    // sRGB's colorants and white, curves of gamma 2.2
    kDisplayP3,  // what HEIF's nclx 12/13 says
};
Bytes Profile(Icc icc);
// Not a profile, but long enough to pass for one at a glance.
Bytes BrokenProfile();

// Samples (RGB, grey or CMYK with 0 no ink, by the profile's colour space) to 0xRRGGBB:
// relative colorimetric with black point compensation into sRGB.
std::vector<std::uint32_t> ToSrgb(const Bytes& icc, const std::vector<std::uint8_t>& samples);

// An 8-bit PNG of rgb (0xRRGGBB; grey takes the green), with an iCCP chunk of icc if given,
// or an sRGB chunk.
Bytes Png8(int width, int height, bool grey, const std::vector<std::uint32_t>& rgb,
           const Bytes& icc, bool srgbChunk = false);
// The file with icc added: a JPEG's APP2 segment (of up to 64 KB), a WebP's ICCP chunk, a
// BMP's V5 header (whose layout it must have) pointing at it after the pixels.
Bytes WithJpegIcc(const Bytes& jpeg, const Bytes& icc);
Bytes WithWebPIcc(const Bytes& webp, const Bytes& icc);
Bytes WithBmpIcc(const Bytes& bmp, const Bytes& icc);

}  // namespace colorsplit::test
