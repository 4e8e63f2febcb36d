// The commands without widgets, on real BMP files: the direct row access of the picture must
// sample and mask exactly as pixel-by-pixel access does.
#include "ui/session.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <random>

#include "support/bmp_builder.h"
#include "support/fake_host.h"

namespace colorsplit {
namespace {

class NullView : public SessionView {
public:
    void LogLine(const std::string& text) override { log.push_back(text); }
    void ShowSwatch(int, TColor) override {}
    void PictureChanged() override {}
    std::vector<std::string> log;
};

struct Fixture {
    Fixture(int w, int h, unsigned seed) : session(view, open, save) {
        std::mt19937 rng(seed);
        test::RgbImage image{w, h, {}};
        fake.picture = test::FakePicture(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint32_t rgb = rng() & 0xFFFFFF;
                image.rgb.push_back(rgb);
                fake.picture.at(x, y) = PackColor(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
            }
        }
        file = dir.filePath("p.bmp").toStdString();
        test::WriteFile(file, test::EncodeBmp(image, 24));
        open.Answer(file);
        session.Button1Click();
    }

    QTemporaryDir dir;
    std::string file;
    NullView view;
    ScriptedDialog open, save;
    Session session;
    test::FakeHost fake;
};

void Scribble(Quantizer& q, unsigned seed) {
    std::mt19937 rng(seed);
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 64; ++y)
            q.Pixels[x][y] = {static_cast<int>(rng() % 256), 7, 9, static_cast<int>(rng() % 4)};
}

TEST(Session, RowAccessSamplesLikePixelAccess) {
    for (const auto& [w, h] : {std::pair{1, 1}, {37, 23}, {61, 2}, {3, 59}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Fixture f(w, h, static_cast<unsigned>(w * 100 + h));
        ASSERT_NE(f.session.Rows().pixels, nullptr);
        auto viaPixels = std::make_unique<Quantizer>();
        Scribble(f.session.State(), 5);
        Scribble(*viaPixels, 5);
        f.session.State().SparateColor(f.session);
        viaPixels->SparateColor(f.fake);
        for (int x = 0; x < 64; ++x) {
            for (int y = 0; y < 64; ++y) {
                const PixelRec& a = f.session.State().Pixels[x][y];
                const PixelRec& b = viaPixels->Pixels[x][y];
                ASSERT_TRUE(a.R == b.R && a.G == b.G && a.B == b.B && a.Group == b.Group)
                    << x << "," << y;
            }
        }
        EXPECT_EQ(f.session.State().Computer_Mean(f.session), viaPixels->Computer_Mean(f.fake));
    }
}

TEST(Session, RowAccessMasksLikePixelAccess) {
    Fixture f(45, 31, 77);
    auto viaPixels = std::make_unique<Quantizer>();
    Scribble(f.session.State(), 9);
    Scribble(*viaPixels, 9);
    f.session.State().Mask(f.session, 2);
    viaPixels->Mask(f.fake, 2);
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 45; ++x)
            ASSERT_EQ(f.session.GetPixel(x, y), f.fake.GetPixel(x, y)) << x << "," << y;
    EXPECT_EQ(f.view.log.back(), "處理完成");
}

}  // namespace
}  // namespace colorsplit
