// Writes a photo-like JPEG of any size for the benchmarks:
//   colorsplit_make_photo W H OUT.jpg [SEED]
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "support/photo.h"

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: colorsplit_make_photo WIDTH HEIGHT OUT.jpg [SEED]\n");
        return 2;
    }
    const int w = std::atoi(argv[1]), h = std::atoi(argv[2]);
    const std::vector<colorsplit::TColor> pixels = colorsplit::test::PhotoLike(
        w, h, argc == 5 ? static_cast<unsigned>(std::atoi(argv[4])) : 7);
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const colorsplit::TColor c = pixels[static_cast<size_t>(y) * w + x];
            row[x] = qRgb(colorsplit::RedOf(c), colorsplit::GreenOf(c), colorsplit::BlueOf(c));
        }
    }
    return image.save(QString::fromLocal8Bit(argv[3]), "jpeg", 90) ? 0 : 1;
}
