// Writes a seed corpus for the fuzzer: small BMP files of every variant the program reads.
#include <cstdio>
#include <string>

#include "support/bmp_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 2;
    }
    using namespace colorsplit::test;
    RgbImage image{7, 5, {}};
    for (int i = 0; i < 35; ++i)
        image.rgb.push_back(static_cast<std::uint32_t>((i % 5) * 0x3F2E1D));
    const struct {
        const char* name;
        int bpp;
        bool topDown;
        BmpCompression compression;
    } seeds[] = {{"1", 1, false, BmpCompression::kNone},   {"4", 4, false, BmpCompression::kNone},
                 {"8", 8, false, BmpCompression::kNone},   {"8td", 8, true, BmpCompression::kNone},
                 {"16", 16, false, BmpCompression::kNone}, {"24", 24, false, BmpCompression::kNone},
                 {"32", 32, true, BmpCompression::kNone},  {"rle4", 4, false, BmpCompression::kRle},
                 {"rle8", 8, false, BmpCompression::kRle}};
    for (const auto& s : seeds) {
        RgbImage picture = image;
        if (s.bpp == 1)
            for (auto& c : picture.rgb)
                c = c == 0 ? 0 : 0xFFFFFF;
        WriteFile(std::string(argv[1]) + "/" + s.name + ".bmp",
                  EncodeBmp(picture, s.bpp, s.topDown, s.compression));
    }
    return 0;
}
