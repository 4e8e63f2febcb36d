// Writes a seed corpus for the fuzzers: a small file of every BMP layout the program reads,
// the hand-written RLE streams, the malformed files, a PNG and a JPEG, what cameras write, and
// TIFF, WebP, GIF, HEIC and AVIF files of their variants. With a format named, its seeds only,
// so that a run spends its time on that format's reader.
#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <cstdio>
#include <string>

#include "support/bmp_builder.h"
#include "support/library_files.h"
#include "support/malformed.h"
#include "support/other_files.h"
#include "support/profiles.h"

namespace {

using namespace colorsplit::test;

std::vector<std::uint32_t> Gradient(int w, int h, std::uint32_t alpha) {
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            argb.push_back(alpha | static_cast<std::uint32_t>(x * 28 << 16 | y * 40 << 8 | 90));
    return argb;
}

std::vector<Bytes> TiffSeeds() {
    std::vector<Bytes> seeds;
    // photometric, bits, samples, compression, planar, tile
    const int kinds[][6] = {{1, 1, 1, 1, 0, 0},  {1, 4, 1, 32773, 0, 0}, {1, 16, 1, 8, 0, 0},
                            {0, 8, 1, 5, 0, 0},  {3, 8, 1, 5, 0, 0},     {2, 8, 3, 1, 0, 16},
                            {2, 16, 4, 8, 1, 0}, {5, 8, 4, 5, 0, 0},     {6, 8, 3, 7, 0, 0},
                            {2, 8, 3, 7, 0, 16}, {6, 8, 3, 1, 0, 0}};
    for (const auto& k : kinds) {
        TiffPage page;
        page.width = 9;
        page.height = 6;
        page.photometric = k[0];
        page.bits = k[1];
        page.samples = k[2];
        page.extra = k[2] == 4 && k[0] == 2 ? 1 : 0;
        page.compression = k[3];
        page.planar = k[4] != 0;
        page.tile = k[5];
        page.orientation = k[0] == 1 ? 6 : 0;
        if (k[0] == 6 && k[3] == 1)
            page.subsampling = {1, 1};
        for (int i = 0; i < 9 * 6 * page.samples; ++i)
            page.values.push_back(static_cast<std::uint32_t>(i * 37) & ((1u << page.bits) - 1));
        for (int i = 0; k[0] == 3 && i < 3 * 256; ++i)
            page.colourMap.push_back(static_cast<std::uint16_t>(i * 85));
        seeds.push_back(Tiff({page, page}));
    }
    return seeds;
}

std::vector<Bytes> WebPSeeds() {
    return {WebP(9, 6, Gradient(9, 6, 0xFF000000u), true),
            WebP(9, 6, Gradient(9, 6, 0x80000000u), true),
            WebP(9, 6, Gradient(9, 6, 0xFF000000u), false),
            WebP(9, 6, Gradient(9, 6, 0x40000000u), false),
            AnimatedWebP(9, 6, {Gradient(9, 6, 0xFF000000u), Gradient(9, 6, 0x80000000u)})};
}

std::vector<Bytes> GifSeeds() {
    GifFrame frame;
    frame.width = 9;
    frame.height = 6;
    for (int i = 0; i < 54; ++i)
        frame.indices.push_back(static_cast<std::uint8_t>(i % 4));
    GifFrame interlaced = frame;
    interlaced.interlaced = true;
    interlaced.localMap = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    interlaced.transparent = 1;
    GifFrame inside = frame;
    inside.left = 2;
    inside.top = 1;
    inside.width = 3;
    inside.height = 2;
    inside.indices.resize(6);
    const std::vector<std::uint32_t> map = {0x102030, 0xFF8000, 0x00FFFF, 0x808080};
    return {Gif(9, 6, map, 0, {frame}), Gif(9, 6, map, 3, {interlaced, frame}),
            Gif(9, 6, map, 2, {inside})};
}

std::vector<Bytes> HeifSeeds(bool avif) {
    const auto rgb = Gradient(9, 6, 0);
    return {Heif(avif, 9, 6, rgb, 8), Heif(avif, 9, 6, rgb, 10), Heif(avif, 9, 6, rgb, 8, 6, true)};
}

// Colour profiles as cameras and editors embed them, whole and broken: PNG iCCP, JPEG APP2
// (CMYK too), WebP ICCP and a BMP V5's.
std::vector<Bytes> ProfileSeeds() {
    const std::vector<std::uint32_t> rgb = {0xC80A0A, 0x0AC80A, 0x0A0AC8, 0xFFFFFF};
    std::vector<Bytes> seeds;
    for (const Bytes& icc : {colorsplit::test::Profile(colorsplit::test::Icc::kAdobeRgb),
                             colorsplit::test::Profile(colorsplit::test::Icc::kGrey),
                             colorsplit::test::Profile(colorsplit::test::Icc::kSrgbV2),
                             colorsplit::test::BrokenProfile()})
        seeds.push_back(colorsplit::test::Png8(2, 2, false, rgb, icc));
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(qRgb(200, 10, 10));
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpeg");
    const Bytes jpeg(encoded.begin(), encoded.end());
    seeds.push_back(colorsplit::test::WithJpegIcc(
        jpeg, colorsplit::test::Profile(colorsplit::test::Icc::kProPhoto)));
    const std::uint8_t inks[2][4] = {{255, 0, 0, 255}, {128, 200, 40, 200}};
    seeds.push_back(colorsplit::test::WithJpegIcc(
        CmykJpeg(inks[0], inks[1], true), colorsplit::test::Profile(colorsplit::test::Icc::kCmyk)));
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER [tiff|webp|gif|heic|avif|profiles]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const QCoreApplication app(argc, argv);  // the JPEG writer is a plugin
    int n = 0;
    const auto write = [&](const std::vector<std::uint8_t>& bytes) {
        WriteFile(folder + "/seed-" + std::to_string(n++), bytes);
    };
    const struct {
        const char* name;
        std::vector<Bytes> (*seeds)();
    } formats[] = {
        {"tiff", TiffSeeds},
        {"webp", WebPSeeds},
        {"gif", GifSeeds},
        {"heic", [] { return HeifSeeds(false); }},
        {"avif", [] { return HeifSeeds(true); }},
        {"profiles", ProfileSeeds},
    };
    const std::string only = argc == 3 ? argv[2] : "";
    bool known = only.empty();
    for (const auto& format : formats) {
        if (!only.empty() && only != format.name)
            continue;
        known = true;
        for (const Bytes& seed : format.seeds())
            write(seed);
    }
    if (!known) {
        std::fprintf(stderr, "make_fuzz_seeds: no format %s\n", only.c_str());
        return 2;
    }
    if (!only.empty())
        return 0;
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
