#include "platform/picture.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/orientation.h"
#include "platform/palette.h"
#include "platform/picture_error.h"
#include "platform/picture_formats.h"
#include "platform/reduce.h"
#include "platform/safe_file.h"
#include "session/texts.h"
#include "support/bmp_builder.h"
#include "support/library_files.h"
#include "support/malformed.h"
#include "support/other_files.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace colorsplit {
namespace {

using test::BmpCompression;
using test::EncodeBmp;
using test::RgbImage;
using test::WriteFile;

// Components from {0, 128, 248} survive every variant, 5-bit channels included.
RgbImage TestImage(int w, int h, int colours, unsigned seed) {
    static const std::uint32_t levels[] = {0, 128, 248};
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < 27 && static_cast<int>(palette.size()) < colours; ++i)
        palette.push_back(levels[i % 3] << 16 | levels[(i / 3) % 3] << 8 | levels[i / 9]);
    RgbImage image{w, h, {}};
    std::mt19937 rng(seed);
    for (int i = 0; i < w * h; ++i)
        image.rgb.push_back(palette[rng() % palette.size()]);
    return image;
}

TColor Expected(const RgbImage& image, int x, int y) {
    const std::uint32_t c = image.at(x, y);
    return PackColor(c >> 16, (c >> 8) & 0xFF, c & 0xFF);
}

class PictureFiles : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        WriteFile(Path(name), bytes);
        return Path(name);
    }
    static std::string Slurp(const std::string& path) {
        QFile f(QString::fromStdString(path));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll().toStdString();
    }

    QTemporaryDir dir_;
};

void ExpectPixels(const Picture& picture, const RgbImage& expected) {
    ASSERT_EQ(picture.Width(), expected.width);
    ASSERT_EQ(picture.Height(), expected.height);
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            ASSERT_EQ(picture.GetPixel(x, y), Expected(expected, x, y)) << x << "," << y;
}

TEST_F(PictureFiles, EveryBmpLayoutDecodesToThePixelsItHolds) {
    for (const test::BmpLayout& layout : test::AllBmpLayouts()) {
        SCOPED_TRACE(layout.name);
        // An odd width exercises row padding and partly used bytes.
        const test::BmpSample sample = test::MakeSample(layout, 13, 7, 99);
        Picture picture;
        picture.LoadFromFile(Write("layout.bmp", sample.bytes));
        ExpectPixels(picture, sample.expected);
    }
    for (const test::RleCase& rle : test::RleCases()) {
        SCOPED_TRACE(rle.name);
        Picture picture;
        picture.LoadFromFile(Write("rle.bmp", rle.bytes));
        ExpectPixels(picture, rle.expected);
    }
}

TEST_F(PictureFiles, ChannelsOfAnyWidthScaleToTheNearestOf256Levels) {
    // Three pixels each, their words written over random ones; levels worked out by hand.
    const struct {
        test::BmpLayout layout;
        std::uint32_t words[3];
        TColor expected[3];
    } cases[] = {
        {{"5-6-5", 40, 16, 3, false, {0xF800, 0x07E0, 0x001F}},
         {0xFFFF, 0x8410, 0x0821},  // (31, 63, 31), (16, 32, 16), (1, 1, 1)
         {PackColor(255, 255, 255), PackColor(132, 130, 132), PackColor(8, 4, 8)}},
        {{"5-5-5", 40, 16},
         {0x7FFF, 0x4210, 0x0C63},  // (31, 31, 31), (16, 16, 16), (3, 3, 3)
         {PackColor(255, 255, 255), PackColor(132, 132, 132), PackColor(25, 25, 25)}},
        {{"10-10-10", 40, 32, 3, false, {0x3FF00000, 0x000FFC00, 0x000003FF}},
         {0xFFFFFFFF, 512u << 20 | 2u << 10 | 1, 1023u << 20},
         {PackColor(255, 255, 255), PackColor(128, 0, 0), PackColor(255, 0, 0)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout.name);
        std::vector<std::uint8_t> bytes = test::MakeSample(c.layout, 3, 1, 5).bytes;
        const int size = c.layout.bpp / 8;
        const size_t pixels = bytes.size() - (3 * size + 3) / 4 * 4;
        for (int x = 0; x < 3; ++x)
            for (int i = 0; i < size; ++i)
                bytes[pixels + x * size + i] = (c.words[x] >> (8 * i)) & 0xFF;
        Picture picture;
        picture.LoadFromFile(Write("levels.bmp", bytes));
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(picture.GetPixel(x, 0), c.expected[x]) << x;
    }
}

TEST_F(PictureFiles, PixelAccessOutsideThePictureReadsAllBitsSet) {
    Picture picture;
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Height(), 0);
    EXPECT_EQ(picture.GetPixel(0, 0), -1);
    picture.SetPixel(0, 0, 5);  // ignored, not a crash

    picture.LoadFromFile(Write("p.bmp", EncodeBmp(TestImage(4, 3, 5, 1), 24)));
    EXPECT_EQ(picture.GetPixel(4, 0), -1);
    EXPECT_EQ(picture.GetPixel(0, 3), -1);
    EXPECT_EQ(picture.GetPixel(-1, 0), -1);
    picture.SetPixel(3, 2, PackColor(1, 2, 3));
    EXPECT_EQ(picture.GetPixel(3, 2), PackColor(1, 2, 3));
    picture.SetPixel(1, 1, -1);
    EXPECT_EQ(picture.GetPixel(1, 1), PackColor(255, 255, 255));
}

