#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace colorsplit::test {

struct BrokenFile {
    std::string name;  // says what is wrong with it
    std::vector<std::uint8_t> bytes;
};

// BMP files, each made from a valid one with one defect: truncations at every header field,
// bad magic and header sizes, impossible sizes, depths and palettes, data offsets past the
// end, RLE streams that overrun or stop early, palette indices beyond the palette, and an
// unknown compression.
std::vector<BrokenFile> MalformedBmps();

}  // namespace colorsplit::test
