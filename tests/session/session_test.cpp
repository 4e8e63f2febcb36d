// The commands without widgets, on real BMP files: the direct row access of the picture must
// sample and mask exactly as pixel-by-pixel access does.
#include "session/session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>

#include "platform/picture_error.h"
#include "session/batch.h"
#include "session/picture_stage.h"
#include "session/texts.h"
#include "support/bmp_builder.h"
#include "support/fake_host.h"
#include "support/gui_app.h"
#include "support/photo.h"
#include "support/pictures.h"

namespace colorsplit {
namespace {

// The same random picture twice: read from a BMP file into the commands' PictureStage (its
// rows in memory), and pixel by pixel into the fake.
struct Fixture {
    Fixture(int w, int h, unsigned seed) {
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
        const std::string file = dir.filePath("p.bmp").toStdString();
        test::WriteFile(file, test::EncodeBmp(image, 24));
        stage.Open(Picture::ReadFile(file));
    }

    QTemporaryDir dir;
    PictureStage stage;
    test::FakeHost fake;
};

// A table that holds something already: a random 64 x 64 picture, grouped by four picks.
void Scribble(Quantizer& q, unsigned seed) {
    test::FakeHost scribble;
    scribble.picture = test::FakePicture(64, 64);
    std::mt19937 rng(seed);
    for (TColor& c : scribble.picture.pixels)
        c = static_cast<TColor>(rng() & 0xFFFFFF);
    q.SparateColor(scribble);
    for (int i = 0; i < 4; ++i)
        q.Pick(scribble.picture.pixels[static_cast<size_t>(i) * 97]);
    q.Computer_Group(scribble);
}

TEST(PictureStage, RowAccessSamplesLikePixelAccess) {
    for (const auto& [w, h] : {std::pair{1, 1}, {37, 23}, {61, 2}, {3, 59}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Fixture f(w, h, static_cast<unsigned>(w * 100 + h));
        ASSERT_NE(f.stage.ReadRows().pixels, nullptr);
        auto viaRows = std::make_unique<Quantizer>();
        auto viaPixels = std::make_unique<Quantizer>();
        Scribble(*viaRows, 5);
        Scribble(*viaPixels, 5);
        viaRows->SparateColor(f.stage);
        viaPixels->SparateColor(f.fake);
        for (int x = 0; x < 64; ++x) {
            for (int y = 0; y < 64; ++y) {
                const PixelRec& a = viaRows->View().Pixels[x][y];
                const PixelRec& b = viaPixels->View().Pixels[x][y];
                ASSERT_TRUE(a.R == b.R && a.G == b.G && a.B == b.B && a.Group == b.Group)
                    << x << "," << y;
            }
        }
        EXPECT_EQ(viaRows->Computer_Mean(f.stage), viaPixels->Computer_Mean(f.fake));
    }
}

TEST(PictureStage, RowAccessMasksLikePixelAccess) {
    Fixture f(45, 31, 77);
    auto viaRows = std::make_unique<Quantizer>();
    auto viaPixels = std::make_unique<Quantizer>();
    Scribble(*viaRows, 9);
    Scribble(*viaPixels, 9);
    test::FakeHost quiet;
    viaRows->Mask(f.stage, quiet, 2);
    viaPixels->Mask(f.fake, f.fake, 2);
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 45; ++x)
            ASSERT_EQ(f.stage.GetPixel(x, y), f.fake.GetPixel(x, y)) << x << "," << y;
    EXPECT_EQ(quiet.log, std::vector<std::string>{"masked"});
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

class RecordingView : public SessionView {
public:
    void LogLine(const QString& text) override { log.push_back(text.toStdString()); }
    void ShowSwatch(int row, TColor c) override { swatches.at(row) = c; }
    void ClearSwatches() override { swatches = {}; }
    void ClearSwatch(int row) override { swatches.at(row).reset(); }
    void PictureChanged() override {}
    bool OpenReduced(const std::string&, QSize original, QSize reduced) override {
        sizesAsked.emplace_back(original, reduced);
        return reduce;
    }
    bool ConfirmReplace(const std::string&, const std::vector<std::string>& files) override {
        asked.push_back(files);
        return replace;
    }
    std::optional<TColor> AskColour() override {
        ++coloursAsked;
        return colour;
    }
    void ShowStatistics(const std::vector<GroupStatistic>& s) override { statistics.push_back(s); }

    std::vector<std::string> log;
    std::array<std::optional<TColor>, 5> swatches;
    // The answers, and what was asked and shown.
    bool replace = true;
    bool reduce = true;
    std::vector<std::pair<QSize, QSize>> sizesAsked;
    std::optional<TColor> colour;
    std::vector<std::vector<std::string>> asked;
    int coloursAsked = 0;
    std::vector<std::vector<GroupStatistic>> statistics;
};

class CountingDialog : public ScriptedDialog {
public:
    int asked = 0;

protected:
    std::optional<std::string> Ask() override {
        ++asked;
        return ScriptedDialog::Ask();
    }
};

// A session as the window holds it, started up.
struct Window {
    Window() : session(view, open, save, folder) { session.FormCreate(); }
    // Long work run to its end where it stands, as the batch program runs it.
    void Finish(const std::shared_ptr<const LongWork>& work) {
        if (work)
            RunToEnd(*work, quietly);
    }
    void Open(const std::optional<std::string>& name) {
        open.Answer(name);
        Finish(session.Button1Click().work);
    }
    void Save(const std::optional<std::string>& name) {
        save.Answer(name);
        session.Button4Click();
    }
    // Four picks, execute, mask, mean, save.
    void WholeUse(const std::array<std::pair<int, int>, 4>& picks, int keep,
                  const std::string& out) {
        for (const auto& [x, y] : picks)
            session.Image1MouseDown(x, y);
        session.Button2Click();
        session.Button7Click(keep);
        session.Button5Click();
        Save(out);
    }

    RecordingView view;
    CountingDialog open, save, folder;
    Session session;
    NoProgress quietly;
};

// Everything the round leaves behind, the whole table's groups included.
struct Snapshot {
    explicit Snapshot(const Window& w) : swatches(w.view.swatches) {
        const QuantState& q = w.session.State();
        fields = {q.ColorCount, q.RunCount,  q.GroupCount,
                  q.PicksAtRun, q.MeanColor, q.MaskDone ? 1 : 0};
        for (int i = 0; i < kMaxColors; ++i)
            fields.insert(fields.end(),
                          {q.CodeBook[i].R, q.CodeBook[i].G, q.CodeBook[i].B, q.SelColor[i]});
        distortions = {q.Distortion, q.LastDistortion};
        for (int x = 0; x < kTableWidth; ++x)
            for (int y = 0; y < kTableHeight; ++y)
                groups.push_back(static_cast<std::int8_t>(q.Pixels[x][y].Group));
        picture = w.session.ShownPicture().Image();
    }
    bool operator==(const Snapshot&) const = default;

    std::array<std::optional<TColor>, 5> swatches;
    std::vector<std::int32_t> fields;
    std::vector<float> distortions;
    std::vector<std::int8_t> groups;
    QImage picture;
};

std::string Slurp(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<none>";
}

class Rounds : public ::testing::Test {
protected:
    Rounds() {
        first = Path("first.bmp");
        test::WriteFile(first, test::EncodeBmp(test::QuadrantPicture(), 24));
        // Another size, narrower and shorter, so groups of the first picture would show.
        test::RgbImage other{29, 17, {}};
        for (const TColor c : test::PhotoLike(29, 17, 4))
            other.rgb.push_back(
                static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)));
        second = Path("second.bmp");
        test::WriteFile(second, test::EncodeBmp(other, 24));
    }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    QTemporaryDir dir;
    std::string first, second;
    static constexpr std::array<std::pair<int, int>, 4> kFirstPicks = {
        {{1, 0}, {19, 0}, {1, 21}, {20, 20}}};
    static constexpr std::array<std::pair<int, int>, 4> kSecondPicks = {
        {{2, 2}, {27, 3}, {14, 9}, {5, 15}}};
};

TEST_F(Rounds, ASecondPictureIsUsedExactlyAsAFirstWouldBe) {
    auto used = std::make_unique<Window>();
    used->Open(first);
    used->WholeUse(kFirstPicks, 1, Path("a.bmp"));
    ASSERT_TRUE(used->session.State().MaskDone);
    const std::vector<std::string> firstRound = used->view.log;
    used->Open(second);
    const size_t secondOpen = used->view.log.size() - 1;

    auto fresh = std::make_unique<Window>();
    fresh->Open(second);
    EXPECT_EQ(Snapshot(*used), Snapshot(*fresh)) << "right after the open";

    used->WholeUse(kSecondPicks, 2, Path("used.bmp"));
    fresh->WholeUse(kSecondPicks, 2, Path("fresh.bmp"));
    EXPECT_EQ(std::vector(used->view.log.begin() + secondOpen, used->view.log.end()),
              std::vector(fresh->view.log.begin() + 1, fresh->view.log.end()));
    EXPECT_EQ(Snapshot(*used), Snapshot(*fresh)) << "after the whole use";
    EXPECT_TRUE(Slurp(Path("used.bmp")) == Slurp(Path("fresh.bmp")));
    EXPECT_EQ(std::vector(used->view.log.begin(), used->view.log.begin() + secondOpen), firstRound)
        << "nothing of the log is removed";
}

TEST_F(Rounds, CancelledDialogsChangeNothing) {
    Window w;
    w.Open(first);
    w.WholeUse(kFirstPicks, 1, Path("out.bmp"));
    const std::string saved = Slurp(Path("out.bmp"));
    w.session.Button7Click(3);  // an unsaved mask
    const Snapshot before(w);
    const std::vector<std::string> log = w.view.log;

    w.Open(std::nullopt);
    w.Save(std::nullopt);
    EXPECT_EQ(Snapshot(w), before);
    EXPECT_EQ(w.view.log, log);
    EXPECT_TRUE(Slurp(Path("out.bmp")) == saved) << "the saved file was written again";
    EXPECT_EQ(w.open.asked, 2);
    EXPECT_EQ(w.save.asked, 2);
}

// Each command with nothing to work on logs why and changes nothing.
TEST_F(Rounds, CommandsWithNothingToWorkOnSaySoAndChangeNothing) {
    enum Stage { kNoPicture, kOpened, kPicked, kReopened };
    const struct {
        Stage stage;
        void (*command)(Session&);
        const char* line;
    } cases[] = {
        {kNoPicture, [](Session& s) { s.Button2Click(); }, "尚未載入檔案"},
        {kNoPicture, [](Session& s) { s.Button7Click(1); }, "尚未載入檔案"},
        {kNoPicture, [](Session& s) { s.Button5Click(); }, "尚未載入檔案"},
        {kNoPicture, [](Session& s) { s.Image1MouseDown(5, 5); }, "尚未載入檔案"},
        {kOpened, [](Session& s) { s.Button2Click(); }, "尚未選擇顏色"},
        {kOpened, [](Session& s) { s.Button7Click(0); }, "尚未執行運算"},
        {kOpened, [](Session& s) { s.Button7Click(1); }, "尚未執行運算"},
        {kPicked, [](Session& s) { s.Button7Click(1); }, "尚未執行運算"},
        {kReopened, [](Session& s) { s.Button7Click(1); }, "尚未執行運算"},
        {kNoPicture, [](Session& s) { s.ExportClick(); }, "尚未載入檔案"},
        {kNoPicture, [](Session& s) { s.StatisticsClick(); }, "尚未載入檔案"},
        {kNoPicture, [](Session& s) { s.EnterColourClick(); }, "尚未載入檔案"},
        {kNoPicture, [](Session& s) { s.Seed(255); }, "尚未載入檔案"},
        {kOpened, [](Session& s) { s.ExportClick(); }, "尚未執行運算"},
        {kPicked, [](Session& s) { s.StatisticsClick(); }, "尚未執行運算"},
        {kReopened, [](Session& s) { s.ExportClick(); }, "尚未執行運算"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases));
        Window w;
        if (c.stage == kReopened) {
            w.Open(first);
            w.WholeUse(kFirstPicks, 0, Path("round.bmp"));
        }
        if (c.stage != kNoPicture)
            w.Open(first);
        if (c.stage == kPicked)
            w.session.Image1MouseDown(1, 0);
        const std::vector<std::string> log = w.view.log;
        const Snapshot before(w);
        c.command(w.session);
        EXPECT_EQ(std::vector(w.view.log.begin() + log.size(), w.view.log.end()),
                  std::vector<std::string>{c.line});
        EXPECT_EQ(Snapshot(w), before);
        EXPECT_EQ(w.folder.asked + w.view.coloursAsked, 0) << "nothing is asked";
        EXPECT_TRUE(w.view.statistics.empty());
    }
    // The batch program's export is an error instead, and writes nothing.
    for (const Stage stage : {kNoPicture, kOpened}) {
        Window w;
        if (stage == kOpened)
            w.Open(first);
        EXPECT_THROW(w.session.ExportGroups(Path("never")), PictureError);
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path("never"))));
    }

    Window w;
    EXPECT_THROW(w.Save(Path("nothing.bmp")), PictureError);
    EXPECT_EQ(w.save.asked, 0) << "refused before the dialog";
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("nothing.bmp"))));
}

