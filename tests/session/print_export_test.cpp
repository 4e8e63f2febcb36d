// The export's settings for printing and cutting: refused when they cannot be used, remembered
// as they were, and what each does to the files, held against what the window shows.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <map>
#include <set>

#include "platform/film_marks.h"
#include "platform/picture_error.h"
#include "session/export.h"
#include "session/export_settings.h"
#include "session/file_dialog.h"
#include "session/session.h"
#include "session/texts.h"
#include "support/bmp_builder.h"
#include "support/gui_app.h"
#include "support/photo.h"
#include "support/quiet_view.h"

namespace colorsplit {
namespace {

TEST(ExportSettingsTest, SettingsThatCannotBeUsedAreRefusedNamingTheSetting) {
    const auto with = [](auto change) {
        ExportSettings s;
        change(s);
        return s;
    };
    const struct {
        const char* name;
        ExportSettings settings;
        std::optional<ExportSetting> refused;
    } cases[] = {
        {"the defaults", {}, std::nullopt},
        {"all on", with([](ExportSettings& s) {
             s.minRegion = 20, s.connectivity = 8, s.trap = 64, s.marks = s.pdf = s.svg = true;
         }),
         std::nullopt},
        {"a negative region", with([](ExportSettings& s) { s.minRegion = -1; }),
         ExportSetting::kMinRegion},
        {"connectivity 6", with([](ExportSettings& s) { s.connectivity = 6; }),
         ExportSetting::kConnectivity},
        {"cleanup and dither", with([](ExportSettings& s) { s.minRegion = 5, s.dither = true; }),
         ExportSetting::kCleanupAndDither},
        {"0 dpi", with([](ExportSettings& s) { s.dpi = 0; }), ExportSetting::kDpi},
        {"a width that makes 40000 dpi", with([](ExportSettings& s) { s.printWidthMm = 0.64; }),
         ExportSetting::kDpi},
        {"65 pixels of trap", with([](ExportSettings& s) { s.trap = 65; }), ExportSetting::kTrap},
        // 6 mm at 300 dpi are 71 pixels.
        {"6 mm of trap", with([](ExportSettings& s) { s.trap = 6, s.trapInMillimetres = true; }),
         ExportSetting::kTrap},
        {"negative smoothing", with([](ExportSettings& s) { s.smooth = -0.5; }),
         ExportSetting::kSmooth},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.settings.Check(QSize(1000, 800));
            EXPECT_FALSE(c.refused) << "accepted";
        } catch (const PictureError& e) {
            ASSERT_TRUE(c.refused) << texts::Describe(e).toStdString();
            EXPECT_EQ(e.Cause().kind, Problem::kBadSetting);
            EXPECT_EQ(e.Cause().a, static_cast<qint64>(*c.refused));
            EXPECT_FALSE(texts::Describe(e).isEmpty());
        }
    }
}

TEST(ExportSettingsTest, PrintSizeFollowsTheResolutionOrTheWidth) {
    ExportSettings s;
    EXPECT_DOUBLE_EQ(s.Resolution(1000), 300);
    s.printWidthMm = 254;  // ten inches
    EXPECT_DOUBLE_EQ(s.Resolution(1000), 100);
    s.trap = 0.508;  // two hundredths of an inch
    s.trapInMillimetres = true;
    EXPECT_EQ(s.TrapPixels(1000), 2);
    EXPECT_DOUBLE_EQ(s.AreaCm2(10000, 1000), 10000 * 0.0254 * 0.0254);
}

TEST(ExportSettingsTest, RememberedSettingsComeBackAndNonsenseFallsToDefaults) {
    ExportSettings s;
    s.minRegion = 33;
    s.connectivity = 8;
    s.trap = 0.2;
    s.trapInMillimetres = true;
    s.printWidthMm = 180;
    s.marks = s.pdf = s.svg = s.inkColours = true;
    s.smooth = 1.25;
    EXPECT_EQ(ExportSettings::FromJson(s.ToJson()), s);
    QJsonObject nonsense = s.ToJson();
    nonsense["minRegion"] = -4;
    nonsense["connectivity"] = 5;
    nonsense["dpi"] = "many";
    nonsense["smooth"] = 99;
    nonsense["dither"] = true;  // with cleanup: one of them only
    const ExportSettings read = ExportSettings::FromJson(nonsense);
    EXPECT_EQ(read.minRegion, 0);
    EXPECT_EQ(read.connectivity, 4);
    EXPECT_EQ(read.dpi, 300);
    EXPECT_EQ(read.smooth, ExportSettings::kDefaultSmoothing);
    EXPECT_TRUE(read.dither);
    EXPECT_NO_THROW(read.Check(QSize(100, 100)));
}

// A photo-like picture as large as the table: two bands, so that every pass crosses a band edge.
class PrintExport : public ::testing::Test {
protected:
    static constexpr int kW = 1280, kH = 960;
    PrintExport() : session(view, open, save, folder) {
        test::NeedGui();
        test::RgbImage photo{kW, kH, {}};
        for (const TColor c : test::PhotoLike(kW, kH, 11))
            photo.rgb.push_back(
                static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)));
        const std::string file = dir.filePath("photo.bmp").toStdString();
        test::WriteFile(file, test::EncodeBmp(photo, 24));
        session.FormCreate();
        const Opening opening = session.OpenFile(file);
        if (opening.work)
            RunToEnd(*opening.work, quietly);
        for (const auto& [x, y] : {std::pair{10, 10}, {900, 100}, {300, 700}, {1200, 900}})
            session.Image1MouseDown(x, y);
        session.Button2Click();
    }
    // The files of an export with these settings, in a folder of their own.
    QString Export(const ExportSettings& settings, const char* name) {
        session.SetExportSettings(settings);
        const QString out = dir.filePath(QString::fromLatin1(name));
        RunToEnd(*session.ExportGroups(out.toStdString()), quietly);
        return out;
    }
    static QImage Read(const QString& path) {
        return QImage(path).convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir dir;
    test::QuietView view;
    ScriptedDialog open, save, folder;
    Session session;
    NoProgress quietly;
};

