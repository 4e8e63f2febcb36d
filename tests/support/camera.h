#pragma once

#include <cstdint>
#include <vector>

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

// A 16 x 8 JPEG of two flat halves in CMYK (as stored: Adobe's inverted inks) or, with ycck,
// converted to YCCK; quality 100.
Bytes CmykJpeg(const std::uint8_t left[4], const std::uint8_t right[4], bool ycck);

}  // namespace colorsplit::test
