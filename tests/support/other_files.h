#pragma once

#include <cstdint>
#include <vector>

// Files as other programs write them: what cameras put in a JPEG or PNG, CMYK JPEG from print
// workflows, PNG of 16 bits a channel.

namespace colorsplit::test {

using Bytes = std::vector<std::uint8_t>;

// Exif as cameras write it: the TIFF structure with one IFD holding the orientation (1-8).
Bytes ExifBlock(int orientation, bool bigEndian);

// The block as a JPEG's APP1 segment holds it: "Exif\0\0", then the block.
Bytes ExifApp1(const Bytes& exif);

// A JPEG file with an APP1 segment holding payload right after its start marker.
Bytes WithApp1(const Bytes& jpeg, const Bytes& payload);

// A PNG file with one more chunk right after its header chunk, checksum and all.
Bytes WithChunk(const Bytes& png, const char type[4], const Bytes& data);

// A PNG's zTXt chunk data holding a profile as ImageMagick writes it: the keyword "Raw
// profile type exif", then, compressed, the profile's name, its length and its bytes in hex.
Bytes RawProfileText(const Bytes& profile);

// A 16-bit PNG of one row, a pixel per entry of samples, each entry the pixel's channels:
// 1 (grey), 2 (grey, alpha), 3 (RGB) or 4 (RGBA) of them, colour type to match.
Bytes Png16(int channels, const std::vector<std::vector<std::uint16_t>>& samples);

// A 16 x 8 JPEG of two flat halves in CMYK (as stored: Adobe's inverted inks) or, with ycck,
// converted to YCCK; quality 100.
Bytes CmykJpeg(const std::uint8_t left[4], const std::uint8_t right[4], bool ycck);

// The inks libjpeg itself decodes a CMYK or YCCK JPEG to, four bytes a pixel, row by row.
Bytes CmykSamples(const Bytes& jpeg);

}  // namespace colorsplit::test