// The groups belong to the picture that was opened: whatever becomes of its file, a second
// mask shows that picture's pixels, exactly as when the file is left alone.
TEST_F(Rounds, ASecondMaskStartsFromThePictureAsOpened) {
    const struct {
        const char* what;
        std::function<void(Window&, const std::string& file)> touch;
    } cases[] = {
        {"left alone", [](Window&, const std::string&) {}},
        {"saved over", [](Window& w, const std::string& file) { w.Save(file); }},
        {"replaced",
         [](Window&, const std::string& file) {
             test::WriteFile(file, test::EncodeBmp(test::RgbImage{2, 2, {1, 2, 3, 4}}, 24));
         }},
        {"deleted", [](Window&, const std::string& file) { std::remove(file.c_str()); }},
    };
    std::optional<QImage> untouched;
    std::vector<std::string> untouchedLog;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = Path("opened.bmp");
        test::WriteFile(file, test::EncodeBmp(test::QuadrantPicture(), 24));
        Window w;
        w.Open(file);
        for (const auto& [x, y] : kFirstPicks)
            w.session.Image1MouseDown(x, y);
        w.session.Button2Click();
        w.session.Button7Click(0);
        c.touch(w, file);
        w.session.Button7Click(3);
        const QImage shown = w.session.ShownPicture().Image();
        if (!untouched) {
            untouched = shown;
            untouchedLog = w.view.log;
            EXPECT_NE(shown.pixel(35, 39), qRgb(0, 0, 0)) << "group 3 shows";
            continue;
        }
        EXPECT_EQ(shown, *untouched);
        EXPECT_EQ(w.view.log, untouchedLog);
        EXPECT_EQ(w.session.State().OpenFileName, file);
    }
}