TEST_F(PictureFiles, SavesA24BitBmpThatReadsBackTheSame) {
    const RgbImage image = TestImage(5, 4, 27, 3);
    Picture picture;
    picture.LoadFromFile(Write("in.bmp", EncodeBmp(image, 8)));
    picture.SetPixel(2, 2, 0);
    const std::string out = Path("out.picture");  // a BMP whatever the name
    picture.SaveToFile(out);

    const std::string bytes = Slurp(out);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(bytes[test::kBmpBppOffset]), 24);
    Picture back;
    back.LoadFromFile(out);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(back.GetPixel(x, y), picture.GetPixel(x, y));
    EXPECT_EQ(back.GetPixel(2, 2), 0);
}

TEST_F(PictureFiles, UnreadableFilesRaiseAnErrorNamingTheFile) {
    const std::vector<std::uint8_t> good = EncodeBmp(TestImage(8, 8, 4, 2), 24);
    std::vector<std::uint8_t> badMagic = good;
    badMagic[0] = 'X';
    const std::vector<std::uint8_t> headerOnly(good.begin(), good.begin() + 20);
    const std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o', '\n'};
    std::vector<std::uint8_t> huge = good;
    test::PutLe32(huge, test::kBmpWidthOffset, 100000);
    test::PutLe32(huge, test::kBmpHeightOffset, 100000);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {Write("empty.bmp", {}), ""},          {Write("magic.bmp", badMagic), ""},
        {Write("header.bmp", headerOnly), ""}, {Write("notes.bmp", text), ""},
        {Write("huge.bmp", huge), "太大"},     {Path("missing.bmp"), "不存在"},
        {dir_.path().toStdString(), "資料夾"},
    };
    for (const auto& [path, cause] : cases) {
        SCOPED_TRACE(path);
        Picture picture;
        try {
            picture.LoadFromFile(path);
            ADD_FAILURE() << "loaded";
        } catch (const PictureError& e) {
            const std::string message = texts::Describe(e).toStdString();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find(cause), std::string::npos) << message;
        }
        EXPECT_TRUE(picture.IsEmpty());
    }
}

TEST_F(PictureFiles, DeclaredSizeIsReadWithoutDecoding) {
    std::vector<std::uint8_t> bytes = EncodeBmp(TestImage(8, 8, 4, 2), 24);
    test::PutLe32(bytes, test::kBmpWidthOffset, 1281);
    const QSize size = Picture::ReadSize(Write("wide.bmp", bytes));
    EXPECT_EQ(size, QSize(1281, 8));
}

