// TIFF, WebP, GIF, HEIC and AVIF files written by their own libraries, against the pixels that
// were written; refusals that say what a file is.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <random>

#include "platform/picture.h"
#include "platform/picture_error.h"
#include "session/texts.h"
#include "support/bmp_builder.h"
#include "support/library_files.h"

namespace colorsplit {
namespace {

using test::Bytes;
using test::GifFrame;
using test::TiffPage;

class Formats : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
        test::WriteFile(path, bytes);
        return path;
    }
    // The picture a file shows; every word of it opaque, as Format_RGB32 has them.
    QImage Read(const Bytes& bytes) {
        QImage image;
        try {
            image = Picture::ReadFile(Write("picture", bytes));
        } catch (const PictureError& e) {
            ADD_FAILURE() << texts::Describe(e).toStdString();
        }
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(row[x]) != 255) {
                    ADD_FAILURE() << "not opaque at " << x << "," << y;
                    return image;
                }
        }
        return image;
    }
    // The refusal's words for the file, checked to be the catalogue's own: no run of three
    // lower-case letters, which only a library's English has.
    std::string Refusal(const Bytes& bytes) {
        try {
            Picture::ReadFile(Write("picture", bytes));
        } catch (const PictureError& e) {
            const QString words = texts::Describe(e).remove(QString::fromStdString(e.File()));
            EXPECT_FALSE(words.contains(QRegularExpression(QStringLiteral("[a-z]{3}"))))
                << words.toStdString();
            return words.toStdString();
        }
        ADD_FAILURE() << "read";
        return {};
    }

    QTemporaryDir dir_;
};

#define EXPECT_REFUSED(bytes, cause) \
    EXPECT_NE(Refusal(bytes).find(cause), std::string::npos) << Refusal(bytes)

QImage Image(int w, int h, const std::vector<std::uint32_t>& rgb) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, 0xFF000000u | rgb[static_cast<size_t>(y) * w + x]);
    return image;
}

int Level(std::uint32_t v, int bits) {
    return static_cast<int>(std::lround(v * 255.0 / ((1u << bits) - 1)));
}

// What a page shows, from the format's rules.
QImage Shown(const TiffPage& page) {
    QImage image(page.width, page.height, QImage::Format_RGB32);
    const size_t entries = page.colourMap.size() / 3;
    const bool eightBitMap = std::all_of(page.colourMap.begin(), page.colourMap.end(),
                                         [](std::uint16_t v) { return v < 256; });
    const auto map = [&](size_t i) {
        return eightBitMap ? page.colourMap[i] : page.colourMap[i] >> 8;
    };
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const auto v = [&](int s) {
                return page.values[(static_cast<size_t>(y) * page.width + x) * page.samples + s];
            };
            const auto level = [&](int s) { return Level(v(s), page.bits); };
            QRgb c = 0;
            switch (page.photometric) {
                case 0:
                    c = qRgb(255 - level(0), 255 - level(0), 255 - level(0));
                    break;
                case 1:
                    c = qRgb(level(0), level(0), level(0));
                    break;
                case 3:
                    c = qRgb(map(v(0)), map(entries + v(0)), map(2 * entries + v(0)));
                    break;
                case 5: {
                    const auto ink = [&](int s) {
                        return static_cast<int>(
                            std::lround((255 - level(s)) * (255 - level(3)) / 255.0));
                    };
                    c = qRgb(ink(0), ink(1), ink(2));
                    break;
                }
                case 6:
                    if (page.compression != 7) {
                        // The samples are Y, Cb and Cr, in ITU-R BT.601's proportions.
                        const double luma = v(0), cb = v(1) - 128.0, cr = v(2) - 128.0;
                        const auto channel = [](double value) {
                            return static_cast<int>(std::clamp(std::lround(value), 0L, 255L));
                        };
                        c = qRgb(channel(luma + 1.402 * cr),
                                 channel(luma - 0.344136 * cb - 0.714136 * cr),
                                 channel(luma + 1.772 * cb));
                        break;
                    }
                    [[fallthrough]];
                default:
                    c = qRgb(level(0), level(1), level(2));
            }
            image.setPixel(x, y, c);
        }
    return image;
}

