// Writes a seed corpus for the fuzzers: a small file of every BMP layout the program reads,
// the hand-written RLE streams, the malformed files, a PNG and a JPEG, and what cameras write.
#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <cstdio>
#include <string>

#include "support/bmp_builder.h"
#include "support/malformed.h"
#include "support/other_files.h"

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
    // What cameras and print workflows write: Exif orientations in a JPEG and in a PNG's eXIf
    // chunk, CMYK and YCCK JPEG, and both formats inside a BMP.
    const auto encoded = [&image](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    };
    const std::vector<std::uint8_t> png = encoded("png"), jpeg = encoded("jpeg");
    for (int orientation : {3, 6}) {
        const Bytes exif = ExifBlock(orientation, orientation == 6);
        write(WithApp1(jpeg, ExifApp1(exif)));
        write(WithChunk(png, "eXIf", exif));
    }
    const std::uint8_t inks[2][4] = {{255, 0, 0, 255}, {128, 200, 40, 200}};
    write(CmykJpeg(inks[0], inks[1], false));
    write(CmykJpeg(inks[0], inks[1], true));
    write(EmbedInBmp(png, 5, 9, 6));
    write(EmbedInBmp(jpeg, 4, 9, 6));
    return 0;
}