TEST_F(PictureFiles, FailedSaveLeavesTheOldFileIntact) {
    Picture picture;
    picture.LoadFromFile(Write("in.bmp", EncodeBmp(TestImage(4, 4, 4, 2), 24)));
    const std::string old = Write("old.bmp", {'k', 'e', 'e', 'p'});

    EXPECT_THROW(picture.SaveToFile(Path("no/such/folder/x.bmp")), PictureError);
    EXPECT_THROW(picture.SaveToFile(dir_.path().toStdString()), PictureError);
    EXPECT_THROW(picture.SaveToFile("/dev/full"), PictureError);

    std::filesystem::permissions(old, std::filesystem::perms::owner_read);
    EXPECT_THROW(picture.SaveToFile(old), PictureError);
    EXPECT_EQ(Slurp(old), "keep");

    Picture empty;
    EXPECT_THROW(empty.SaveToFile(Path("nothing.bmp")), PictureError);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("nothing.bmp"))));
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Palette files as people write them: GIMP's own, by hand with odd spacing, line ends and
// names, lists of hex colours with names or without; a malformed one refused whole, naming its
// line, whether it is read for seeds or for inks.
TEST_F(PictureFiles, PalettesAsPeopleWriteThem) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::uint32_t> colours;  // 0xRRGGBB
        int badLine;                         // 0 when it reads
        std::vector<std::string> inks;       // the names read as inks
    } cases[] = {
        {"GIMP's own",
         "GIMP Palette\nName: Bears\nColumns: 16\n#\n  0   0   0\tBlack\n255 255 255\tWhite\n"
         " 75 122 211\tcolor1 #4B7AD3\n",
         {0x000000, 0xFFFFFF, 0x4B7AD3},
         0,
         {"Black", "White", "color1 #4B7AD3"}},
        {"by hand",
         "GIMP Palette\r\n# leaves\r\n\r\n12\t34 56 dark   green \r\n  200  1 2  紅色\r\n9 9 9",
         {0x0C2238, 0xC80102, 0x090909},
         0,
         {"dark   green", "紅色", "#090909"}},
        {"no colours", "GIMP Palette\nName: empty\n", {}, 0, {}},
        {"byte order mark", "\xEF\xBB\xBFGIMP Palette\n1 2 3\n", {0x010203}, 0, {"#010203"}},
        {"hex list",
         "4B7AD3\n#face4a\n\n  42882D  \r\n",
         {0x4B7AD3, 0xFACE4A, 0x42882D},
         0,
         {"#4B7AD3", "#FACE4A", "#42882D"}},
        {"hex and names",
         "FF6C2F Orange 021 C\n#00a0e9\tBlue, \"process\"\n",
         {0xFF6C2F, 0x00A0E9},
         0,
         {"Orange 021 C", "Blue, \"process\""}},
        {"a value over 255", "GIMP Palette\n1 2 3\n256 0 0 Too red\n", {}, 3, {}},
        {"two values", "GIMP Palette\n1 2\n", {}, 2, {}},
        {"words", "GIMP Palette\nName: x\nred green blue\n", {}, 3, {}},
        {"below 0", "GIMP Palette\n-1 0 0\n", {}, 2, {}},
        {"a name after the colours", "GIMP Palette\n1 2 3\nName: late\n", {}, 3, {}},
        {"five digits", "4B7AD3\n12345\n", {}, 2, {}},
        {"seven digits", "4B7AD3\n#4B7AD31\n", {}, 2, {}},
        {"a name without a gap", "4B7AD3\nFF0000red\n", {}, 2, {}},
        {"not hex", "#GGHHII\n", {}, 1, {}},
        {"a picture", "\x89PNG\r\n\x1A\n", {}, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            Write("palette", std::vector<std::uint8_t>(c.text.begin(), c.text.end()));
        if (c.badLine == 0) {
            std::vector<TColor> expected;
            for (const std::uint32_t rgb : c.colours)
                expected.push_back(PackColor(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
            EXPECT_EQ(ReadPalette(path), expected);
            try {
                std::vector<TColor> colours;
                std::vector<std::string> names;
                for (const Ink& ink : ReadInks(path)) {
                    colours.push_back(ink.colour);
                    names.push_back(ink.name);
                }
                EXPECT_EQ(colours, expected);
                EXPECT_EQ(names, c.inks);
                // Inks are nothing without a colour.
                EXPECT_FALSE(expected.empty()) << "inks read from a file of no colour";
            } catch (const PictureError& e) {
                EXPECT_TRUE(expected.empty());
                EXPECT_EQ(e.Cause().kind, Problem::kEmptyPalette);
            }
            continue;
        }
        for (const auto action : {PictureError::Action::kSeeds, PictureError::Action::kInks}) {
            try {
                if (action == PictureError::Action::kSeeds)
                    ReadPalette(path);
                else
                    ReadInks(path);
                ADD_FAILURE() << "read";
            } catch (const PictureError& e) {
                EXPECT_EQ(e.WhatFor(), action);
                EXPECT_EQ(e.File(), path);
                EXPECT_EQ(e.Cause().a, c.badLine);
                EXPECT_TRUE(texts::Describe(e).contains(QStringLiteral("第%1行").arg(c.badLine)))
                    << texts::Describe(e).toStdString();
            }
        }
    }
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// A file replaced keeps its permissions: a private one stays private. A new one has what the
// umask leaves of 0666.
TEST_F(PictureFiles, AReplacedFileKeepsItsPermissions) {
    namespace fs = std::filesystem;
    for (const fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0755)}) {
        const std::string file = Write("private", {'o', 'l', 'd'});
        fs::permissions(file, mode);
        WriteFileSafely(file, "new", PictureError::Action::kSave);
        EXPECT_EQ(Slurp(file), "new");
        EXPECT_EQ(fs::status(file).permissions(), mode) << std::oct << static_cast<int>(mode);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    WriteFileSafely(Path("fresh"), "new", PictureError::Action::kSave);
    EXPECT_EQ(fs::status(Path("fresh")).permissions(), fs::perms(0666 & ~mask));
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

TEST_F(PictureFiles, EveryMalformedBmpIsRefusedNamingTheFileAndTheCause) {
    int refused = 0;
    for (const test::BrokenFile& broken : test::MalformedBmps()) {
        SCOPED_TRACE(broken.name);
        const std::string path = Write(broken.name + ".bmp", broken.bytes);
        Picture picture;
        try {
            picture.LoadFromFile(path);
            ADD_FAILURE() << "loaded " << picture.Width() << "x" << picture.Height();
        } catch (const PictureError& e) {
            const std::string message = texts::Describe(e).toStdString();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find(broken.cause), std::string::npos) << message;
            ++refused;
        }
        EXPECT_TRUE(picture.IsEmpty());
    }
    EXPECT_GE(refused, 50);
}

TEST_F(PictureFiles, UnreadableFileIsRefused) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their permissions";
    const std::string path = Write("locked.bmp", EncodeBmp(TestImage(4, 4, 4, 1), 24));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    Picture picture;
    EXPECT_THROW(picture.LoadFromFile(path), PictureError);
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, format).write(image));
    return bytes;
}