// Random samples of the page's bits; with flat, the picture is 16 x 16 blocks of one colour,
// which JPEG keeps.
TiffPage Filled(TiffPage page, unsigned seed, bool flat = false) {
    std::mt19937 rng(seed);
    const std::uint32_t most = page.bits == 32 ? 0xFFFFFFFFu : (1u << page.bits) - 1;
    std::vector<std::uint32_t> blocks;
    for (int i = 0; i < 64 * page.samples; ++i)
        blocks.push_back(rng() & most);
    page.values.clear();
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            for (int s = 0; s < page.samples; ++s)
                page.values.push_back(flat ? blocks[((y / 16 * 8 + x / 16) % 64) * page.samples + s]
                                           : rng() & most);
    if (page.photometric == 3) {
        std::vector<std::uint16_t> map;
        for (int i = 0; i < 3 << page.bits; ++i)
            map.push_back(static_cast<std::uint16_t>(rng()));
        page.colourMap = map;
    }
    return page;
}

// The largest difference of a channel; with a margin, of pixels that far from the mid-lines,
// where the quadrants meet.
int MostApart(const QImage& a, const QImage& b, int margin = 0) {
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (std::abs(2 * x + 1 - a.width()) < 2 * margin ||
                std::abs(2 * y + 1 - a.height()) < 2 * margin)
                continue;
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q))});
        }
    return most;
}

TEST_F(Formats, TiffPagesShowTheSamplesWritten) {
    const auto page = [](int photometric, int bits, int samples) {
        TiffPage p;
        p.width = 37;
        p.height = 23;
        p.photometric = photometric;
        p.bits = bits;
        p.samples = samples;
        return p;
    };
    const auto with = [](TiffPage p, auto change) {
        change(p);
        return p;
    };
    const struct {
        const char* name;
        TiffPage page;
        int tolerance;  // 0: exact
    } cases[] = {
        {"grey 1 bit", page(1, 1, 1), 0},
        {"grey 2 bits", page(1, 2, 1), 0},
        {"grey 4 bits", page(1, 4, 1), 0},
        {"grey 8 bits", page(1, 8, 1), 0},
        {"grey 16 bits", page(1, 16, 1), 0},
        {"white is zero", page(0, 8, 1), 0},
        {"grey and alpha", with(page(1, 8, 2), [](TiffPage& p) { p.extra = 1; }), 0},
        {"palette 4 bits", page(3, 4, 1), 0},
        {"palette 8 bits", page(3, 8, 1), 0},
        {"palette of 8-bit values",
         with(page(3, 2, 1),
              [](TiffPage& p) { p.colourMap = {0, 255, 3, 9, 7, 100, 200, 1, 50, 60, 70, 80}; }),
         0},
        // Entries of c x 256, as many writers store them, and of c x 257: both c.
        {"palette of c x 256",
         with(
             page(3, 1, 1),
             [](TiffPage& p) { p.colourMap = {200 * 256, 65280, 129 * 256, 65535, 128 * 257, 0}; }),
         0},
        {"RGB 8 bits", page(2, 8, 3), 0},
        {"RGB 16 bits", page(2, 16, 3), 0},
        {"RGBA 8 bits", with(page(2, 8, 4), [](TiffPage& p) { p.extra = 1; }), 0},
        {"RGBA 16 bits", with(page(2, 16, 4), [](TiffPage& p) { p.extra = 1; }), 0},
        {"CMYK 8 bits", page(5, 8, 4), 0},
        {"CMYK 16 bits", page(5, 16, 4), 0},
        {"LZW", with(page(2, 8, 3), [](TiffPage& p) { p.compression = 5; }), 0},
        {"Deflate", with(page(2, 16, 3), [](TiffPage& p) { p.compression = 8; }), 0},
        {"PackBits", with(page(1, 4, 1), [](TiffPage& p) { p.compression = 32773; }), 0},
        {"strips of 5 rows", with(page(2, 8, 3), [](TiffPage& p) { p.rowsPerStrip = 5; }), 0},
        {"planes", with(page(2, 8, 3), [](TiffPage& p) { p.planar = true; }), 0},
        {"planes of RGBA 16 bits",
         with(page(2, 16, 4),
              [](TiffPage& p) {
                  p.extra = 1;
                  p.planar = true;
              }),
         0},
        // Compressed strips in planes, which decode only forwards.
        {"planes, LZW",
         with(page(2, 8, 3),
              [](TiffPage& p) {
                  p.planar = true;
                  p.compression = 5;
              }),
         0},
        {"tiles", with(page(2, 8, 3), [](TiffPage& p) { p.tile = 16; }), 0},
        {"tiles of 1 bit", with(page(1, 1, 1), [](TiffPage& p) { p.tile = 16; }), 0},
        {"tiles in planes, LZW",
         with(page(5, 16, 4),
              [](TiffPage& p) {
                  p.tile = 32;
                  p.planar = true;
                  p.compression = 5;
              }),
         0},
        {"JPEG in YCbCr", with(page(6, 8, 3), [](TiffPage& p) { p.compression = 7; }), 12},
        {"JPEG in RGB", with(page(2, 8, 3), [](TiffPage& p) { p.compression = 7; }), 12},
        {"JPEG tiles",
         with(page(6, 8, 3),
              [](TiffPage& p) {
                  p.compression = 7;
                  p.tile = 16;
              }),
         12},
        {"JPEG grey", with(page(1, 8, 1), [](TiffPage& p) { p.compression = 7; }), 12},
        {"YCbCr not subsampled",
         with(page(6, 8, 3),
              [](TiffPage& p) {
                  p.subsampling = {1, 1};
              }),
         2},
    };
    unsigned seed = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TiffPage written = Filled(c.page, seed++, c.tolerance > 0);
        if (!c.page.colourMap.empty())
            written.colourMap = c.page.colourMap;
        const TiffPage second = Filled(c.page, seed++, c.tolerance > 0);
        // The first page of two.
        const QImage shown = Read(test::Tiff({written, second}));
        ASSERT_EQ(shown.size(), QSize(37, 23));
        if (c.tolerance == 0) {
            EXPECT_EQ(shown, Shown(written));
        } else {
            // Inside the flat blocks: subsampled colour bleeds over their edges.
            const QImage expected = Shown(written);
            for (int y = 3; y < 23; y += 16)
                for (int x = 3; x < 37; x += 16)
                    EXPECT_LE(MostApart(shown.copy(x, y, 10, 10), expected.copy(x, y, 10, 10)),
                              c.tolerance)
                        << x << "," << y;
        }
        // JPEG: as libtiff's own reader decodes it, to the last bit.
        if (c.page.compression == 7) {
            EXPECT_EQ(shown, Image(37, 23, test::TiffRgba(test::Tiff({written}))));
        }
    }
}