TEST_F(Rounds, AClickBesideThePicturePicksNothing) {
    Window w;
    w.Open(first);  // 36 x 40
    const std::vector<std::string> log = w.view.log;
    const Snapshot before(w);
    for (const auto& [x, y] : {std::pair{36, 0}, {0, 40}, {1574, 1180}, {-1, 3}, {3, -1}})
        w.session.Image1MouseDown(x, y);
    EXPECT_EQ(w.view.log, log);
    EXPECT_EQ(Snapshot(w), before);

    for (int i = 0; i < 4; ++i)
        w.session.Image1MouseDown(35, 39);
    const size_t picked = w.view.log.size();
    w.session.Image1MouseDown(36, 39);
    EXPECT_EQ(w.view.log.size(), picked) << "not even the done line";
    w.session.Image1MouseDown(35, 39);
    EXPECT_EQ(w.view.log.back(), "選擇顏色完成");
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Every file of an export, read back with Qt's own PNG reader, against the groups the table
// holds; a mask shown makes no difference, and exporting changes nothing.
TEST_F(Rounds, ExportedFilesHoldTheGroupsPixelForPixel) {
    using Picks = std::vector<std::pair<int, int>>;
    const auto [p0, p1, p2, p3] = kSecondPicks;
    // Widths whose films end in a part of a byte.
    // And the table's size, whose rows an export takes in more than one band.
    std::vector<std::string> narrow;
    for (const auto& [width, height] : {std::pair{195, 5}, {323, 5}, {451, 5}, {1280, 960}}) {
        test::RgbImage photo{width, height, {}};
        for (const TColor c : test::PhotoLike(width, height, static_cast<unsigned>(width)))
            photo.rgb.push_back(
                static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)));
        narrow.push_back(Path(("w" + std::to_string(width) + ".bmp").c_str()));
        test::WriteFile(narrow.back(), test::EncodeBmp(photo, 24));
    }
    const struct {
        const char* name;
        const std::string& file;
        Picks picks;
        std::vector<TColor> seeds;  // picked by value after the clicks
        int emptyGroup;             // -1 for none
    } cases[] = {
        {"four", second, {p0, p1, p2, p3}, {}, -1},
        {"two", second, {p0, p1}, {}, -1},
        // White is far from every quadrant of the first picture.
        {"empty", first, {kFirstPicks[0], kFirstPicks[1]}, {PackColor(255, 255, 255)}, 2},
        {"195 wide", narrow[0], {{0, 0}, {194, 4}, {97, 2}}, {}, -1},
        {"323 wide", narrow[1], {{0, 0}, {322, 4}}, {}, -1},
        {"451 wide", narrow[2], {{0, 0}, {450, 4}, {225, 2}, {7, 3}}, {}, -1},
        {"the table's size", narrow[3], {{0, 0}, {1279, 959}, {640, 900}}, {}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage original =
            QImage(QString::fromStdString(c.file)).convertToFormat(QImage::Format_RGB32);
        const QString stem = QFileInfo(QString::fromStdString(c.file)).completeBaseName();
        Window w;
        w.Open(c.file);
        for (const auto& [x, y] : c.picks)
            w.session.Image1MouseDown(x, y);
        for (const TColor seed : c.seeds)
            w.session.Seed(seed);
        w.session.Button2Click();
        w.session.Button7Click(1);
        const Snapshot before(w);
        const size_t lines = w.view.log.size();
        const QString folder = QString::fromStdString(Path(c.name));
        w.Finish(w.session.ExportGroups(folder.toStdString()));
        EXPECT_EQ(Snapshot(w), before);
        EXPECT_EQ(std::vector(w.view.log.begin() + lines, w.view.log.end()),
                  std::vector<std::string>{"匯出完成,檔案存於" + folder.toStdString()});

        const QuantState& q = w.session.State();
        const int k = static_cast<int>(c.picks.size() + c.seeds.size());
        ASSERT_EQ(q.GroupCount, k);
        const auto name = [&stem](const char* pattern, int n = 0) {
            return QString::fromUtf8(pattern).arg(stem).arg(n);
        };
        QStringList expected = {name("%1-quantised.png"), name("%1-groups.csv"),
                                name("%1-groups.gpl")};
        for (int n = 1; n <= k; ++n)
            expected << name("%1-group%2.png", n) << name("%1-group%2-film.png", n);
        expected.sort();
        const QDir dir(folder);
        EXPECT_EQ(dir.entryList(QDir::Files, QDir::Name), expected);

        // A PNG's bit depth and colour type, from its header chunk.
        const auto kind = [&dir](const QString& file) {
            const std::string bytes = Slurp(dir.filePath(file).toStdString());
            return bytes.size() > 25 ? std::pair{int(bytes[24]), int(bytes[25])} : std::pair{0, -1};
        };
        const QImage quantised(dir.filePath(name("%1-quantised.png")));
        EXPECT_EQ(kind(name("%1-quantised.png")), std::pair(8, 2)) << "RGB";
        std::vector<QImage> layers, films;
        for (int n = 1; n <= k; ++n) {
            layers.emplace_back(dir.filePath(name("%1-group%2.png", n)));
            films.emplace_back(dir.filePath(name("%1-group%2-film.png", n)));
            EXPECT_EQ(kind(name("%1-group%2.png", n)), std::pair(8, 6)) << "RGBA";
            EXPECT_EQ(kind(name("%1-group%2-film.png", n)), std::pair(1, 0)) << "1-bit grey";
        }
        std::vector<int> inGroup(static_cast<size_t>(k));
        for (int y = 0; y < original.height(); ++y) {
            for (int x = 0; x < original.width(); ++x) {
                const int g = q.Pixels[x][y].Group;
                ++inGroup.at(static_cast<size_t>(g));
                const PixelRec& v = q.CodeBook[g];
                ASSERT_EQ(quantised.pixel(x, y), qRgb(v.R, v.G, v.B)) << x << "," << y;
                for (int n = 0; n < k; ++n) {
                    ASSERT_EQ(layers[n].pixel(x, y),
                              n == g ? original.pixel(x, y) : qRgba(0, 0, 0, 0))
                        << "layer " << n + 1 << " at " << x << "," << y;
                    ASSERT_EQ(qGray(films[n].pixel(x, y)), n == g ? 0 : 255)
                        << "film " << n + 1 << " at " << x << "," << y;
                }
            }
        }
        if (c.emptyGroup >= 0) {
            EXPECT_EQ(inGroup[c.emptyGroup], 0) << "the case must hold an empty group";
        }
        // The palette: GIMP's header, what made it, and a line a group named as its radio item.
        const QStringList palette =
            QString::fromStdString(Slurp(dir.filePath(name("%1-groups.gpl")).toStdString()))
                .split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(palette.size(), 3 + k);
        EXPECT_EQ(palette.mid(0, 2), QStringList({"GIMP Palette", "Name: " + stem}));
        EXPECT_TRUE(palette[2].startsWith("# colorsplit "));
        for (int n = 0; n < k; ++n) {
            const PixelRec& v = q.CodeBook[n];
            EXPECT_EQ(palette[3 + n],
                      QStringLiteral("%1 %2 %3\tcolor%4 %5")
                          .arg(v.R, 3)
                          .arg(v.G, 3)
                          .arg(v.B, 3)
                          .arg(n + 1)
                          .arg(QString::fromStdString(HexColour(PackColor(v.R, v.G, v.B)))));
        }
    }
}