std::vector<std::uint8_t> Bytes(const QByteArray& a) {
    return {a.begin(), a.end()};
}

QImage Noise(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 rng(11);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFF));
    return image;
}

// A JPEG is saved at quality 95 with colour at full resolution: its quantisation tables are
// libjpeg's at 95 (the luminance table's first step 16 becomes 2), every component's sampling
// is 1 x 1; it reads back within its loss. A lossless WebP reads back exactly.
TEST_F(PictureFiles, SavedJpegAndWebPAreAsTheNameAsks) {
    Picture picture;
    picture.Assign(Noise(40, 24));
    picture.SaveToFile(Path("out.jpg"));
    const std::string jpeg = Slurp(Path("out.jpg"));
    const auto marker = [&jpeg](unsigned char m) {
        const size_t at = jpeg.find(std::string{'\xFF', static_cast<char>(m)});
        EXPECT_NE(at, std::string::npos) << int(m);
        return at == std::string::npos ? std::string(32, '\0') : jpeg.substr(at);
    };
    const std::string dqt = marker(0xDB), sof = marker(0xC0);
    EXPECT_EQ(dqt[5], 2) << "quality 95";
    ASSERT_EQ(sof[9], 3);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(sof[11 + 3 * c], 0x11) << "component " << c;
    const QImage back = Picture::ReadFile(Path("out.jpg"));
    int far = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x)
            far += std::abs(qRed(back.pixel(x, y)) - qRed(picture.Image().pixel(x, y))) > 24;
    EXPECT_LT(far, 40 * 24 / 20) << "within its loss";

    picture.SaveToFile(Path("out.webp"));
    EXPECT_EQ(Slurp(Path("out.webp")).substr(12, 4), "VP8L") << "lossless";
    EXPECT_EQ(Picture::ReadFile(Path("out.webp")), picture.Image());
}

TEST_F(PictureFiles, PngAndJpegDecodeCompletely) {
    const QImage source = Noise(37, 23);
    const struct {
        const char* name;
        QByteArray bytes;
        QImage expected;
    } files[] = {
        {"rgb.png", Encoded(source, "png"), source},
        {"palette.png", Encoded(source.convertToFormat(QImage::Format_Indexed8), "png"),
         source.convertToFormat(QImage::Format_Indexed8).convertToFormat(QImage::Format_RGB32)},
        {"grey.png", Encoded(source.convertToFormat(QImage::Format_Grayscale8), "png"),
         source.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32)},
        {"alpha.png", Encoded(source.convertToFormat(QImage::Format_ARGB32), "png"), source},
        // A complete JPEG decodes as Qt's own reader decodes it.
        {"photo.jpg", Encoded(source, "jpeg"),
         QImage::fromData(Encoded(source, "jpeg")).convertToFormat(QImage::Format_RGB32)},
        {"grey.jpg", Encoded(source.convertToFormat(QImage::Format_Grayscale8), "jpeg"),
         QImage::fromData(Encoded(source.convertToFormat(QImage::Format_Grayscale8), "jpeg"))
             .convertToFormat(QImage::Format_RGB32)},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        Picture picture;
        picture.LoadFromFile(Write(f.name, Bytes(f.bytes)));
        EXPECT_EQ(picture.Image(), f.expected);
    }
}