TEST_F(PrintExport, TheSplitShownIsTheSplitExportedAndCounted) {
    ExportSettings cleanup;
    cleanup.minRegion = 40;
    cleanup.connectivity = 8;
    ExportSettings dither;
    dither.dither = true;
    for (const auto& [name, settings] :
         {std::pair{"plain", ExportSettings{}}, std::pair{"cleanup", cleanup},
          std::pair{"dither", dither}}) {
        SCOPED_TRACE(name);
        const QString out = Export(settings, name);
        const GroupedPicture shown = session.ShownGrouping();
        const QImage quantised = Read(out + "/photo-quantised.png");
        ASSERT_EQ(quantised.size(), QSize(kW, kH));
        std::vector<qint64> counts(shown.colours.size());
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::uint8_t g = shown.groups[static_cast<size_t>(y) * kW + x];
                ++counts[g];
                ASSERT_EQ(quantised.pixel(x, y), shown.colours[g] | 0xFF000000u) << x << "," << y;
            }
        const std::vector<GroupStatistic> statistics = session.GroupStatistics();
        ASSERT_EQ(statistics.size(), counts.size());
        for (size_t g = 0; g < counts.size(); ++g)
            EXPECT_EQ(statistics[g].pixels, counts[g]) << "group " << g + 1;
        QFile csv(out + "/photo-groups.csv");
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        EXPECT_EQ(csv.readAll(), GroupsCsv(statistics));
    }
    // The settings change the groups, not the table.
    EXPECT_EQ(session.TableGroupCounts()[0] + session.TableGroupCounts()[1] +
                  session.TableGroupCounts()[2] + session.TableGroupCounts()[3],
              qint64{kW} * kH);
}