TEST(GroupsCsv, SharesAreHundredthsOfAPercentRoundedHalfUp) {
    const struct {
        std::vector<qint64> pixels;
        std::vector<const char*> percents;
    } cases[] = {
        {{360, 360, 360, 360}, {"25.00", "25.00", "25.00", "25.00"}},
        {{1, 2}, {"33.33", "66.67"}},
        {{1, 1599}, {"0.06", "99.94"}},  // 6.25 and 9993.75 hundredths
        {{1, 799}, {"0.13", "99.88"}},   // 12.5 and 9987.5: halves go up
        {{0, 5, 0}, {"0.00", "100.00", "0.00"}},
    };
    for (const auto& c : cases) {
        const auto statistics = Statistics(std::vector<TColor>(c.pixels.size()), c.pixels);
        ASSERT_EQ(statistics.size(), c.percents.size());
        for (size_t i = 0; i < statistics.size(); ++i)
            EXPECT_EQ(Percent(statistics[i].hundredths), c.percents[i]) << c.pixels[i];
    }
    // At 254 dpi a pixel is a tenth of a millimetre: 10,000 of them a square centimetre.
    ExportSettings at254;
    at254.dpi = 254;
    const auto statistics = Statistics({PackColor(200, 10, 10), PackColor(0x0A, 0xC8, 0xFF)},
                                       {30000, 10000}, {}, at254.AreaCm2(1, 640));
    EXPECT_EQ(GroupsCsv(statistics).toStdString(),
              "group,hex,red,green,blue,pixels,percent,area_cm2,ink,delta_e\n"
              "1,#C80A0A,200,10,10,30000,75.00,3.00,,\n"
              "2,#0AC8FF,10,200,255,10000,25.00,1.00,,\n");
}

