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

constexpr int kSide = 16;

// Random colours; with flat, in blocks of 4 x 4 pixels, which JPEG keeps.
std::vector<std::uint32_t> Colours(bool grey, bool flat = false) {
    std::mt19937 rng(7);
    std::vector<std::uint32_t> blocks(4 * 4), rgb;
    for (std::uint32_t& c : blocks)
        c = rng() & 0xFFFFFF;
    for (int i = 0; i < kSide * kSide; ++i) {
        const std::uint32_t c =
            flat ? blocks[(i / kSide / 4) * 4 + i % kSide / 4] : rng() & 0xFFFFFF;
        rgb.push_back(grey ? (c & 0xFF) * 0x010101 : c);
    }
    return rgb;
}

// kSide pixels wide.
QImage Image(const std::vector<std::uint32_t>& rgb) {
    const int n = static_cast<int>(rgb.size());
    QImage image(kSide, n / kSide, QImage::Format_RGB32);
    for (int i = 0; i < n; ++i)
        image.setPixel(i % kSide, i / kSide, 0xFF000000u | rgb[static_cast<size_t>(i)]);
    return image;
}

Bytes Jpeg(const std::vector<std::uint32_t>& rgb, bool grey) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    writer.write(grey ? Image(rgb).convertToFormat(QImage::Format_Grayscale8) : Image(rgb));
    return {bytes.begin(), bytes.end()};
}

// An 8-bit page of samples, as TIFF numbers photometric interpretations.
test::TiffPage Page(int photometric, int samples, const std::vector<std::uint8_t>& values,
                    const Bytes& icc) {
    test::TiffPage page;
    page.width = page.height = kSide;
    page.photometric = photometric;
    page.samples = samples;
    page.values.assign(values.begin(), values.end());
    page.icc = icc;
    return page;
}

// A picture's pixels as samples of the profile's colour space: R, G, B, or grey.
std::vector<std::uint8_t> Samples(const QImage& image, bool grey) {
    std::vector<std::uint8_t> samples;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            for (const int shift : grey ? std::vector<int>{8} : std::vector<int>{16, 8, 0})
                samples.push_back(static_cast<std::uint8_t>(image.pixel(x, y) >> shift));
    return samples;
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
                cmyk = test::Profile(Icc::kCmyk), broken = test::BrokenProfile();
    const Bytes proPhoto = test::Profile(Icc::kProPhoto);
    const auto rgb = Colours(false), greys = Colours(true);
    // Any four samples of the colours make inks.
    std::vector<std::uint8_t> inks = Samples(Image(rgb), false);
    inks.resize(4 * kSide * kSide);
    const std::uint8_t left[4] = {20, 200, 90, 230}, right[4] = {250, 60, 128, 180};
    const Bytes cmykJpeg = test::WithJpegIcc(test::CmykJpeg(left, right, true), cmyk);
    std::vector<std::uint8_t> jpegInks = test::CmykSamples(cmykJpeg);
    for (std::uint8_t& ink : jpegInks)
        ink = static_cast<std::uint8_t>(255 - ink);  // Adobe's inverted inks
    Bytes splitProfile = test::WithJpegIcc(Jpeg(rgb, false), adobe);
    splitProfile[19] = 2;  // part 1 of 2, and no part 2
    const Bytes bmp = test::MakeSample({"V5 24-bit", 124, 24}, kSide, kSide, 3).bytes;
    Bytes bmpPastEnd = test::WithBmpIcc(bmp, adobe);
    bmpPastEnd.resize(bmpPastEnd.size() - 1);
    const auto png = [&](const Bytes& icc) { return test::Png8(kSide, kSide, false, rgb, icc); };
    const auto jpeg = [&](const Bytes& icc) { return test::WithJpegIcc(Jpeg(rgb, false), icc); };
    const auto avif = [&](std::array<int, 2> nclx) {
        return test::Heif(true, kSide, kSide, rgb, 8, 1, false, {}, nclx);
    };
    const Bytes srgb = test::Profile(Icc::kSrgb), srgbV2 = test::Profile(Icc::kSrgbV2),
                falseSrgb = test::Profile(Icc::kFalseSrgb), p3 = test::Profile(Icc::kDisplayP3),
                d50 = test::Profile(Icc::kD50Srgb);
    struct Case {
        const char* name;
        Bytes file;
        Kind kind;
        Bytes icc;                               // the conversion expected; none: stored pixels
        std::vector<std::uint32_t> stored;       // what lossless files hold
        std::vector<std::uint8_t> samples = {};  // what it converts; none: the stored pixels
    };
    const Case cases[] = {
        {"PNG Adobe RGB", png(adobe), Kind::kApplied, adobe, rgb},
        {"PNG ProPhoto", png(proPhoto), Kind::kApplied, proPhoto, rgb},
        {"PNG grey", test::Png8(kSide, kSide, true, greys, grey), Kind::kApplied, grey, greys},
        {"PNG broken", png(broken), Kind::kBroken, {}, rgb},
        {"PNG none", png({}), Kind::kNone, {}, rgb},
        {"PNG sRGB chunk", test::Png8(kSide, kSide, false, rgb, {}, true), Kind::kNone, {}, rgb},
        {"PNG sRGB v4", png(srgb), Kind::kSrgb, {}, rgb},
        {"PNG sRGB v2", png(srgbV2), Kind::kSrgb, {}, rgb},
        {"PNG sRGB by name only", png(falseSrgb), Kind::kApplied, falseSrgb, rgb},
        {"PNG sRGB for a D50 white", png(d50), Kind::kApplied, d50, rgb},
        {"JPEG Adobe RGB", jpeg(adobe), Kind::kApplied, adobe, {}},
        {"JPEG grey", test::WithJpegIcc(Jpeg(greys, true), grey), Kind::kApplied, grey, {}},
        {"JPEG YCCK", cmykJpeg, Kind::kApplied, cmyk, {}, jpegInks},
        {"JPEG broken", jpeg(broken), Kind::kBroken, {}, {}},
        {"JPEG profile cut", splitProfile, Kind::kBroken, {}, {}},
        {"JPEG grey profile for RGB", jpeg(grey), Kind::kUnsuitable, {}, {}},
        {"TIFF ProPhoto", test::Tiff({Page(2, 3, Samples(Image(rgb), false), proPhoto)}),
         Kind::kApplied, proPhoto, rgb},
        {"TIFF grey", test::Tiff({Page(1, 1, Samples(Image(greys), true), grey)}), Kind::kApplied,
         grey, greys},
        {"TIFF CMYK", test::Tiff({Page(5, 4, inks, cmyk)}), Kind::kApplied, cmyk, {}, inks},
        {"WebP Adobe RGB", test::WithWebPIcc(test::WebP(kSide, kSide, rgb, true), adobe),
         Kind::kApplied, adobe, rgb},
        {"HEIC Adobe RGB", test::Heif(false, kSide, kSide, rgb, 8, 1, false, adobe), Kind::kApplied,
         adobe, rgb},
        {"AVIF nclx Display P3", avif({12, 13}), Kind::kApplied, p3, rgb},
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
        const QImage stored = off.Decode(Picture::kReadLimitPixels);
        if (!c.stored.empty()) {
            EXPECT_EQ(stored, Image(c.stored));
        }
        const bool greyIcc = c.icc == grey;
        const QImage expected =
            c.icc.empty() ? stored
                          : Image(test::ToSrgb(
                                c.icc, c.samples.empty() ? Samples(stored, greyIcc) : c.samples));
        EXPECT_EQ(on.Decode(Picture::kReadLimitPixels), expected);
        EXPECT_EQ(off.Profile().kind, c.kind == Kind::kApplied ? Kind::kOff : c.kind);
    }
}

