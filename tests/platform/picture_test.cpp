#include "platform/picture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <random>

#include "platform/picture_error.h"
#include "support/bmp_builder.h"
#include "support/malformed.h"

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

struct Variant {
    const char* name;
    int bpp;
    bool topDown;
    BmpCompression compression;
    int colours;
};

TEST_F(PictureFiles, EveryBmpVariantDecodesToTheSamePixels) {
    const Variant variants[] = {
        {"1-bit", 1, false, BmpCompression::kNone, 2},
        {"4-bit", 4, false, BmpCompression::kNone, 16},
        {"8-bit", 8, false, BmpCompression::kNone, 27},
        {"8-bit top-down", 8, true, BmpCompression::kNone, 27},
        {"16-bit", 16, false, BmpCompression::kNone, 27},
        {"24-bit", 24, false, BmpCompression::kNone, 27},
        {"24-bit top-down", 24, true, BmpCompression::kNone, 27},
        {"32-bit", 32, false, BmpCompression::kNone, 27},
        {"RLE4", 4, false, BmpCompression::kRle, 16},
        {"RLE8", 8, false, BmpCompression::kRle, 27},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        // Odd sizes exercise row padding; a run of one colour exercises RLE runs.
        RgbImage image = TestImage(13, 7, v.colours, 99);
        for (int x = 2; x < 9; ++x)
            image.rgb[size_t(3) * 13 + x] = image.rgb[0];
        Picture picture;
        picture.LoadFromFile(
            Write(std::string(v.name) + ".bmp", EncodeBmp(image, v.bpp, v.topDown, v.compression)));
        ASSERT_EQ(picture.Width(), 13);
        ASSERT_EQ(picture.Height(), 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(picture.GetPixel(x, y), Expected(image, x, y)) << x << "," << y;
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
            const std::string message = e.what();
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

TEST_F(PictureFiles, EveryMalformedBmpIsRefusedNamingTheFile) {
    int refused = 0;
    for (const test::BrokenFile& broken : test::MalformedBmps()) {
        SCOPED_TRACE(broken.name);
        const std::string path = Write(broken.name + ".bmp", broken.bytes);
        Picture picture;
        try {
            picture.LoadFromFile(path);
            ADD_FAILURE() << "loaded " << picture.Width() << "x" << picture.Height();
        } catch (const PictureError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            ++refused;
        }
        EXPECT_TRUE(picture.IsEmpty());
    }
    EXPECT_GE(refused, 40);
}

TEST_F(PictureFiles, CompleteRleWithoutEndMarkAndSkippedPixelsStillLoad) {
    // Rows ended by end-of-line marks, no end-of-bitmap: every row is there.
    std::vector<std::uint8_t> bytes =
        EncodeBmp(TestImage(4, 2, 2, 5), 8, false, BmpCompression::kRle);
    bytes.resize(bytes.size() - 2);
    Picture picture;
    picture.LoadFromFile(Write("no-eob.bmp", bytes));
    EXPECT_EQ(picture.Width(), 4);
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