TEST_F(PictureFiles, DamagedOrUnsupportedPicturesAreRefused) {
    const QImage source = Noise(64, 48);
    const QByteArray png = Encoded(source, "png");
    const QByteArray jpeg = Encoded(source, "jpeg");
    QByteArray badCrc = png;
    badCrc[png.indexOf("IDAT") + 20] = static_cast<char>(badCrc[png.indexOf("IDAT") + 20] ^ 0x55);
    const struct {
        const char* name;
        QByteArray bytes;
        const char* cause;
    } files[] = {
        {"half.png", png.left(png.size() / 2), "PNG"},
        {"no-end.png", png.left(png.size() - 12), "PNG"},
        {"bad-crc.png", badCrc, "PNG"},
        {"half.jpg", jpeg.left(jpeg.size() / 2), "JPEG"},
        {"header-only.jpg", jpeg.left(200), "JPEG"},
        {"picture.gif", QByteArray("GIF89a\x01\0\x01\0\0\0\0;", 14), "GIF"},
        {"picture.ppm", Encoded(source, "ppm"), "PNM"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = Write(f.name, Bytes(f.bytes));
        Picture picture;
        try {
            picture.LoadFromFile(path);
            ADD_FAILURE() << "loaded";
        } catch (const PictureError& e) {
            EXPECT_NE(texts::Describe(e).toStdString().find(f.cause), std::string::npos)
                << texts::Describe(e).toStdString();
        }
        EXPECT_TRUE(picture.IsEmpty());
    }
}

// Writes past a file-size limit fail (EFBIG), as they do on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

TEST_F(PictureFiles, ASaveThatCannotBeCompletedKeepsTheOldFile) {
    const std::string old = Write("out.bmp", std::vector<std::uint8_t>(20000, 'k'));
    // One that stays in the write buffer until it is flushed, and one written straight away.
    for (const QSize size : {QSize(40, 40), QSize(400, 300)}) {
        SCOPED_TRACE(size.width());
        Picture picture;
        picture.Assign(Noise(size.width(), size.height()));
        try {
            const FileSizeLimit limit(2048);
            picture.SaveToFile(old);
            ADD_FAILURE() << "saved";
        } catch (const PictureError& e) {
            EXPECT_NE(texts::Describe(e).toStdString().find("檔案超過允許的大小"),
                      std::string::npos)
                << texts::Describe(e).toStdString();
        }
        EXPECT_TRUE(Slurp(old) == std::string(20000, 'k')) << "the old file was replaced";
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList({"out.bmp"}))
            << "no temporary file left";
    }
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Four flat quadrants, red, green, blue and white, in a 48 x 32 picture: wide enough that a
// turn shows in the size, flat enough that a JPEG keeps the colours near their corners.
QImage Corners() {
    QImage image(48, 32, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            image.setPixel(x, y, colours[(y / 16) * 2 + x / 24]);
    return image;
}

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 12 && std::abs(qGreen(a) - qGreen(b)) <= 12 &&
           std::abs(qBlue(a) - qBlue(b)) <= 12;
}

// The picture opens the way the camera was held, for each of the eight orientations: which
// stored corner the shown top-left and top-right corners show, from Exif's definitions.
TEST_F(PictureFiles, CameraOrientationTurnsThePictureAsTaken) {
    enum Corner { kTL, kTR, kBL, kBR };
    const QImage stored = Corners();
    const QRgb corner[] = {stored.pixel(1, 1), stored.pixel(46, 1), stored.pixel(1, 30),
                           stored.pixel(46, 30)};
    const struct {
        int orientation;
        Corner topLeft, topRight;
    } cases[] = {{1, kTL, kTR}, {2, kTR, kTL}, {3, kBR, kBL}, {4, kBL, kBR},
                 {5, kTL, kBL}, {6, kBL, kTL}, {7, kBR, kTR}, {8, kTR, kBR}};
    const test::Bytes jpeg = Bytes(Encoded(stored, "jpeg"));
    const test::Bytes png = Bytes(Encoded(stored, "png"));
    for (const auto& c : cases) {
        for (const bool bigEndian : {true, false}) {
            SCOPED_TRACE(std::to_string(c.orientation) + (bigEndian ? " MM" : " II"));
            const test::Bytes exif = test::ExifBlock(c.orientation, bigEndian);
            // ImageMagick writes a PNG's Exif as a text chunk, its APP1 payload in hex.
            const test::Bytes files[] = {
                test::WithApp1(jpeg, test::ExifApp1(exif)), test::WithChunk(png, "eXIf", exif),
                test::WithChunk(png, "zTXt", test::RawProfileText(test::ExifApp1(exif)))};
            for (const test::Bytes& file : files) {
                const std::string path = Write("turned", file);
                const QSize size = c.orientation >= 5 ? QSize(32, 48) : QSize(48, 32);
                EXPECT_EQ(Picture::ReadSize(path), size) << "from the headers";
                const QImage shown = Picture::ReadFile(path);
                ASSERT_EQ(shown.size(), size);
                EXPECT_TRUE(Near(shown.pixel(1, 1), corner[c.topLeft]));
                EXPECT_TRUE(Near(shown.pixel(size.width() - 2, 1), corner[c.topRight]));
            }
        }
    }
    // Damaged or meaningless Exif data is passed over: the picture opens as stored.
    test::Bytes cut = test::ExifApp1(test::ExifBlock(6, true));
    cut.resize(18);
    const test::Bytes damaged[] = {
        test::WithApp1(jpeg, {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0xFF, 0xFF}),
        test::WithApp1(jpeg, cut),
        test::WithApp1(jpeg, test::ExifApp1(test::ExifBlock(9, false))),
        test::WithChunk(png, "eXIf", {'n', 'o', 't', ' ', 'e', 'x', 'i', 'f'}),
        test::WithChunk(png, "zTXt",
                        test::RawProfileText({'n', 'o', 't', ' ', 'e', 'x', 'i', 'f'})),
    };
    for (const test::Bytes& file : damaged) {
        const QImage shown = Picture::ReadFile(Write("damaged", file));
        ASSERT_EQ(shown.size(), QSize(48, 32));
        EXPECT_TRUE(Near(shown.pixel(1, 1), corner[kTL]));
    }
}

// The picture's samples as a TIFF page of RGB, as layout says.
test::Bytes TiffOf(const QImage& image, int orientation, test::TiffPage layout) {
    layout.width = image.width();
    layout.height = image.height();
    layout.samples = 3;
    layout.orientation = orientation;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            for (const int shift : {16, 8, 0})
                layout.values.push_back((image.pixel(x, y) >> shift) & 0xFF);
    return test::Tiff({layout});
}

// A picture larger than memory allows is read a band of rows at a time: the bands are the
// stored rows in order, and the reduced copy made from them, for every orientation, every
// reader that reads in bands (TIFF's strips, strips in planes, tiles and libtiff's RGBA
// interface; WebP and GIF, which have no orientation) and several copy sizes, is pixel for pixel
// the copy of the whole picture decoded and turned (the box filter and the turns commute). Stopped
// after the first band, it gives nothing.
TEST_F(PictureFiles, ABandedReductionIsThatOfTheWholePicture) {
    const QImage stored = Noise(61, 37);
    const test::Bytes jpeg = Bytes(Encoded(stored, "jpeg")), png = Bytes(Encoded(stored, "png"));
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x)
            argb.push_back(stored.pixel(x, y));
    const auto always = [](int, int) { return true; };
    const auto tiff = [](int photometric, int compression, bool planar, int tile) {
        test::TiffPage page;
        page.photometric = photometric;
        page.compression = compression;
        page.planar = planar;
        page.tile = tile;
        page.rowsPerStrip = 5;
        page.subsampling = {photometric == 6 ? 1 : 0, 1};
        return page;
    };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const test::Bytes exif = test::ExifBlock(orientation, false);
        std::vector<std::pair<const char*, test::Bytes>> files = {
            {"JPEG", test::WithApp1(jpeg, test::ExifApp1(exif))},
            {"PNG", test::WithChunk(png, "eXIf", exif)},
            {"TIFF strips", TiffOf(stored, orientation, tiff(2, 5, false, 0))},
            {"TIFF planes", TiffOf(stored, orientation, tiff(2, 5, true, 0))},
            {"TIFF tiles", TiffOf(stored, orientation, tiff(2, 8, true, 16))},
            {"TIFF YCbCr", TiffOf(stored, orientation, tiff(6, 1, false, 0))},
        };
        if (orientation == 1) {
            files.emplace_back("WebP lossless", test::WebP(61, 37, argb, true));
            files.emplace_back("WebP lossy", test::WebP(61, 37, argb, false));
            // GIF: a frame inside its screen, and one interlaced.
            test::GifFrame frame;
            for (int i = 0; i < 61 * 37; ++i)
                frame.indices.push_back(
                    static_cast<std::uint8_t>(argb[static_cast<size_t>(i)] % 4));
            frame.width = 61;
            frame.height = 37;
            frame.interlaced = true;
            const std::vector<std::uint32_t> map = {0x102030, 0xFF8000, 0x00FFFF, 0x808080};
            files.emplace_back("GIF interlaced", test::Gif(61, 37, map, 2, {frame}));
            frame.interlaced = false;
            frame.width = 50;
            frame.height = 20;
            frame.left = 5;
            frame.top = 9;
            frame.indices.resize(50 * 20);
            files.emplace_back("GIF inside its screen", test::Gif(61, 37, map, 2, {frame}));
        }
        for (const auto& [name, bytes] : files) {
            SCOPED_TRACE(std::to_string(orientation) + " " + name);
            const PictureFile file(Write("banded", bytes));
            const QImage whole = file.Decode(Picture::kReadLimitPixels);
            QImage joined(61, 37, QImage::Format_RGB32);
            int next = 0;
            file.DecodeBands(Picture::kReadLimitPixels, 7, [&](const QImage& band, int top) {
                EXPECT_EQ(top, next);
                for (int y = 0; y < band.height(); ++y)
                    std::memcpy(joined.scanLine(top + y), band.constScanLine(y), 61 * 4);
                next += band.height();
                return true;
            });
            EXPECT_EQ(next, 37);
            EXPECT_EQ(Oriented(joined, orientation), whole) << "the stored rows";
            for (const QSize copy : {ReducedSize(whole.size(), {20, 15}), QSize(1, 1),
                                     QSize(whole.width() - 1, whole.height()), whole.size()})
                EXPECT_EQ(ReducedCopy(file, copy, Picture::kReadLimitPixels, always, 7),
                          Reduce(whole, copy))
                    << copy.width() << "x" << copy.height();
            int bands = 0;
            EXPECT_TRUE(ReducedCopy(
                            file, {20, 15}, Picture::kReadLimitPixels,
                            [&bands](int, int) { return ++bands < 1; }, 7)
                            .isNull());
        }
    }
}