// A profile's description names it; a band-converted picture (a reduced copy's, a full-size
// export's) is the whole-converted one, band by band.
TEST_F(Profiles, BandsAreConvertedAsTheWholePicture) {
    const auto rgb = Colours(false);
    const std::uint8_t left[4] = {20, 200, 90, 230}, right[4] = {250, 60, 128, 180};
    const Bytes adobe = test::Profile(Icc::kAdobeRgb);
    for (const Bytes& file :
         {test::Png8(kSide, kSide, false, rgb, adobe), test::WithJpegIcc(Jpeg(rgb, false), adobe),
          test::WithJpegIcc(test::CmykJpeg(left, right, false), test::Profile(Icc::kCmyk)),
          test::WithWebPIcc(test::WebP(kSide, kSide, rgb, true), adobe)}) {
        const PictureFile picture(Write(file));
        EXPECT_EQ(picture.Profile().kind, Kind::kApplied);
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
    EXPECT_EQ(PictureFile(Write(test::Png8(kSide, kSide, false, rgb, adobe))).Profile().description,
              QStringLiteral("Adobe RGB (1998)"));
}

// Little CMS's own programs, -t1 -b, within a level; and they did convert.
TEST_F(Profiles, AgreeWithTificcAndJpgicc) {
    const auto rgb = Colours(false, true);
    const struct {
        const char* program;
        Bytes file;
    } judges[] = {
        {"tificc",
         test::Tiff({Page(2, 3, Samples(Image(rgb), false), test::Profile(Icc::kAdobeRgb))})},
        {"jpgicc", test::WithJpegIcc(Jpeg(rgb, false), test::Profile(Icc::kProPhoto))}};
    for (const auto& judge : judges) {
        SCOPED_TRACE(judge.program);
        const std::string in = Write(judge.file), out = in + ".out";
        QProcess run;
        // jpgicc writes a JPEG again: at its best.
        const QStringList best =
            judge.program == std::string("jpgicc") ? QStringList{"-q100"} : QStringList{};
        run.start(judge.program, best + QStringList{"-t1", "-b", QString::fromStdString(in),
                                                    QString::fromStdString(out)});
        ASSERT_TRUE(run.waitForFinished() && run.exitCode() == 0) << run.readAll().toStdString();
        const QImage ours = Picture::ReadFile(in), theirs = Picture::ReadFile(out);
        EXPECT_NE(theirs, PictureFile(in, false).Decode(Picture::kReadLimitPixels));
        ASSERT_EQ(ours.size(), theirs.size());
        for (int i = 0; i < kSide * kSide; ++i)
            for (const int shift : {16, 8, 0}) {
                const auto level = [&](const QImage& p) {
                    return static_cast<int>(p.pixel(i % kSide, i / kSide) >> shift & 0xFF);
                };
                ASSERT_LE(std::abs(level(ours) - level(theirs)), 1) << i;
            }
    }
}

}  // namespace
}  // namespace colorsplit
