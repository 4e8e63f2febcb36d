#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace colorsplit::test {

struct BrokenFile {
    std::string name;  // says what is wrong with it
    std::vector<std::uint8_t> bytes;
    const char* cause;  // a part of the refusal's message that says so
};

// BMP files, each made from a valid one with one defect: truncations at every header field,
// bad magic and header sizes, impossible sizes, depths, palettes and colour masks, data offsets
// past the end, RLE streams that overrun or stop early, palette indices beyond the palette, and
// compressions the format does not define or this program does not read.
std::vector<BrokenFile> MalformedBmps();

}  // namespace colorsplit::test
