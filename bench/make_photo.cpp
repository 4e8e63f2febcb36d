// Writes a photo-like picture of any size for the benchmarks, in the format its name says:
// .jpg a JPEG (quality 90), .tif a TIFF in LZW-compressed strips with the horizontal predictor,
// as photo editors write them,
// .webp a lossy WebP (quality 90):
//   colorsplit_make_photo W H OUT.jpg|OUT.tif|OUT.webp [SEED]
#include <tiffio.h>
#include <webp/encode.h>

#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/photo.h"

namespace {

bool WriteTiff(const QImage& image, const char* path) {
    TIFF* tif = TIFFOpen(path, "w");
    if (tif == nullptr)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, image.width());
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, image.height());
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<unsigned char> row(static_cast<size_t>(image.width()) * 3);
    bool ok = true;
    for (int y = 0; y < image.height() && ok; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[3 * x] = static_cast<unsigned char>(qRed(in[x]));
            row[3 * x + 1] = static_cast<unsigned char>(qGreen(in[x]));
            row[3 * x + 2] = static_cast<unsigned char>(qBlue(in[x]));
        }
        ok = TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

bool WriteWebP(const QImage& image, const char* path) {
    // B, G, R, A in memory: the words of Format_RGB32.
    std::uint8_t* out = nullptr;
    const size_t size = WebPEncodeBGRA(image.constBits(), image.width(), image.height(),
                                       static_cast<int>(image.bytesPerLine()), 90, &out);
    FILE* file = std::fopen(path, "wb");
    const bool ok = size > 0 && file != nullptr && std::fwrite(out, 1, size, file) == size;
    if (file != nullptr)
        std::fclose(file);
    WebPFree(out);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: colorsplit_make_photo WIDTH HEIGHT OUT.jpg|.tif|.webp [SEED]\n");
        return 2;
    }
    const int w = std::atoi(argv[1]), h = std::atoi(argv[2]);
    QImage image(w, h, QImage::Format_RGB32);
    {
        const std::vector<colorsplit::TColor> pixels = colorsplit::test::PhotoLike(
            w, h, argc == 5 ? static_cast<unsigned>(std::atoi(argv[4])) : 7);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const colorsplit::TColor c = pixels[static_cast<size_t>(y) * w + x];
                row[x] = qRgb(colorsplit::RedOf(c), colorsplit::GreenOf(c), colorsplit::BlueOf(c));
            }
        }
    }
    const QString out = QString::fromLocal8Bit(argv[3]);
    if (out.endsWith(QLatin1String(".tif")))
        return WriteTiff(image, argv[3]) ? 0 : 1;
    if (out.endsWith(QLatin1String(".webp")))
        return WriteWebP(image, argv[3]) ? 0 : 1;
    return image.save(out, "jpeg", 90) ? 0 : 1;
}