// A batch's file field is the name as given, quoted where a comma, a quote or a line's end
// would break the row, its quotes doubled.
TEST(BatchCsv, NamesAreQuotedWhereTheyMustBe) {
    const struct {
        const char* name;
        const char* field;
    } cases[] = {
        {"plain.bmp", "plain.bmp"},
        {"photo,1.bmp", "\"photo,1.bmp\""},
        {"say\"hi,1.bmp", "\"say\"\"hi,1.bmp\""},
        {"say\"hi.bmp", "\"say\"\"hi.bmp\""},
        {"two\nlines.bmp", "\"two\nlines.bmp\""},
    };
    const auto groups = Statistics({PackColor(200, 10, 10)}, {3});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(
            BatchCsv({c.name}, {BatchOutcome{groups, std::nullopt, std::nullopt}}).toStdString(),
            "file,group," + CsvColumns() + '\n' + c.field +
                ",1,#C80A0A,200,10,10,3,100.00,0.00,,\n");
    }
}

// 匯出群組… asks once before files are replaced: No writes nothing, Yes replaces them all.
TEST_F(Rounds, AnExportOverEarlierFilesAsksFirst) {
    Window w;
    w.Open(first);
    for (const auto& [x, y] : kFirstPicks)
        w.session.Image1MouseDown(x, y);
    w.session.Button2Click();
    const std::string folder = Path("out");
    w.folder.Answer(folder);
    w.Finish(w.session.ExportClick());
    EXPECT_TRUE(w.view.asked.empty()) << "nothing to replace yet";
    const std::string csv = Path("out/first-groups.csv");
    test::WriteFile(csv, {'o', 'l', 'd'});

    for (const bool replace : {false, true}) {
        w.view.replace = replace;
        w.folder.Answer(folder);
        w.Finish(w.session.ExportClick());
        EXPECT_EQ(Slurp(csv) == "old", !replace);
    }
    ASSERT_EQ(w.view.asked.size(), 2u);
    // Every file of the export, named once, in the order they take their places.
    std::vector<std::string> order = {"first-quantised.png"};
    for (int n = 1; n <= 4; ++n)
        order.insert(order.end(), {"first-group" + std::to_string(n) + ".png",
                                   "first-group" + std::to_string(n) + "-film.png"});
    order.insert(order.end(), {"first-groups.csv", "first-groups.gpl"});
    EXPECT_EQ(w.view.asked[0], order);
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// A picture wider than the table: refused, or opened as a reduced copy when the view wants one;
// exports and statistics then work on the picture at its full size, each pixel grouped by the
// grouping pass's rule with the final code book.
TEST_F(Rounds, AReducedCopyExportsAtFullSize) {
    test::RgbImage big{1300, 12, {}};
    for (const TColor c : test::PhotoLike(1300, 12, 9))
        big.rgb.push_back(static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)));
    const std::string file = Path("big.bmp");
    test::WriteFile(file, test::EncodeBmp(big, 24));

    Window w;
    w.Open(first);
    const std::vector<std::string> log = w.view.log;
    const Snapshot before(w);
    w.view.reduce = false;
    w.Open(file);
    EXPECT_EQ(std::vector(w.view.log.begin() + log.size(), w.view.log.end()),
              std::vector<std::string>{"圖片超過1280x960,無法載入"});
    EXPECT_EQ(Snapshot(w), before) << "No leaves everything as it was";

    w.view.reduce = true;
    w.Open(file);
    EXPECT_EQ(w.view.sizesAsked.back(), std::pair(QSize(1300, 12), QSize(1280, 12)));
    EXPECT_EQ(std::vector(w.view.log.end() - 3, w.view.log.end()),
              (std::vector<std::string>{"圖片超過1280x960,無法載入", "原圖1300x12,已縮小為1280x12",
                                        "開檔完成,請選擇四種顏色"}));
    ASSERT_EQ(w.session.ShownPicture().Image().size(), QSize(1280, 12));
    for (const auto& [x, y] : {std::pair{5, 5}, {600, 2}, {1100, 9}})
        w.session.Image1MouseDown(x, y);
    w.session.Button2Click();
    // A pick after 執行 is the next round's: the grouping stays one of three.
    w.session.Image1MouseDown(300, 7);
    ASSERT_EQ(w.session.State().ColorCount, 4);
    EXPECT_TRUE(w.session.GroupStatistics().empty()) << "a reduced copy's pixels, not counted yet";
    w.Finish(w.session.ExportGroups(Path("full")));

    // The rule, written out: the squared distance over 3, truncated; the first of the nearest.
    const QuantState& q = w.session.State();
    const auto groupOf = [&q](QRgb p) {
        int best = 0, bestDistance = 1 << 30;
        for (int g = 0; g < q.GroupCount; ++g) {
            const int dr = q.CodeBook[g].R - qRed(p), dg = q.CodeBook[g].G - qGreen(p),
                      db = q.CodeBook[g].B - qBlue(p);
            if (const int d = (dr * dr + dg * dg + db * db) / 3; d < bestDistance) {
                best = g;
                bestDistance = d;
            }
        }
        return best;
    };
    const QImage original =
        QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
    const QDir dir(QString::fromStdString(Path("full")));
    const QImage quantised(dir.filePath("big-quantised.png"));
    ASSERT_EQ(quantised.size(), QSize(1300, 12));
    std::vector<qint64> counts(3);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 1300; ++x) {
            const int g = groupOf(original.pixel(x, y));
            ++counts[g];
            const PixelRec& v = q.CodeBook[g];
            ASSERT_EQ(quantised.pixel(x, y), qRgb(v.R, v.G, v.B)) << x << "," << y;
        }
    }
    for (const GroupStatistic& s : w.session.GroupStatistics())
        EXPECT_EQ(s.pixels, counts[s.group - 1]) << "full-size pixels, group " << s.group;
    // The pixels column of the statistics file.
    const QStringList rows =
        QString::fromStdString(Slurp(Path("full/big-groups.csv"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4);
    for (int g = 0; g < 3; ++g)
        EXPECT_EQ(rows[g + 1].section(',', 5, 5).toLongLong(), counts[g]);
}

// A palette's colours are picked in order, as seeds are, until four are picked: the rest are
// left and the log says how many were taken. A malformed palette picks nothing.
TEST_F(Rounds, PalettesSeedInOrderUntilFourArePicked) {
    const std::string six = Path("six.txt");
    const std::string list = "C80A0A\n0AC80A\n0A0AC8\nC8C80A\nFFFFFF\n000000\n";
    test::WriteFile(six, std::vector<std::uint8_t>(list.begin(), list.end()));
    const std::string bad = Path("bad.gpl");
    const std::string broken = "GIMP Palette\n1 2 3\n300 0 0\n";
    test::WriteFile(bad, std::vector<std::uint8_t>(broken.begin(), broken.end()));
    Window w;
    w.session.SeedsFromFile(six);
    EXPECT_EQ(w.view.log.back(), "尚未載入檔案");
    w.Open(first);
    w.session.Image1MouseDown(kFirstPicks[0].first, kFirstPicks[0].second);
    const auto since = [&w](size_t from) {
        return std::vector(w.view.log.begin() + static_cast<std::ptrdiff_t>(from),
                           w.view.log.end());
    };
    size_t lines = w.view.log.size();
    w.session.SeedsFromFile(six);
    EXPECT_EQ(since(lines),
              (std::vector<std::string>{"選擇顏色2", "選擇顏色3", "選擇顏色4", "選擇顏色完成",
                                        "從調色盤取用3種顏色,共6種"}));
    const std::array<TColor, 3> taken = {PackColor(0xC8, 0x0A, 0x0A), PackColor(0x0A, 0xC8, 0x0A),
                                         PackColor(0x0A, 0x0A, 0xC8)};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(w.session.State().SelColor[i + 1], taken[i]);
    lines = w.view.log.size();
    w.session.SeedsFromFile(six);
    EXPECT_EQ(since(lines),
              (std::vector<std::string>{"選擇顏色完成", "從調色盤取用0種顏色,共6種"}));

    w.session.RepickClick();
    const Snapshot before(w);
    lines = w.view.log.size();
    EXPECT_THROW(w.session.SeedsFromFile(bad), PictureError);
    EXPECT_EQ(Snapshot(w), before) << "a malformed palette picks nothing";
    EXPECT_EQ(w.view.log.size(), lines);

    CountingDialog palettes;
    palettes.Answer(std::nullopt);
    w.session.LoadSeedsClick(palettes);
    EXPECT_EQ(Snapshot(w), before) << "a cancelled dialog picks nothing";
    palettes.Answer(six);
    w.session.LoadSeedsClick(palettes);
    EXPECT_EQ(w.session.State().ColorCount, 4);
    EXPECT_EQ(palettes.asked, 2);
}

// 自動選色 picks as colours entered by value would be picked, the same lines and the same
// round after it; it fills what is left around earlier picks, and with four says so.
TEST_F(Rounds, AutoSeedsArePickedAsColoursEnteredByValue) {
    Window automatic, entered;
    automatic.Open(second);
    entered.Open(second);
    size_t lines = automatic.view.log.size();
    automatic.session.AutoSeedClick();
    EXPECT_EQ(std::vector(automatic.view.log.begin() + static_cast<std::ptrdiff_t>(lines),
                          automatic.view.log.end()),
              (std::vector<std::string>{"選擇顏色1", "選擇顏色2", "選擇顏色3", "選擇顏色4",
                                        "選擇顏色完成"}));
    for (int i = 0; i < kMaxColors; ++i)
        entered.session.Seed(automatic.session.State().SelColor[i]);
    automatic.session.Button2Click();
    entered.session.Button2Click();
    EXPECT_EQ(automatic.view.log, entered.view.log);
    EXPECT_EQ(Snapshot(automatic), Snapshot(entered));

    lines = automatic.view.log.size();
    automatic.session.AutoSeedClick();
    EXPECT_EQ(automatic.view.log.size(), lines + 1);
    EXPECT_EQ(automatic.view.log.back(), "選擇顏色完成");

    // One click, then the other three from the picture around it.
    Window filled;
    filled.session.AutoSeedClick();
    EXPECT_EQ(filled.view.log.back(), "尚未載入檔案");
    filled.Open(second);
    filled.session.Image1MouseDown(kSecondPicks[0].first, kSecondPicks[0].second);
    const TColor clicked = filled.session.State().SelColor[0];
    lines = filled.view.log.size();
    filled.session.AutoSeedClick();
    EXPECT_EQ(filled.session.State().SelColor[0], clicked);
    EXPECT_EQ(std::vector(filled.view.log.begin() + static_cast<std::ptrdiff_t>(lines),
                          filled.view.log.end()),
              (std::vector<std::string>{"選擇顏色2", "選擇顏色3", "選擇顏色4", "選擇顏色完成"}));
}

// A loaded ink table names each group's nearest ink, by CIEDE2000, in the statistics, the CSV
// and the palette of an export; a table that cannot be read leaves the one before.
TEST_F(Rounds, InksNameEachGroupInTheStatisticsAndTheExport) {
    const std::string inks = Path("inks.gpl"), bad = Path("bad.txt");
    const std::string table =
        "GIMP Palette\nName: riso\n255 0 0\tBright Red\n0 120 191\tBlue, \"medium\"\n"
        "0 169 92\tGreen\n255 232 0\tYellow\n";
    test::WriteFile(inks, std::vector<std::uint8_t>(table.begin(), table.end()));
    test::WriteFile(bad, {'x', '\n'});
    Window w;
    w.session.LoadInks(inks);
    EXPECT_EQ(w.view.log.back(), "載入油墨色表inks.gpl,共4種油墨");
    EXPECT_THROW(w.session.LoadInks(bad), PictureError);
    CountingDialog cancelled;
    w.session.LoadInksClick(cancelled);
    w.Open(first);
    for (const auto& [x, y] : kFirstPicks)
        w.session.Image1MouseDown(x, y);
    w.session.Button2Click();

    // The quadrants are red, green, blue and yellow.
    const std::vector<std::string> names = {"Bright Red", "Green", "Blue, \"medium\"", "Yellow"};
    const std::vector<GroupStatistic> statistics = w.session.GroupStatistics();
    ASSERT_EQ(statistics.size(), 4u);
    for (size_t g = 0; g < 4; ++g) {
        ASSERT_TRUE(statistics[g].ink) << g;
        EXPECT_EQ(statistics[g].ink->name, names[g]);
        EXPECT_EQ(w.session.InkColours()[g], statistics[g].ink->colour);
    }
    w.Finish(w.session.ExportGroups(Path("out")));
    const QStringList rows =
        QString::fromStdString(Slurp(Path("out/first-groups.csv"))).split('\n');
    EXPECT_EQ(rows[0], "group,hex,red,green,blue,pixels,percent,area_cm2,ink,delta_e");
    EXPECT_TRUE(rows[3].endsWith(QString::fromStdString(",\"Blue, \"\"medium\"\"\"," +
                                                        DeltaEText(statistics[2].ink->deltaE))))
        << rows[3].toStdString();
    const QStringList palette =
        QString::fromStdString(Slurp(Path("out/first-groups.gpl"))).split('\n');
    for (int g = 0; g < 4; ++g)
        EXPECT_TRUE(palette[3 + g].endsWith("\t" + QString::fromStdString(names[g])));
}

// Asks the work to stop once it has come a part of its way (0: before it starts).
class StopAt : public Progress {
public:
    explicit StopAt(double part) : part_(part), stop_(part <= 0) {}
    void Advance(qint64 done, qint64 total) override {
        if (total > 0 && static_cast<double>(done) >= part_ * static_cast<double>(total))
            stop_ = true;
    }
    bool StopRequested() const override { return stop_; }

private:
    double part_;
    std::atomic<bool> stop_;
};

// Every file in a folder, hidden ones included, with its bytes.
std::map<QString, std::string> Contents(const QString& folder) {
    std::map<QString, std::string> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files[name] = Slurp((folder + "/" + name).toStdString());
    return files;
}

// Stopped before it starts, on its way or after its last band, long work changes nothing and
// one log line says so: a reduced copy being made leaves the picture and round that were
// there; the full-size counting leaves the groups uncounted; an export leaves the folder as it
// was, byte for byte, with no temporary.
TEST_F(Rounds, StoppedWorkChangesNothing) {
    test::NeedGui();
    // Tall enough for several bands at full size.
    QImage photo(1300, 4000, QImage::Format_RGB32);
    const std::vector<TColor> pixels = test::PhotoLike(1300, 4000, 5);
    for (int y = 0; y < 4000; ++y)
        for (int x = 0; x < 1300; ++x) {
            const TColor c = pixels[static_cast<size_t>(y) * 1300 + x];
            photo.setPixel(x, y, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
        }
    const std::string tall = Path("tall.jpg");
    ASSERT_TRUE(photo.save(QString::fromStdString(tall), "jpeg"));
    const QString folder = QString::fromStdString(Path("stopped"));
    QDir().mkpath(folder);
    // And with every setting that adds a step: a map, cleanup, trap, marks, the PDF, shapes.
    ExportSettings print;
    print.minRegion = 20;
    print.trap = 2;
    print.marks = print.pdf = print.svg = true;
    for (const std::string& name : ExportFileNames("tall", 2, print))
        test::WriteFile((folder + "/").toStdString() + name, {'o', 'l', 'd'});
    const std::map<QString, std::string> old = Contents(folder);
    const auto tail = [](const Window& w, size_t from) {
        return std::vector(w.view.log.begin() + static_cast<std::ptrdiff_t>(from),
                           w.view.log.end());
    };
    for (const double part : {0.0, 0.3, 0.6, 1.0}) {
        SCOPED_TRACE(part);
        Window opening;
        opening.Open(first);
        for (const auto& [x, y] : kFirstPicks)
            opening.session.Image1MouseDown(x, y);
        opening.session.Button2Click();
        const Snapshot round(opening);
        const size_t lines = opening.view.log.size();
        opening.open.Answer(tall);
        StopAt stopOpening(part);
        RunToEnd(*opening.session.Button1Click().work, stopOpening);
        EXPECT_EQ(Snapshot(opening), round);
        EXPECT_EQ(opening.session.State().OpenFileName, first);
        EXPECT_EQ(tail(opening, lines),
                  (std::vector<std::string>{"圖片超過1280x960,無法載入", "已取消開檔"}));

        for (const ExportSettings& settings : {ExportSettings{}, print}) {
            Window w;
            w.session.SetExportSettings(settings);
            w.Open(tall);
            w.session.Image1MouseDown(10, 10);
            w.session.Image1MouseDown(200, 300);
            w.session.Button2Click();
            const Snapshot grouped(w);
            const size_t before = w.view.log.size();
            StopAt stopCounting(part);
            RunToEnd(*w.session.CountFullSize(), stopCounting);
            EXPECT_TRUE(w.session.GroupStatistics().empty()) << "not counted";
            StopAt stopExport(part);
            RunToEnd(*w.session.ExportGroups(folder.toStdString()), stopExport);
            EXPECT_EQ(Contents(folder), old);
            EXPECT_EQ(Snapshot(w), grouped);
            EXPECT_EQ(tail(w, before), (std::vector<std::string>{"已取消統計", "已取消匯出"}));
        }
    }
}

// Larger than a reduced copy is made from: refused from the headers, naming the size, before
// any pixel is read (these files hold none to read) and without asking. A hundred megapixels
// exactly are not.
TEST_F(Rounds, PicturesOverAHundredMegapixelsAreRefusedFromTheirHeaders) {
    std::vector<std::uint8_t> bmp = test::EncodeBmp(test::RgbImage{1, 1, {0}}, 24);
    test::PutLe32(bmp, test::kBmpWidthOffset, 12001);
    test::PutLe32(bmp, test::kBmpHeightOffset, 8333);
    QImage tiny(1, 1, QImage::Format_RGB32);
    tiny.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    tiny.save(&buffer, "png");
    png[16] = 0, png[17] = 0, png[18] = char(0x75), png[19] = 0x30;  // 30000 wide
    png[20] = 0, png[21] = 0, png[22] = char(0x75), png[23] = 0x30;  // 30000 high
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* size;
    } files[] = {{"bomb.bmp", bmp, "12001 x 8333"},
                 {"bomb.png", {png.begin(), png.end()}, "30000 x 30000"}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        Window w;
        w.Open(first);
        const Snapshot before(w);
        test::WriteFile(Path(f.name), f.bytes);
        try {
            w.Open(Path(f.name));
            ADD_FAILURE() << "opened";
        } catch (const PictureError& e) {
            EXPECT_NE(texts::Describe(e).toStdString().find(f.size), std::string::npos)
                << texts::Describe(e).toStdString();
        }
        EXPECT_TRUE(w.view.sizesAsked.empty());
        EXPECT_EQ(w.view.log.back(), "圖片超過1280x960,無法載入");
        EXPECT_EQ(Snapshot(w), before);
    }
    // A hundred megapixels exactly is reduced: the question is asked (and declined here).
    test::PutLe32(bmp, test::kBmpWidthOffset, 10000);
    test::PutLe32(bmp, test::kBmpHeightOffset, 10000);
    test::WriteFile(Path("hundred.bmp"), bmp);
    Window w;
    w.view.reduce = false;
    EXPECT_NO_THROW(w.Open(Path("hundred.bmp")));
    EXPECT_EQ(w.view.sizesAsked.size(), 1u);
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// 復原選色 takes back picks made since the last execute, one at a time, the swatch blank again;
// 重新選色 begins a new round on the picture as opened.
TEST_F(Rounds, PicksCanBeTakenBackUntilAnExecuteAndStartedOver) {
    Window w;
    w.session.UnpickClick();
    EXPECT_EQ(w.view.log.size(), 1u) << "nothing to take back: nothing at all";
    w.Open(first);
    const Snapshot opened(w);
    const auto [a, b, c, d] = kFirstPicks;
    w.session.Image1MouseDown(a.first, a.second);
    const Snapshot onePick(w);
    w.session.Image1MouseDown(b.first, b.second);
    w.session.UnpickClick();
    EXPECT_EQ(w.view.log.back(), "取消選擇顏色2");
    EXPECT_EQ(Snapshot(w), onePick) << "as before the second pick, swatch and all";
    w.session.UnpickClick();
    EXPECT_EQ(w.view.log.back(), "取消選擇顏色1");
    EXPECT_EQ(Snapshot(w), opened);

    // After an execute its picks stay; a pick after it can be taken back.
    w.session.Image1MouseDown(a.first, a.second);
    w.session.Image1MouseDown(b.first, b.second);
    w.session.Button2Click();
    const Snapshot executed(w);
    const size_t lines = w.view.log.size();
    w.session.UnpickClick();
    EXPECT_EQ(w.view.log.size(), lines);
    EXPECT_EQ(Snapshot(w), executed);
    w.session.Image1MouseDown(c.first, c.second);
    w.session.UnpickClick();
    EXPECT_EQ(w.view.log.back(), "取消選擇顏色3");
    EXPECT_EQ(Snapshot(w), executed);

    // Starting over after an execute and a mask: as right after the open, the picture too.
    w.session.Button7Click(1);
    w.session.RepickClick();
    EXPECT_EQ(w.view.log.back(), "請重新選擇四種顏色");
    EXPECT_EQ(Snapshot(w), opened);
    for (const auto& [x, y] : kFirstPicks)
        w.session.Image1MouseDown(x, y);
    EXPECT_EQ(w.session.State().ColorCount, 4);
}

}  // namespace
}  // namespace colorsplit