// CMYK and YCCK JPEG as print workflows write them (Adobe's inverted inks): R = C K / 255,
// rounded to the nearest, of the inks libjpeg decodes.
TEST_F(PictureFiles, CmykJpegDecodesToRgb) {
    // Stored (inverted) C, M, Y, K of the left and right halves, and the colours they make.
    const std::uint8_t inks[2][4] = {{255, 0, 0, 255}, {128, 200, 40, 201}};
    const QRgb shown[2] = {qRgb(255, 0, 0), qRgb(101, 158, 32)};
    for (const bool ycck : {false, true}) {
        SCOPED_TRACE(ycck ? "YCCK" : "CMYK");
        const test::Bytes bytes = test::CmykJpeg(inks[0], inks[1], ycck);
        const QImage image = Picture::ReadFile(Write("cmyk.jpg", bytes));
        ASSERT_EQ(image.size(), QSize(16, 8));
        for (int x : {1, 6, 9, 14})
            EXPECT_TRUE(Near(image.pixel(x, 4), shown[x / 8]))
                << x << ": " << std::hex << image.pixel(x, 4);
        const test::Bytes decoded = test::CmykSamples(bytes);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                const std::uint8_t* ink = &decoded[static_cast<size_t>(y * 16 + x) * 4];
                const auto level = [ink](int i) {
                    return static_cast<int>(std::lround(ink[i] * ink[3] / 255.0));
                };
                ASSERT_EQ(image.pixel(x, y), qRgb(level(0), level(1), level(2))) << x << "," << y;
            }
    }
}