// Where the stored pixel a shown one is, for each orientation, from TIFF's (and Exif's)
// definitions: 2 mirrored, 3 turned half round, 6 turned a quarter clockwise, ...
QPoint Stored(int orientation, QPoint shown, QSize stored) {
    const int x = shown.x(), y = shown.y(), w = stored.width(), h = stored.height();
    switch (orientation) {
        case 2:
            return {w - 1 - x, y};
        case 3:
            return {w - 1 - x, h - 1 - y};
        case 4:
            return {x, h - 1 - y};
        case 5:
            return {y, x};
        case 6:
            return {y, h - 1 - x};
        case 7:
            return {w - 1 - y, h - 1 - x};
        case 8:
            return {w - 1 - y, x};
        default:
            return shown;
    }
}

TEST_F(Formats, TiffOrientationTurnsThePictureAsTheTagSays) {
    TiffPage rgb;
    rgb.width = 9;
    rgb.height = 5;
    rgb.photometric = 2;
    rgb.samples = 3;
    // YCbCr goes through libtiff's RGBA interface, which must turn nothing itself.
    TiffPage ycbcr = rgb;
    ycbcr.photometric = 6;
    ycbcr.subsampling = {1, 1};
    for (TiffPage page : {Filled(rgb, 7), Filled(ycbcr, 8)}) {
        SCOPED_TRACE(page.photometric);
        const QImage stored = Shown(page);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(orientation);
            page.orientation = orientation;
            const std::string path = Write("turned.tif", test::Tiff({page}));
            const QSize size = orientation >= 5 ? QSize(5, 9) : QSize(9, 5);
            EXPECT_EQ(Picture::ReadSize(path), size) << "from the headers";
            QImage expected(size, QImage::Format_RGB32);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    expected.setPixel(x, y,
                                      stored.pixel(Stored(orientation, {x, y}, stored.size())));
            const QImage shown = Picture::ReadFile(path);
            ASSERT_EQ(shown.size(), size);
            EXPECT_LE(MostApart(shown, expected), page.photometric == 6 ? 2 : 0);
        }
    }
}

