// Writes a seed corpus for the fuzzers: a small file of every BMP layout the program reads,
// the hand-written RLE streams, the malformed files, and a PNG and a JPEG.
#include <QCoreApplication>
#include <QImage>
#include <cstdio>
#include <string>

#include "support/bmp_builder.h"
#include "support/malformed.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 2;
    }
    using namespace colorsplit::test;
    const std::string folder = argv[1];
    const QCoreApplication app(argc, argv);  // the JPEG writer is a plugin
    int n = 0;
    const auto write = [&](const std::vector<std::uint8_t>& bytes) {
        WriteFile(folder + "/seed-" + std::to_string(n++), bytes);
    };
    for (const BmpLayout& layout : AllBmpLayouts())
        write(MakeSample(layout, 7, 5, 1).bytes);
    for (const RleCase& rle : RleCases())
        write(rle.bytes);
    for (const BrokenFile& broken : MalformedBmps())
        write(broken.bytes);
    QImage image(9, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x)
            image.setPixel(x, y, qRgb(x * 28, y * 40, 90));
    for (const char* format : {"png", "jpeg"}) {
        const QString file = QString::fromStdString(folder + "/seed-" + std::to_string(n++));
        if (!image.save(file, format))
            return 1;
    }
    return 0;
}