// A BMP file holding a PNG or a JPEG shows what the file inside holds, as its own reader reads
// it; damaged inside, it is refused with that reader's cause.
TEST_F(PictureFiles, PngAndJpegInsideBmpGoToTheirOwnReaders) {
    const QImage source = Noise(21, 13);
    const QByteArray png = Encoded(source, "png");
    const QByteArray jpeg = Encoded(source, "jpeg");
    const QImage jpegAlone = Picture::ReadFile(Write("alone.jpg", Bytes(jpeg)));
    EXPECT_EQ(Picture::ReadFile(Write("png.bmp", test::EmbedInBmp(Bytes(png), 5, 21, 13))), source);
    EXPECT_EQ(Picture::ReadFile(Write("jpeg.bmp", test::EmbedInBmp(Bytes(jpeg), 4, 21, 13))),
              jpegAlone);
    // A length of 0 says the file inside runs to the end.
    test::Bytes toTheEnd = test::EmbedInBmp(Bytes(png), 5, 21, 13);
    test::PutLe32(toTheEnd, 34, 0);
    EXPECT_EQ(Picture::ReadFile(Write("to-the-end.bmp", toTheEnd)), source);
    const std::string half =
        Write("half.bmp", test::EmbedInBmp(Bytes(png.left(png.size() / 2)), 5, 21, 13));
    try {
        Picture::ReadFile(half);
        ADD_FAILURE() << "loaded";
    } catch (const PictureError& e) {
        EXPECT_NE(texts::Describe(e).toStdString().find("損壞的 PNG 檔案(檔案不完整"),
                  std::string::npos)
            << texts::Describe(e).toStdString();
    }
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

TEST(ReducedCopy, KeepsTheAspectRatioRoundingToTheNearest) {
    const QSize table(1280, 960);
    const struct {
        QSize picture, copy;
    } cases[] = {
        {{4032, 3024}, {1280, 960}}, {{3024, 4032}, {720, 960}},   {{1281, 2}, {1280, 2}},
        {{3, 961}, {3, 960}},        {{12000, 8000}, {1280, 853}}, {{2000, 100}, {1280, 64}},
        {{2560, 3}, {1280, 2}},  // 1.5 rounds up
        {{3840, 1}, {1280, 1}},  // 0.33 would be nothing: at least 1
        {{1300, 975}, {1280, 960}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReducedSize(c.picture, table), c.copy)
            << c.picture.width() << "x" << c.picture.height();
}

// Each pixel of the copy against the definition, written as plainly as it can be: every
// picture pixel weighted by the area it shares with the copy pixel, in units of 1/w x 1/h.
TEST(ReducedCopy, EachPixelIsTheAreaWeightedMeanRoundedToTheNearest) {
    const QSize cases[][2] = {{{7, 5}, {3, 2}}, {{9, 9}, {4, 4}},    {{13, 1}, {5, 1}},
                              {{5, 3}, {5, 3}}, {{31, 17}, {8, 11}}, {{2, 9}, {1, 2}}};
    std::mt19937 rng(5);
    for (const auto& [from, to] : cases) {
        SCOPED_TRACE(std::to_string(from.width()) + "x" + std::to_string(from.height()));
        QImage picture(from, QImage::Format_RGB32);
        for (int y = 0; y < from.height(); ++y)
            for (int x = 0; x < from.width(); ++x)
                picture.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFF));
        const QImage copy = Reduce(picture, to);
        ASSERT_EQ(copy.size(), to);
        const qint64 W = from.width(), H = from.height(), w = to.width(), h = to.height();
        const auto overlap = [](qint64 i, qint64 copyUnit, qint64 p, qint64 pictureUnit) {
            return std::max<qint64>(0, std::min((i + 1) * copyUnit, (p + 1) * pictureUnit) -
                                           std::max(i * copyUnit, p * pictureUnit));
        };
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                qint64 sum[3] = {};
                for (int y = 0; y < H; ++y) {
                    for (int x = 0; x < W; ++x) {
                        const qint64 a = overlap(i, W, x, w) * overlap(j, H, y, h);
                        const QRgb p = picture.pixel(x, y);
                        sum[0] += a * qRed(p);
                        sum[1] += a * qGreen(p);
                        sum[2] += a * qBlue(p);
                    }
                }
                const auto mean = [&](qint64 s) {
                    return static_cast<int>(std::floor(double(s) / double(W * H) + 0.5));
                };
                ASSERT_EQ(copy.pixel(i, j), qRgb(mean(sum[0]), mean(sum[1]), mean(sum[2])))
                    << i << "," << j;
            }
        }
    }
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// 16-bit channels become the nearest of 256 levels, round(v 255 / 65535), in every colour type
// that has them; alpha is dropped.
TEST_F(PictureFiles, SixteenBitPngChannelsRoundToTheNearestLevel) {
    const std::pair<std::uint16_t, int> levels[] = {{0x0000, 0},   {0x00FF, 1},   {0x0100, 1},
                                                    {0x7FFF, 127}, {0x8080, 128}, {0xFF00, 254},
                                                    {0xFFFF, 255}};
    const int n = static_cast<int>(std::size(levels));
    for (int channels = 1; channels <= 4; ++channels) {
        SCOPED_TRACE(channels);
        // Pixel i: grey level i, or red, green and blue levels i, i + 1 and i + 2; alpha varies.
        std::vector<std::vector<std::uint16_t>> samples;
        for (int i = 0; i < n; ++i) {
            std::vector<std::uint16_t> pixel;
            for (int c = 0; c < (channels >= 3 ? 3 : 1); ++c)
                pixel.push_back(levels[(i + c) % n].first);
            if (channels % 2 == 0)
                pixel.push_back(static_cast<std::uint16_t>(0x1234 * i));
            samples.push_back(pixel);
        }
        const QImage image = Picture::ReadFile(Write("deep.png", test::Png16(channels, samples)));
        ASSERT_EQ(image.size(), QSize(n, 1));
        for (int i = 0; i < n; ++i) {
            const int r = levels[i].second;
            const int g = levels[(i + (channels >= 3 ? 1 : 0)) % n].second;
            const int b = levels[(i + (channels >= 3 ? 2 : 0)) % n].second;
            EXPECT_EQ(image.pixel(i, 0), qRgb(r, g, b)) << "pixel " << i;
        }
    }
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// The desktop offers the program for exactly the formats it reads.
TEST(PictureFormats, TheDesktopEntryOffersWhatIsRead) {
    QFile entry(QStringLiteral(COLORSPLIT_DESKTOP_ENTRY));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList offered;
    for (const QByteArray& line : entry.readAll().split('\n'))
        if (line.startsWith("MimeType="))
            offered = QString::fromUtf8(line.mid(9)).split(';', Qt::SkipEmptyParts);
    QStringList read;
    for (const PictureFormat& format : PictureFormats())
        read += format.mimeTypes;
    offered.sort();
    read.sort();
    EXPECT_EQ(offered, read);
}

}  // namespace
}  // namespace colorsplit