// Sets a tag's value in a little-endian TIFF's first directory.
Bytes WithTag(Bytes file, std::uint16_t tag, std::uint32_t value) {
    const auto u16 = [&file](size_t at) { return file[at] | file[at + 1] << 8; };
    const size_t ifd = file[4] | file[5] << 8 | file[6] << 16 | static_cast<size_t>(file[7]) << 24;
    for (int i = 0; i < u16(ifd); ++i) {
        const size_t entry = ifd + 2 + 12 * static_cast<size_t>(i);
        if (u16(entry) != tag)
            continue;
        file[entry + 2] = 4;  // a LONG
        test::PutLe32(file, entry + 8, value);
    }
    return file;
}

TEST_F(Formats, TiffOfKindsNotReadIsRefusedNamingWhatItIs) {
    const auto page = [](int photometric, int bits, int samples, int format = 1) {
        TiffPage p;
        p.width = 16;
        p.height = 16;
        p.photometric = photometric;
        p.bits = bits;
        p.samples = samples;
        p.sampleFormat = format;
        return Filled(p, 3);
    };
    TiffPage subsampled = page(6, 8, 3);
    subsampled.subsampling = {2, 2};
    TiffPage tiled = page(1, 1, 1);
    tiled.tile = 16;
    const Bytes rgb = test::Tiff({page(2, 8, 3)});
    const struct {
        const char* name;
        Bytes file;
        const char* cause;
    } cases[] = {
        {"floating point", test::Tiff({page(1, 32, 1, 3)}), "不支援這種 TIFF 圖片(浮點數樣本"},
        {"signed", test::Tiff({page(1, 8, 1, 2)}), "不支援這種 TIFF 圖片(有號整數樣本"},
        {"subsampled YCbCr", test::Tiff({subsampled}), "次取樣 YCbCr"},
        {"CIE L*a*b*", test::Tiff({page(8, 8, 3)}), "不支援這種 TIFF 圖片(色彩空間 8"},
        {"RGB of 4 bits", test::Tiff({page(2, 4, 3)}), "每個樣本 4 位元"},
        {"grey of 32 bits", test::Tiff({page(1, 32, 1)}), "每個樣本 32 位元"},
        {"tile rows that end inside a byte", WithTag(test::Tiff({tiled}), 322, 17),
         "損壞的 TIFF 檔案(標頭損壞"},
        {"cut in half", Bytes(rgb.begin(), rgb.begin() + rgb.size() / 2),
         "損壞的 TIFF 檔案(檔案不完整"},
        {"cut after the header", Bytes(rgb.begin(), rgb.begin() + 8),
         "損壞的 TIFF 檔案(檔案不完整"},
        {"cut in the signature", Bytes(rgb.begin(), rgb.begin() + 3),
         "損壞的 TIFF 檔案(檔案不完整"},
        // A bomb: a few bytes that declare four billion pixels.
        {"declares 65536 x 65536", WithTag(WithTag(rgb, 256, 65536), 257, 65536), "圖片太大"},
        {"width 0", WithTag(rgb, 256, 0), "損壞的 TIFF 檔案"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_REFUSED(c.file, c.cause);
    }
}

std::vector<std::uint32_t> Noise(int w, int h, unsigned seed, std::uint32_t alpha) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> argb;
    for (int i = 0; i < w * h; ++i)
        argb.push_back((alpha == 0 ? rng() << 24 : alpha) | (rng() & 0xFFFFFF));
    return argb;
}

// Flat quadrants of red, green, blue and white, which lossy coding keeps near.
std::vector<std::uint32_t> Quadrants(int w, int h) {
    const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    std::vector<std::uint32_t> rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgb.push_back(0xFF000000u | colours[(2 * y / h) * 2 + 2 * x / w]);
    return rgb;
}

// JPEG's own file in a strip: shown as libtiff's own reader shows it, near what was written.
TEST_F(Formats, OldStyleJpegInTiffShowsAsLibtiffShowsIt) {
    const QImage written = Image(48, 32, Quadrants(48, 32));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(written.save(&buffer, "jpeg", 95));
    const Bytes file = test::OldJpegTiff(Bytes(jpeg.begin(), jpeg.end()), 48, 32);
    const QImage shown = Read(file);
    EXPECT_EQ(shown, Image(48, 32, test::TiffRgba(file)));
    EXPECT_LE(MostApart(shown, written, 4), 12);
}