TEST_F(PrintExport, EveryPictureSaysItsPrintSize) {
    ExportSettings wide;
    wide.printWidthMm = 325.12;  // 12.8 inches: 1280 pixels at 100 dpi
    for (const auto& [name, settings, dpi] :
         {std::tuple{"300", ExportSettings{}, 300.0}, std::tuple{"wide", wide, 100.0}}) {
        const QString out = Export(settings, name);
        const QStringList pngs = QDir(out).entryList({"*.png"});
        ASSERT_EQ(pngs.size(), 9);
        for (const QString& png : pngs) {
            const QImage image(out + '/' + png);
            EXPECT_EQ(image.dotsPerMeterX(), std::lround(dpi / 0.0254)) << png.toStdString();
            EXPECT_EQ(image.dotsPerMeterY(), std::lround(dpi / 0.0254)) << png.toStdString();
        }
    }
}

TEST_F(PrintExport, TrapSpreadsLighterFilmsOnly) {
    const QString plain = Export({}, "plain");
    ExportSettings trapped;
    trapped.trap = 3;
    const QString out = Export(trapped, "trapped");
    EXPECT_EQ(Read(out + "/photo-quantised.png"), Read(plain + "/photo-quantised.png"));
    int spread = 0;
    for (int n = 1; n <= 4; ++n) {
        const QString layer = QStringLiteral("/photo-group%1.png").arg(n);
        EXPECT_EQ(QImage(out + layer), QImage(plain + layer)) << "layer " << n;
        const QString film = QStringLiteral("/photo-group%1-film.png").arg(n);
        const QImage before = Read(plain + film), after = Read(out + film);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const bool was = qGray(before.pixel(x, y)) == 0, is = qGray(after.pixel(x, y)) == 0;
                ASSERT_TRUE(is || !was) << "film " << n << " lost " << x << "," << y;
                spread += is && !was;
            }
    }
    EXPECT_GT(spread, 0);
}

// Marks go round the film on its sheet; the picture's own pixels inside stay the film's.
TEST_F(PrintExport, MarkedFilmsAreTheFilmsOnTheirSheets) {
    ExportSettings trapped;
    trapped.trap = 2;
    const QString plain = Export(trapped, "plain");
    ExportSettings marked = trapped;
    marked.marks = marked.pdf = marked.svg = true;
    const QString out = Export(marked, "marked");
    QStringList names;
    for (const std::string& name : ExportFileNames("photo", 4, marked))
        names << QString::fromStdString(name);
    names.sort();
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name), names);
    const int margin = FilmSheet(QSize(kW, kH), 300).Margin();
    ASSERT_GT(margin, 100);  // 10 mm at 300 dpi
    for (int n = 1; n <= 4; ++n) {
        const QString film = QStringLiteral("/photo-group%1-film.png").arg(n);
        const QImage sheet = Read(out + film);
        ASSERT_EQ(sheet.size(), QSize(kW + 2 * margin, kH + 2 * margin));
        EXPECT_EQ(sheet.copy(margin, margin, kW, kH), Read(plain + film)) << film.toStdString();
        int marks = 0;
        for (int x = 0; x < sheet.width(); ++x)
            marks += qGray(sheet.pixel(x, sheet.height() - margin / 2)) == 0;
        EXPECT_GT(marks, 0) << "the label's row";
    }
}

TEST_F(PrintExport, BadSettingsWriteNothing) {
    ExportSettings wide;
    wide.trap = 2;
    wide.trapInMillimetres = true;
    wide.printWidthMm = 10;  // 2794 dpi: 2 mm are 220 pixels
    session.SetExportSettings(wide);
    const QString out = dir.filePath("refused");
    EXPECT_THROW(session.ExportGroups(out.toStdString()), PictureError);
    EXPECT_FALSE(QFileInfo::exists(out));
}

}  // namespace
}  // namespace colorsplit
