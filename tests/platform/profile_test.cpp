// Embedded colour profiles, format by format: the pixels against Little CMS's own conversion of
// the stored ones, and against its programs; turned off, sRGB or none, the stored ones.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <random>

#include "platform/picture.h"
#include "platform/reduce.h"
#include "support/bmp_builder.h"
#include "support/library_files.h"
#include "support/other_files.h"
#include "support/profiles.h"

namespace colorsplit {
namespace {

using test::Bytes;
using test::Icc;
using Kind = ProfileUse::Kind;
using Colours = std::vector<std::uint32_t>;

constexpr int kSide = 16;

// Random colours, or greys; with blocks, in blocks of 4 x 4 pixels, which JPEG keeps.
Colours Random(bool grey, bool blocks = false) {
    std::mt19937 rng(7);
    Colours block(16), rgb;
    for (std::uint32_t& c : block)
        c = rng() & 0xFFFFFF;
    for (int i = 0; i < kSide * kSide; ++i) {
        const std::uint32_t c = blocks ? block[i / kSide / 4 * 4 + i % kSide / 4] : rng();
        rgb.push_back(grey ? (c & 0xFF) * 0x010101 : c & 0xFFFFFF);
    }
    return rgb;
}

// kSide pixels a row.
QImage Image(const Colours& rgb) {
    QImage image(kSide, static_cast<int>(rgb.size()) / kSide, QImage::Format_RGB32);
    for (size_t i = 0; i < rgb.size(); ++i)
        image.setPixel(static_cast<int>(i) % kSide, static_cast<int>(i) / kSide,
                       0xFF000000u | rgb[i]);
    return image;
}

// A picture's pixels as samples: R, G, B, or grey.
std::vector<std::uint8_t> Samples(const QImage& image, bool grey) {
    std::vector<std::uint8_t> samples;
    for (int i = 0; i < image.width() * image.height(); ++i)
        for (int shift = grey ? 8 : 16; shift >= (grey ? 8 : 0); shift -= 8)
            samples.push_back(
                static_cast<std::uint8_t>(image.pixel(i % kSide, i / kSide) >> shift));
    return samples;
}

Bytes Jpeg(const Colours& rgb, bool grey) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    writer.write(grey ? Image(rgb).convertToFormat(QImage::Format_Grayscale8) : Image(rgb));
    return {bytes.begin(), bytes.end()};
}

// An 8-bit TIFF of samples, photometric as TIFF numbers them.
Bytes Tiff(int photometric, int samples, const std::vector<std::uint8_t>& values,
           const Bytes& icc) {
    test::TiffPage page;
    page.width = page.height = kSide;
    page.photometric = photometric;
    page.samples = samples;
    page.values.assign(values.begin(), values.end());
    page.icc = icc;
    return test::Tiff({page});
}

class Profiles : public ::testing::Test {
protected:
    std::string Write(const Bytes& bytes) {
        const std::string path = dir_.filePath(QString::number(++files_)).toStdString();
        test::WriteFile(path, bytes);
        return path;
    }
    QTemporaryDir dir_;
    int files_ = 0;
};

TEST_F(Profiles, PixelsAreLittleCmsConversionOfTheStoredOnes) {
    const Bytes adobe = test::Profile(Icc::kAdobeRgb), grey = test::Profile(Icc::kGrey),
                cmyk = test::Profile(Icc::kCmyk), proPhoto = test::Profile(Icc::kProPhoto),
                falseSrgb = test::Profile(Icc::kFalseSrgb), d50 = test::Profile(Icc::kD50Srgb),
                gamma22 = test::Profile(Icc::kGamma22);
    const Colours rgb = Random(false), greys = Random(true);
    std::vector<std::uint8_t> inks = Samples(Image(rgb), false);
    inks.resize(4 * kSide * kSide);
    const std::uint8_t left[4] = {20, 200, 90, 230}, right[4] = {250, 60, 128, 180};
    const Bytes ycck = test::WithJpegIcc(test::CmykJpeg(left, right, true), cmyk);
    std::vector<std::uint8_t> ycckInks = test::CmykSamples(ycck);
    for (std::uint8_t& ink : ycckInks)
        ink = static_cast<std::uint8_t>(255 - ink);  // Adobe's inverted inks
    Bytes cut = test::WithJpegIcc(Jpeg(rgb, false), adobe);
    cut[19] = 2;  // part 1 of 2, and no part 2
    const Bytes bmp = test::MakeSample({"V5 24-bit", 124, 24}, kSide, kSide, 3).bytes;
    Bytes bmpPastEnd = test::WithBmpIcc(bmp, adobe);
    bmpPastEnd.pop_back();
    const auto png = [&](const Bytes& icc) { return test::Png8(kSide, kSide, false, rgb, icc); };
    const auto avif = [&](std::array<int, 2> nclx) {
        return test::Heif(true, kSide, kSide, rgb, 8, 1, false, {}, nclx);
    };
    const struct {
        const char* name;
        Bytes file;
        Kind kind;
        Bytes icc;                               // the conversion expected; none: the stored pixels
        Colours stored;                          // what lossless files hold
        std::vector<std::uint8_t> samples = {};  // what it converts; none: the stored pixels
    } cases[] = {
        {"PNG Adobe RGB", png(adobe), Kind::kApplied, adobe, rgb},
        {"PNG grey", test::Png8(kSide, kSide, true, greys, grey), Kind::kApplied, grey, greys},
        {"PNG broken", png(test::BrokenProfile()), Kind::kBroken, {}, rgb},
        {"PNG none", png({}), Kind::kNone, {}, rgb},
        {"PNG sRGB chunk", test::Png8(kSide, kSide, false, rgb, {}, true), Kind::kNone, {}, rgb},
        {"PNG sRGB v4", png(test::Profile(Icc::kSrgb)), Kind::kSrgb, {}, rgb},
        {"PNG sRGB v2", png(test::Profile(Icc::kSrgbV2)), Kind::kSrgb, {}, rgb},
        {"PNG sRGB by name only", png(falseSrgb), Kind::kApplied, falseSrgb, rgb},
        {"PNG sRGB for a D50 white", png(d50), Kind::kApplied, d50, rgb},
        {"PNG sRGB of gamma 2.2", png(gamma22), Kind::kApplied, gamma22, rgb},
        {"JPEG Adobe RGB", test::WithJpegIcc(Jpeg(rgb, false), adobe), Kind::kApplied, adobe, {}},
        {"JPEG grey", test::WithJpegIcc(Jpeg(greys, true), grey), Kind::kApplied, grey, {}},
        {"JPEG YCCK", ycck, Kind::kApplied, cmyk, {}, ycckInks},
        {"JPEG profile cut", cut, Kind::kBroken, {}, {}},
        {"JPEG grey profile, RGB",
         test::WithJpegIcc(Jpeg(rgb, false), grey),
         Kind::kUnsuitable,
         {},
         {}},
        {"TIFF ProPhoto", Tiff(2, 3, Samples(Image(rgb), false), proPhoto), Kind::kApplied,
         proPhoto, rgb},
        {"TIFF grey", Tiff(1, 1, Samples(Image(greys), true), grey), Kind::kApplied, grey, greys},
        {"TIFF CMYK", Tiff(5, 4, inks, cmyk), Kind::kApplied, cmyk, {}, inks},
        {"WebP Adobe RGB", test::WithWebPIcc(test::WebP(kSide, kSide, rgb, true), adobe),
         Kind::kApplied, adobe, rgb},
        {"HEIC Adobe RGB", test::Heif(false, kSide, kSide, rgb, 8, 1, false, adobe), Kind::kApplied,
         adobe, rgb},
        {"AVIF nclx Display P3", avif({12, 13}), Kind::kApplied, test::Profile(Icc::kDisplayP3),
         rgb},
        {"AVIF nclx sRGB", avif({1, 13}), Kind::kSrgb, {}, rgb},
        {"AVIF nclx PQ", avif({9, 16}), Kind::kUnsuitable, {}, rgb},
        {"BMP V5 Adobe RGB", test::WithBmpIcc(bmp, adobe), Kind::kApplied, adobe, {}},
        {"BMP V5 profile past the end", bmpPastEnd, Kind::kBroken, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write(c.file);
        const PictureFile on(path), off(path, false);
        EXPECT_EQ(on.Profile().kind, c.kind);
        EXPECT_EQ(off.Profile().kind, c.kind == Kind::kApplied ? Kind::kOff : c.kind);
        const QImage stored = off.Decode(Picture::kReadLimitPixels);
        if (!c.stored.empty()) {
            EXPECT_EQ(stored, Image(c.stored));
        }
        const std::vector<std::uint8_t> samples =
            c.samples.empty() ? Samples(stored, c.icc == grey) : c.samples;
        EXPECT_EQ(on.Decode(Picture::kReadLimitPixels),
                  c.icc.empty() ? stored : Image(test::ToSrgb(c.icc, samples)));
    }
    EXPECT_EQ(PictureFile(Write(png(adobe))).Profile().description, "Adobe RGB (1998)");
}

// A band-converted picture (a reduced copy's, a full-size export's) is the whole-converted one.
TEST_F(Profiles, BandsAreConvertedAsTheWholePicture) {
    const Colours rgb = Random(false);
    const std::uint8_t left[4] = {20, 200, 90, 230}, right[4] = {250, 60, 128, 180};
    const Bytes adobe = test::Profile(Icc::kAdobeRgb);
    for (const Bytes& file :
         {test::Png8(kSide, kSide, false, rgb, adobe), test::WithJpegIcc(Jpeg(rgb, false), adobe),
          test::WithJpegIcc(test::CmykJpeg(left, right, false), test::Profile(Icc::kCmyk)),
          test::WithWebPIcc(test::WebP(kSide, kSide, rgb, true), adobe)}) {
        const PictureFile picture(Write(file));
        const QImage whole = picture.Decode(Picture::kReadLimitPixels);
        QImage banded(whole.size(), QImage::Format_RGB32);
        picture.DecodeBands(Picture::kReadLimitPixels, 3, [&](const QImage& band, int top) {
            for (int y = 0; y < band.height(); ++y)
                std::memcpy(banded.scanLine(top + y), band.constScanLine(y), whole.width() * 4);
            return true;
        });
        EXPECT_EQ(banded, whole);
        EXPECT_EQ(ReducedCopy(
                      picture, {5, 3}, Picture::kReadLimitPixels, [](int, int) { return true; }, 2),
                  Reduce(whole, {5, 3}));
    }
}

// Little CMS's own programs, -t1 -b, within a level; and they did convert.
TEST_F(Profiles, AgreeWithTificcAndJpgicc) {
    const Colours rgb = Random(false, true);
    const struct {
        const char* program;
        Bytes file;
    } judges[] = {{"tificc", Tiff(2, 3, Samples(Image(rgb), false), test::Profile(Icc::kAdobeRgb))},
                  {"jpgicc", test::WithJpegIcc(Jpeg(rgb, false), test::Profile(Icc::kProPhoto))}};
    for (const auto& judge : judges) {
        SCOPED_TRACE(judge.program);
        const std::string in = Write(judge.file), out = in + ".out";
        // jpgicc writes a JPEG again: at its best.
        const QStringList best =
            judge.program == std::string("jpgicc") ? QStringList{"-q100"} : QStringList{};
        QProcess run;
        run.start(judge.program, best + QStringList{"-t1", "-b", QString::fromStdString(in),
                                                    QString::fromStdString(out)});
        ASSERT_TRUE(run.waitForFinished() && run.exitCode() == 0) << run.readAll().toStdString();
        const QImage ours = Picture::ReadFile(in), theirs = Picture::ReadFile(out);
        EXPECT_NE(theirs, PictureFile(in, false).Decode(Picture::kReadLimitPixels));
        ASSERT_EQ(ours.size(), theirs.size());
        for (int i = 0; i < kSide * kSide * 3; ++i) {
            const QRgb a = ours.pixel(i / 3 % kSide, i / 3 / kSide),
                       b = theirs.pixel(i / 3 % kSide, i / 3 / kSide);
            ASSERT_LE(std::abs(int(a >> 8 * (i % 3) & 0xFF) - int(b >> 8 * (i % 3) & 0xFF)), 1)
                << i / 3;
        }
    }
}

}  // namespace
}  // namespace colorsplit