TEST_F(Formats, WebPShowsTheColoursStoredTransparentOnesToo) {
    const auto opaque = Noise(29, 17, 1, 0xFF000000u);
    const auto seeThrough = Noise(29, 17, 2, 0);  // every alpha, 0 among them
    EXPECT_EQ(Read(test::WebP(29, 17, opaque, true)), Image(29, 17, opaque));
    EXPECT_EQ(Read(test::WebP(29, 17, seeThrough, true)), Image(29, 17, seeThrough));
    // Lossy: as libwebp itself decodes it, and near what was written.
    const auto quadrants = Quadrants(48, 32);
    for (const auto& argb : {quadrants, Noise(48, 32, 3, 0)}) {
        const Bytes lossy = test::WebP(48, 32, argb, false, 95);
        EXPECT_EQ(Read(lossy), Image(48, 32, test::WebPDecoded(lossy)));
    }
    EXPECT_LE(
        MostApart(Read(test::WebP(48, 32, quadrants, false, 95)), Image(48, 32, quadrants), 4), 12);
    // Animated: the first frame.
    const auto second = Noise(29, 17, 4, 0xFF000000u);
    EXPECT_EQ(Read(test::AnimatedWebP(29, 17, {opaque, second})), Image(29, 17, opaque));

    const Bytes file = test::WebP(29, 17, opaque, true);
    EXPECT_REFUSED(Bytes(file.begin(), file.begin() + file.size() / 2), "損壞的 WebP 檔案");
    EXPECT_REFUSED(Bytes(file.begin(), file.begin() + 11), "損壞的 WebP 檔案");
    Bytes scrambled = file;
    for (size_t i = 30; i < scrambled.size(); ++i)
        scrambled[i] = static_cast<std::uint8_t>(i * 37);
    EXPECT_REFUSED(scrambled, "損壞的 WebP 檔案");
}

// Read in bands, fed a piece at a time to libwebp's incremental decoder: the rows of the whole
// picture, and a file cut short refused as one.
TEST_F(Formats, WebPInBandsIsTheWholePicture) {
    const auto noise = Noise(700, 500, 10, 0xFF000000u);
    for (const bool lossless : {true, false}) {
        SCOPED_TRACE(lossless ? "lossless" : "lossy");
        const Bytes bytes = test::WebP(700, 500, noise, lossless, lossless ? 0 : 100);
        ASSERT_GT(bytes.size(), 300'000u) << "more than one piece";
        const PictureFile file(Write("big.webp", bytes));
        QImage joined(700, 500, QImage::Format_RGB32);
        int next = 0;
        file.DecodeBands(Picture::kReadLimitPixels, 16, [&](const QImage& band, int top) {
            EXPECT_EQ(top, next);
            for (int y = 0; y < band.height(); ++y)
                std::memcpy(joined.scanLine(top + y), band.constScanLine(y), 700 * 4);
            next += band.height();
            return true;
        });
        EXPECT_EQ(next, 500);
        EXPECT_EQ(joined, file.Decode(Picture::kReadLimitPixels));
        const PictureFile cut(Write("cut.webp", Bytes(bytes.begin(), bytes.end() - 1000)));
        try {
            cut.DecodeBands(Picture::kReadLimitPixels, 16, [](const QImage&, int) { return true; });
            ADD_FAILURE() << "read";
        } catch (const PictureError& e) {
            EXPECT_NE(texts::Describe(e).indexOf(QStringLiteral("損壞的 WebP 檔案(檔案不完整")), -1)
                << texts::Describe(e).toStdString();
        }
    }
}

// A complete GIF of an 8 x 8 picture of indices 0 to 3 whose LZW codes are codeSize + 1 bits
// wide: each of its first pixels a code of its own, between a clear code and the end code.
Bytes WideCodeGif(int codeSize, int pixels = 64) {
    Bytes file = {'G', 'I', 'F', '8', '9', 'a', 8, 0, 8, 0, 0x81, 0, 0};
    for (const std::uint8_t c : {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255})
        file.push_back(c);
    for (const std::uint8_t c : {0x2C, 0, 0, 0, 0, 8, 0, 8, 0, 0})
        file.push_back(c);
    file.push_back(static_cast<std::uint8_t>(codeSize));
    std::vector<int> codes = {1 << codeSize};
    for (int i = 0; i < pixels; ++i)
        codes.push_back(i * 7 % 4);
    codes.push_back((1 << codeSize) + 1);
    Bytes data;
    std::uint32_t bits = 0;
    int count = 0;
    for (const int code : codes) {
        bits |= static_cast<std::uint32_t>(code) << count;
        for (count += codeSize + 1; count >= 8; count -= 8, bits >>= 8)
            data.push_back(static_cast<std::uint8_t>(bits));
    }
    if (count > 0)
        data.push_back(static_cast<std::uint8_t>(bits));
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data.size() - at);
        file.push_back(static_cast<std::uint8_t>(n));
        file.insert(file.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                    data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    file.push_back(0);
    file.push_back(0x3B);
    return file;
}

TEST_F(Formats, GifShowsItsFirstFrameOnItsScreen) {
    const std::vector<std::uint32_t> global = {0x102030, 0xFF8000, 0x00FFFF, 0x808080};
    const std::vector<std::uint32_t> local = {0xFFFFFF, 0x000000};
    std::mt19937 rng(5);
    const auto indices = [&rng](int w, int h, int n) {
        std::vector<std::uint8_t> out;
        for (int i = 0; i < w * h; ++i)
            out.push_back(static_cast<std::uint8_t>(rng() % n));
        return out;
    };
    const auto frame = [](int left, int top, int w, int h, std::vector<std::uint8_t> is) {
        GifFrame f;
        f.left = left;
        f.top = top;
        f.width = w;
        f.height = h;
        f.indices = std::move(is);
        return f;
    };
    GifFrame whole = frame(0, 0, 19, 13, indices(19, 13, 4));
    GifFrame interlaced = whole;
    interlaced.interlaced = true;
    GifFrame ownMap = frame(0, 0, 19, 13, indices(19, 13, 2));
    ownMap.localMap = local;
    GifFrame transparent = whole;
    transparent.transparent = 2;
    const GifFrame inside = frame(3, 2, 7, 9, indices(7, 9, 4));
    // Interlaced past the screen's right and bottom: only what shows is kept.
    GifFrame beyond = frame(12, 5, 20, 16, indices(20, 16, 4));
    beyond.interlaced = true;
    const struct {
        const char* name;
        std::vector<std::uint32_t> global;
        std::vector<GifFrame> frames;
    } cases[] = {
        {"the screen's map", global, {whole}},
        {"interlaced", global, {interlaced}},
        {"its own map", global, {ownMap}},
        {"its own map only", {}, {ownMap}},
        {"a transparent colour", global, {transparent}},
        {"inside the screen", global, {inside}},
        {"the first of two", global, {inside, whole}},
        {"interlaced past the screen", global, {beyond}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GifFrame& f = c.frames.front();
        const auto& map = f.localMap.empty() ? c.global : f.localMap;
        // The background, the screen map's entry 3, where the frame does not reach.
        QImage expected(19, 13, QImage::Format_RGB32);
        expected.fill(c.global.empty() ? qRgb(0, 0, 0) : 0xFF000000u | c.global[3]);
        for (int y = 0; y < f.height && f.top + y < 13; ++y)
            for (int x = 0; x < f.width && f.left + x < 19; ++x)
                expected.setPixel(
                    f.left + x, f.top + y,
                    0xFF000000u | map[f.indices[static_cast<size_t>(y) * f.width + x]]);
        EXPECT_EQ(Read(test::Gif(19, 13, c.global, 3, c.frames)), expected);
    }
    const Bytes file = test::Gif(19, 13, global, 3, {whole});
    EXPECT_REFUSED(Bytes(file.begin(), file.begin() + file.size() / 2), "損壞的 GIF 檔案");
    EXPECT_REFUSED(Bytes(file.begin(), file.begin() + 4), "損壞的 GIF 檔案");
    // No map at all: the screen's taken out, and the frame has none.
    Bytes mapless = file;
    mapless.erase(mapless.begin() + 13, mapless.begin() + 13 + 3 * (2 << (file[10] & 7)));
    mapless[10] &= 0x7F;
    EXPECT_REFUSED(mapless, "損壞的 GIF 檔案");
    // Codes of 9 bits are GIF's widest at the start; of 12 they make a whole picture giflib
    // does not read: not one cut short.
    QImage coded(8, 8, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 0, 255)};
    for (int i = 0; i < 64; ++i)
        coded.setPixel(i % 8, i / 8, colours[i * 7 % 4]);
    EXPECT_EQ(Read(WideCodeGif(8)), coded);
    EXPECT_REFUSED(WideCodeGif(11), "不支援這種 GIF 圖片(LZW 最小碼長 11");
    EXPECT_REFUSED(WideCodeGif(8, 40), "損壞的 GIF 檔案(圖片資料損壞");
}

// HEIC and AVIF: 8 and 10 bits, alpha, and the file's own rotation applied once.
TEST_F(Formats, HeicAndAvifShowThePrimaryPictureTurnedAsItsBoxesSay) {
    const auto quadrants = Quadrants(48, 32);
    const QImage stored = Image(48, 32, quadrants);
    for (const bool avif : {false, true}) {
        const char* format = avif ? "AVIF" : "HEIC";
        SCOPED_TRACE(format);
        for (const int bits : {8, 10}) {
            SCOPED_TRACE(bits);
            EXPECT_LE(MostApart(Read(test::Heif(avif, 48, 32, quadrants, bits)), stored), 12);
        }
        // Lossless: 10-bit samples to the nearest 8-bit level give back the 8-bit values they
        // were made from (libheif's 8-bit path is off by one here and there).
        const auto noise = Noise(48, 32, 6, 0xFF000000u);
        EXPECT_LE(MostApart(Read(test::Heif(avif, 48, 32, noise, 8)), Image(48, 32, noise)), 1);
        if (!avif) {
            EXPECT_EQ(Read(test::Heif(avif, 48, 32, noise, 10)), Image(48, 32, noise));
        }
        EXPECT_LE(MostApart(Read(test::Heif(avif, 48, 32, quadrants, 8, 1, true)), stored), 12)
            << "alpha";
        for (const int orientation : {3, 6, 8}) {
            SCOPED_TRACE(orientation);
            const std::string path =
                Write("turned", test::Heif(avif, 48, 32, quadrants, 8, orientation));
            const QSize size = orientation >= 5 ? QSize(32, 48) : QSize(48, 32);
            EXPECT_EQ(Picture::ReadSize(path), size);
            const QImage shown = Picture::ReadFile(path);
            ASSERT_EQ(shown.size(), size);
            for (const QPoint p : {QPoint(2, 2), QPoint(size.width() - 3, size.height() - 3)})
                EXPECT_LE(MostApart(shown.copy(QRect(p, QSize(1, 1))),
                                    stored.copy(
                                        QRect(Stored(orientation, p, stored.size()), QSize(1, 1)))),
                          12);
        }
        const Bytes file = test::Heif(avif, 48, 32, quadrants, 8);
        EXPECT_REFUSED(Bytes(file.begin(), file.begin() + file.size() / 2),
                       std::string("損壞的 ") + format + " 檔案");
        // Files libheif reads, as their codec gives them whatever their header declares.
        const auto edited = [](Bytes out, const char* box, size_t at, std::uint32_t value) {
            const size_t where = static_cast<size_t>(
                std::search(out.begin(), out.end(), box, box + 4) - out.begin());
            for (int i = 0; i < 4; ++i)
                out[where + at + static_cast<size_t>(i)] =
                    static_cast<std::uint8_t>(value >> (24 - 8 * i));
            return out;
        };
        const std::uint32_t mif2 = 'm' << 24 | 'i' << 16 | 'f' << 8 | '2';
        const std::uint32_t xspe = 'x' << 24 | 's' << 16 | 'p' << 8 | 'e';
        const struct {
            const char* name;
            Bytes file;
        } read[] = {
            {"main brand mif2", edited(file, "ftyp", 4, mif2)},
            {"no size declared", edited(file, "ispe", 0, xspe)},
            {"a smaller size declared", edited(file, "ispe", 8, 24)},
        };
        const QImage whole = Read(file);
        for (const auto& c : read) {
            SCOPED_TRACE(c.name);
            EXPECT_EQ(Read(c.file), whole);
        }
        EXPECT_REFUSED(edited(edited(file, "ispe", 8, 60000), "ispe", 12, 60000),
                       "圖片太大(60000x60000)");
    }
}

// A hand-made uncompressed TGA: 18 bytes of header, then BGR pixels.
Bytes Tga(bool footer) {
    Bytes file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 24, 0};
    // Version 2: the extension and developer areas' offsets, then the signature and its NUL.
    const std::string tail = footer ? std::string(8, '\0') + "TRUEVISION-XFILE." + '\0' : "";
    const std::string pixels(4 * 2 * 3, '\x40');
    for (const char c : pixels + tail)
        file.push_back(static_cast<std::uint8_t>(c));
    return file;
}

Bytes Text(const char* text, size_t size) {
    return Bytes(text, text + size);
}

TEST_F(Formats, EachRefusalSaysWhatTheFileIs) {
    const Bytes pngStart = Text("\x89PNG\r\n\x1A\n", 8);
    // A line end turned into another, as transfers in text mode do.
    Bytes damagedSignature = pngStart;
    damagedSignature[5] = '\r';
    damagedSignature.resize(64, 0);
    Bytes ico = Text("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x40\0\0\0\x16\0\0\0", 22);
    ico.insert(ico.end(), pngStart.begin(), pngStart.end());
    std::mt19937 rng(9);
    Bytes noise;
    for (int i = 0; i < 4096; ++i)
        noise.push_back(static_cast<std::uint8_t>(rng()));
    const QImage picture = Image(40, 30, Noise(40, 30, 8, 0xFF000000u));
    const auto encoded = [&picture](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, format);
        return Bytes(bytes.begin(), bytes.end());
    };
    // The first data chunk's checksum, after its type and length bytes of data, changed.
    Bytes badCrc = encoded("png");
    const char idat[] = "IDAT";
    const auto type = static_cast<size_t>(
        std::search(badCrc.begin(), badCrc.end(), idat, idat + 4) - badCrc.begin());
    const size_t length = static_cast<size_t>(badCrc[type - 4]) << 24 | badCrc[type - 3] << 16 |
                          badCrc[type - 2] << 8 | badCrc[type - 1];
    badCrc[type + 4 + length] ^= 0x55;
    Bytes qng = encoded("png");
    qng[1] = 'Q';
    const Bytes jpeg = encoded("jpeg");
    // Bytes that are no marker between the first segment and the next.
    Bytes strayBytes = jpeg;
    strayBytes.insert(strayBytes.begin() + 4 + (jpeg[4] << 8 | jpeg[5]), {0x12, 0x34, 0x56});
    // Bombs: a few bytes that declare hundreds of megapixels. A lossless WebP's header holds
    // 14 bits of width - 1 and of height - 1.
    Bytes webpBomb = test::WebP(9, 6, Noise(9, 6, 1, 0xFF000000u), true);
    test::PutLe32(webpBomb, 21, 0x0FFFFFFFu);
    GifFrame dot;
    dot.width = dot.height = 1;
    dot.indices = {1};
    const Bytes gifBomb = test::Gif(65535, 65535, {0, 0xFFFFFF}, 0, {dot});
    const struct {
        const char* name;
        Bytes file;
        const char* cause;
    } cases[] = {
        {"TGA", Tga(false), "不支援 TGA 格式的圖片"},
        {"TGA 2", Tga(true), "不支援 TGA 格式的圖片"},
        {"ICO", ico, "不支援 ICO 格式的圖片"},
        {"JPEG XL", Text("\xFF\x0A\xFA\x7F\x01\x90\x08", 7), "不支援 JPEG XL 格式的圖片"},
        {"JPEG XL in a box", Text("\0\0\0\x0CJXL \r\n\x87\n\0\0\0\x14", 16), "JPEG XL"},
        {"JPEG 2000", Text("\0\0\0\x0CjP  \r\n\x87\n\0\0\0\x14", 16), "不支援 JPEG 2000"},
        {"PSD", Text("8BPS\0\1\0\0\0\0\0\0\0\3", 14), "不支援 PSD 格式的圖片"},
        {"two bytes of JPEG", Text("\xFF\xD8", 2), "損壞的 JPEG 檔案(檔案不完整"},
        {"PNG of a damaged signature", damagedSignature, "損壞的 PNG 檔案"},
        {"PNG of a damaged first letter", qng, "損壞的 PNG 檔案(標頭損壞"},
        {"PNG of a bad checksum", badCrc, "損壞的 PNG 檔案(檢查碼不符)"},
        {"JPEG cut in half", Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2),
         "損壞的 JPEG 檔案(檔案不完整"},
        {"JPEG of stray bytes in its header", strayBytes, "損壞的 JPEG 檔案(標頭損壞"},
        {"PNG cut in its signature", Text("\x89PNG\r", 5), "損壞的 PNG 檔案(檔案不完整"},
        {"WebP of 16384 x 16384", webpBomb, "圖片太大"},
        {"GIF of 65535 x 65535", gifBomb, "圖片太大"},
        // A RIFF container's header says nothing of its form: WAV and AVI begin so too.
        {"a RIFF header alone", Text("RIFF\x04\0\0\0", 8), "不是可讀取的圖片"},
        {"noise", noise, "不是可讀取的圖片"},
        {"text", Text("hello, world\n", 13), "不是可讀取的圖片"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_REFUSED(c.file, c.cause);
    }
}

}  // namespace
}  // namespace colorsplit
