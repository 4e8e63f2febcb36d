// End-to-end runs of the built colorsplit-cli, with no display in its environment.
#define QTEST_QPA_MOUSE_HANDLING
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "platform/picture.h"
#include "support/bmp_builder.h"
#include "support/malformed.h"
#include "support/photo.h"
#include "support/pictures.h"
#include "support/profiles.h"
#include "support/qt_printers.h"
#include "ui/picture_view.h"
#include "ui/radio_group.h"
#include "ui/tform1.h"

namespace colorsplit {
namespace {

struct CliRun {
    int status = -1;
    QStringList out;
    QString err;
};

CliRun RunProgram(const QString& program, const QStringList& args,
                  const QStringList& extraEnvironment = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& setting : extraEnvironment)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(60000));
    CliRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    QString out = QString::fromUtf8(process.readAllStandardOutput());
    if (out.endsWith('\n'))
        out.chop(1);
    run.out = out.isEmpty() ? QStringList() : out.split('\n');
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

CliRun RunCli(const QStringList& args, const QStringList& extraEnvironment = {}) {
    return RunProgram(QStringLiteral(COLORSPLIT_CLI), args, extraEnvironment);
}

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        quadrants = Path("quadrants.bmp");
        test::WriteFile(quadrants.toStdString(), test::EncodeBmp(test::QuadrantPicture(), 24));
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    // The base pixel of each quadrant as "pick X Y".
    static QStringList PickBases() {
        // A named list: operator+ on QStringList wants lvalues on both sides.
        QStringList args;
        for (int q = 0; q < 4; ++q) {
            int x = 0, y = 0;
            test::BasePixelOf(q, x, y);
            args << "pick" << QString::number(x) << QString::number(y);
        }
        return args;
    }
    static QJsonObject ReadJson(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return doc.object();
    }

    QTemporaryDir dir;
    QString quadrants;
};

TEST_F(CliTest, WholeUsePrintsTheLogWritesTheSummaryAndTheMaskedPicture) {
    const QString out = Path("out.bmp");
    const QString summary = Path("summary.json");
    const CliRun run = RunCli(QStringList{"--summary", summary, "open", quadrants} + PickBases() +
                              QStringList{"execute", "mask", "2", "save", out, "mean"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    ASSERT_EQ(run.out.size(), 8 + 2 + 2 * 5 + 2);
    EXPECT_EQ(run.out.mid(0, 3),
              QStringList({Q("程式資訊"), Q("尚未載入檔案"), Q("開檔完成,請選擇四種顏色")}));
    EXPECT_EQ(run.out[19], Q("代表顏色4值為") + QString::number(PackColor(0xC8, 0xC8, 0x0A)));
    EXPECT_EQ(run.out.mid(20), QStringList({Q("運算完成,請執行Mask,共計執行2回"), Q("處理完成")}));

    const QJsonObject s = ReadJson(summary);
    EXPECT_EQ(s["run_count"].toInt(), 2);
    EXPECT_EQ(s["color_count"].toInt(), 4);
    EXPECT_TRUE(s["mask_done"].toBool());
    EXPECT_EQ(s["group_counts"].toArray(), QJsonArray({360, 360, 360, 360}));
    EXPECT_EQ(s["code_book"].toArray()[1].toArray(), QJsonArray({10, 200, 10}));
    // 3 x 120 of each quadrant's 360 pixels lie 5 away from its base: 25 / 3 = 8 each.
    EXPECT_EQ(s["distortion"].toDouble(), 4 * 240 * 8);
    EXPECT_EQ(s["last_distortion"].toDouble(), 4 * 240 * 8);
    const QJsonArray swatches = s["swatches"].toArray();
    ASSERT_EQ(swatches.size(), 5);
    EXPECT_EQ(swatches[0].toInteger(), PackColor(0xC8, 0x0A, 0x0A));
    // The mean is taken from the masked picture: only the top-right quadrant is left.
    EXPECT_EQ(swatches[4].toInteger(), s["mean_color"].toInteger());
    EXPECT_EQ(s["mean_color"].toInteger(), PackColor(10 / 4, 200 / 4, 10 / 4));

    Picture saved;
    saved.LoadFromFile(out.toStdString());
    EXPECT_EQ(saved.GetPixel(0, 0), 0);
    EXPECT_EQ(saved.GetPixel(20, 0), PackColor(10, 205, 10));
}

TEST_F(CliTest, CommandsWithoutAPictureSaySoAndAnOpenStartsANewRound) {
    const QString summary = Path("s.json");
    const CliRun run = RunCli({"--summary", summary, "pick", "3",       "4",    "execute", "mask",
                               "2",         "mean",  "open", quadrants, "pick", "1",       "0",
                               "pick",      "1000",  "1000", "execute", "open", quadrants});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QString none = Q("尚未載入檔案");
    const QString opened = Q("開檔完成,請選擇四種顏色");
    EXPECT_EQ(run.out.mid(0, 6), QStringList({Q("程式資訊"), none, none, none, none, none}));
    EXPECT_EQ(run.out.mid(6, 2), QStringList({opened, Q("選擇顏色1")})) << "1000 1000 is beside";
    EXPECT_EQ(run.out.back(), opened);
    const QJsonObject s = ReadJson(summary);
    EXPECT_EQ(s["swatches"].toArray(),
              QJsonArray({QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue()}));
    EXPECT_EQ(s["color_count"].toInt(), 0);
    EXPECT_EQ(s["run_count"].toInt(), 0);
    EXPECT_EQ(s["sel_color"].toArray()[0].toInt(), 0);
    EXPECT_EQ(s["last_distortion"].toDouble(), 65536.0);
    EXPECT_EQ(s["group_counts"].toArray(), QJsonArray({36 * 40, 0, 0, 0}));
}

TEST_F(CliTest, AFailingCommandStopsTheRunWithOneLineOnStandardError) {
    const QString broken = Path("broken.bmp");
    test::WriteFile(broken.toStdString(), test::MalformedBmps().back().bytes);
    const QString wide = Path("wide.bmp");
    test::WriteFile(wide.toStdString(),
                    test::EncodeBmp({1281, 2, std::vector<std::uint32_t>(1281 * 2, 0x123456)}, 24));
    const struct {
        QStringList args;
        int linesBefore;
        QString said;
    } cases[] = {
        {{"open", Path("missing.bmp"), "pick", "1", "1"}, 2, {}},
        {{"open", dir.path()}, 2, {}},
        {{"save", Path("nothing.bmp")}, 2, {}},
        {{"open", broken, "mean"}, 2, {}},
        {{"open", quadrants, "save", Path("no/such/dir/x.bmp"), "mean"}, 3, {}},
        // The log line, then the failure: nothing is saved as if the wide picture were shown.
        {{"open", quadrants, "open", wide, "save", Path("nothing.bmp")}, 4, wide + " 1281 x 2"},
        {{"export", Path("nothing")}, 2, {}},
        {{"open", quadrants, "pick", "1", "1", "export", Path("nothing")}, 4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run = RunCli(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out.size(), c.linesBefore);
        EXPECT_TRUE(run.err.startsWith("colorsplit-cli: ")) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1);
        for (const QString& word : c.said.split(' ', Qt::SkipEmptyParts))
            EXPECT_TRUE(run.err.contains(word)) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(Path("nothing.bmp")));
    EXPECT_FALSE(QFile::exists(Path("nothing")));
}

// Seeds by value pick as clicks on pixels of those colours do; export writes every file into
// a folder it makes, and the summary gives each group's share.
TEST_F(CliTest, SeedsExportAndTheSummarysGroups) {
    const CliRun clicked =
        RunCli(QStringList{"open", quadrants} + PickBases() + QStringList{"execute"});
    const QString folder = Path("out/deep");
    const CliRun seeded =
        RunCli({"--summary", Path("s.json"), "open", quadrants, "seed", "C80A0A", "seed", "#0ac80a",
                "seed", "0a0AC8", "seed", "#C8C80A", "execute", "export", folder});
    ASSERT_EQ(seeded.status, 0) << seeded.err.toStdString();
    EXPECT_EQ(seeded.out.mid(0, seeded.out.size() - 1), clicked.out);
    EXPECT_EQ(seeded.out.back(), Q("匯出完成,檔案存於") + folder);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1 + 2 * 4 + 2);

    // The exported palette seeds the next run as the seeds did.
    const CliRun palette =
        RunCli({"open", quadrants, "seeds", folder + "/quadrants-groups.gpl", "execute"});
    ASSERT_EQ(palette.status, 0) << palette.err.toStdString();
    EXPECT_EQ(palette.out.mid(0, 8), clicked.out.mid(0, 8)) << "the four picks, and done";
    EXPECT_EQ(palette.out[8], Q("從調色盤取用4種顏色,共4種"));
    EXPECT_EQ(palette.out.mid(9), clicked.out.mid(8)) << "the same run";

    const QJsonArray groups = ReadJson(Path("s.json"))["groups"].toArray();
    const char* hex[] = {"#C80A0A", "#0AC80A", "#0A0AC8", "#C8C80A"};
    ASSERT_EQ(groups.size(), 4);
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(
            groups[n].toObject(),
            (QJsonObject{{"group", n + 1}, {"hex", hex[n]}, {"pixels", 360}, {"percent", 25}}));
}

TEST_F(CliTest, MalformedCommandLinesAreRefusedBeforeAnythingRuns) {
    const QString out = Path("never.bmp");
    const QStringList bad[] = {
        {},
        {"frobnicate"},
        {"open"},
        {"pick", "1"},
        {"pick", "1", "y"},
        {"pick", "1575", "0"},
        {"pick", "0", "1181"},
        {"pick", "-1", "0"},
        {"pick", "1.5", "0"},
        {"mask", "0"},
        {"mask", "5"},
        {"--summary"},
        {"open", quadrants, "save", out, "mask"},
        {"seed"},
        {"seed", "12345"},
        {"seed", "#1234567"},
        {"seed", "GG0000"},
        {"seed", "+12345"},
        {"seed", "##123456"},
        {"export"},
        {"--frobnicate", "open", quadrants},
        {"--inks"},
        {"open", quadrants, "autoseed", "4"},
        // The export's settings: every malformed value.
        {"--min-region", "-1", "open", quadrants},
        {"--min-region", "2.5", "open", quadrants},
        {"--min-region"},
        {"--connect", "6", "open", quadrants},
        {"--trap", "65", "open", quadrants},
        {"--trap", "-1", "open", quadrants},
        {"--dpi", "0", "open", quadrants},
        {"--dpi", "lots", "open", quadrants},
        {"--smooth", "11", "open", quadrants},
        {"--print-width", "0", "open", quadrants},
        {"--dither", "--min-region", "20", "open", quadrants},
        {"--min-region", "20", "--dither", "open", quadrants},
    };
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains("Usage:"));
    }
    EXPECT_FALSE(QFile::exists(out));

    const CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"open PATH", "pick X Y", "execute", "mask N", "save PATH", "mean"})
        EXPECT_TRUE(help.out.join('\n').contains(command)) << command;
    EXPECT_EQ(RunCli({"--version"}).status, 0);
}

// The export's options reach every export, alone and in a batch: the files they add, and
// nothing on standard error while the labels' fonts are found.
TEST_F(CliTest, ExportOptionsAddTheirFiles) {
    const QStringList print = {"--min-region", "5", "--trap", "1", "--marks", "--pdf", "--svg"};
    const QString folder = Path("films");
    const CliRun run = RunCli(print + QStringList{"open", quadrants} + PickBases() +
                              QStringList{"execute", "export", folder});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QStringList files = QDir(folder).entryList(QDir::Files);
    EXPECT_EQ(files.size(), 1 + 2 * 4 + 2 + 1 + 1 + 4) << files.join(' ').toStdString();
    // A film on its sheet: 10 mm a side at 300 dpi.
    EXPECT_EQ(QImage(folder + "/quadrants-group1-film.png").width(),
              2 * test::kQuadrantWidth + 236);
    const CliRun batch =
        RunCli(QStringList{"batch"} + print +
               QStringList{"--seed", "C80A0A", "--seed", "0AC80A", "--seed", "0A0AC8", "--seed",
                           "C8C80A", "--export", Path("batch"), quadrants});
    ASSERT_EQ(batch.status, 0) << batch.err.toStdString();
    EXPECT_EQ(QDir(Path("batch")).entryList(QDir::Files), files);
}

// save writes the format the name says, JPEG within its loss and the others exactly; a name
// without an extension gets .bmp, one of a picture format not written is refused naming those
// written, and nothing is written.
TEST_F(CliTest, SaveWritesTheFormatItsNameSays) {
    const struct {
        const char* name;
        const char* written;  // null: refused
        QByteArray begins;
        int tolerance = 0;
    } cases[] = {
        {"out.png", "out.png", QByteArray("\x89PNG", 4)},
        {"OUT.PNG", "OUT.PNG", QByteArray("\x89PNG", 4)},
        {"out.tif", "out.tif", QByteArray("II*\0", 4)},
        {"out.tiff", "out.tiff", QByteArray("II*\0", 4)},
        {"out", "out.bmp", QByteArray("BM")},
        {"out.bmp", "out.bmp", QByteArray("BM")},
        {"out.data", "out.data", QByteArray("BM")},
        {"out.jpg", "out.jpg", QByteArray("\xFF\xD8\xFF", 3), 12},
        {"out.JPEG", "out.JPEG", QByteArray("\xFF\xD8\xFF", 3), 12},
        {"out.webp", "out.webp", QByteArray("RIFF")},
        {"out.gif", nullptr, {}},
        {"out.heic", nullptr, {}},
        {"out.avif", nullptr, {}},
        {"out.jxl", nullptr, {}},
    };
    const QImage shown = Picture::ReadFile(quadrants.toStdString());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(Path(c.name));
        if (c.written != nullptr)
            QFile::remove(Path(c.written));
        const CliRun run = RunCli({"open", quadrants, "save", Path(c.name)});
        if (c.written == nullptr) {
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(run.err.contains(
                QStringLiteral("無法儲存為 %1 圖片(可儲存為 BMP、PNG、JPEG、TIFF 與 WebP)")
                    .arg(QFileInfo(c.name).suffix().toUpper())))
                << run.err.toStdString();
            EXPECT_FALSE(QFile::exists(Path(c.name)));
            continue;
        }
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        QFile file(Path(c.written));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.read(4).startsWith(c.begins));
        const QImage back = Picture::ReadFile(Path(c.written).toStdString());
        ASSERT_EQ(back.size(), shown.size());
        int most = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                for (const int shift : {16, 8, 0})
                    most = std::max(most, std::abs(int((back.pixel(x, y) >> shift) & 0xFF) -
                                                   int((shown.pixel(x, y) >> shift) & 0xFF)));
        EXPECT_LE(most, c.tolerance);
    }
}

// The same sequence in the window and in the batch program: the same log and the same state.
TEST_F(CliTest, AgreesWithTheWindow) {
    auto open = std::make_unique<ScriptedDialog>();
    auto save = std::make_unique<ScriptedDialog>();
    ScriptedDialog* openDialog = open.get();
    TForm1 form(std::move(open), std::move(save));
    form.SetErrorReporter([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
    form.show();

    openDialog->Answer(quadrants.toStdString());
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    // One click lands on Image1 beyond the picture, where the frame still shows it: no pick.
    const QPoint picks[] = {{3, 7}, {25, 3}, {400, 300}, {30, 33}};
    QStringList args = {"--summary", Path("s.json"), "open", quadrants};
    for (const QPoint& p : picks) {
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, p);
        args << "pick" << QString::number(p.x()) << QString::number(p.y());
    }
    QTest::mouseClick(form.Button2, Qt::LeftButton);
    form.RadioGroup1->SetItemIndex(2);
    QTest::mouseClick(form.Button7, Qt::LeftButton);
    QTest::mouseClick(form.Button5, Qt::LeftButton);
    QTest::mouseClick(form.Button2, Qt::LeftButton);
    form.RadioGroup1->SetItemIndex(0);
    QTest::mouseClick(form.Button7, Qt::LeftButton);
    args << "execute"
         << "mask"
         << "3"
         << "mean"
         << "execute"
         << "mask"
         << "1";

    const CliRun run = RunCli(args);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, form.LogLines());
    const QJsonObject s = ReadJson(Path("s.json"));
    const QuantState& state = form.State();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(s["sel_color"].toArray()[k].toInteger(), state.SelColor[k]);
        EXPECT_EQ(s["code_book"].toArray()[k].toArray(),
                  QJsonArray({state.CodeBook[k].R, state.CodeBook[k].G, state.CodeBook[k].B}));
    }
    EXPECT_EQ(s["distortion"].toDouble(), state.Distortion);
    EXPECT_EQ(s["run_count"].toInt(), state.RunCount);
    EXPECT_EQ(s["mean_color"].toInteger(), state.MeanColor);
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// Memory the decoder did not write would show as different pixels when malloc fills new
// blocks differently (glibc's MALLOC_PERTURB_).
TEST_F(CliTest, RleFilesDecodeAlikeWhateverMallocLeavesInMemory) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const test::RleCase& c : test::RleCases())
        files.emplace_back(c.name, c.bytes);
    for (const test::BmpLayout& layout : test::AllBmpLayouts())
        if (layout.compression == 1 || layout.compression == 2)
            files.emplace_back(layout.name, test::MakeSample(layout, 31, 9, 3).bytes);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const QString in = Path("rle.bmp");
        test::WriteFile(in.toStdString(), bytes);
        QByteArray saved[2];
        for (int i = 0; i < 2; ++i) {
            const QString out = Path(i == 0 ? "a.bmp" : "b.bmp");
            const CliRun run = RunCli({"open", in, "save", out},
                                      {i == 0 ? "MALLOC_PERTURB_=85" : "MALLOC_PERTURB_=170"});
            ASSERT_EQ(run.status, 0) << run.err.toStdString();
            saved[i] = Slurp(out);
        }
        EXPECT_TRUE(saved[0] == saved[1]);
    }
}

TEST_F(CliTest, FailuresOutsideBmpAndOfTheSummaryAreOneLineAndStatusOne) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const struct {
        const char* name;
        const char* format;
    } damaged[] = {{"half.png", "png"}, {"half.jpg", "jpeg"}};
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.name);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, d.format));
        QFile file(Path(d.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.left(bytes.size() / 2));
        file.close();
        const CliRun run = RunCli({"open", Path(d.name)});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.count('\n'), 1) << "the decoder printed: " << run.err.toStdString();
    }
    for (const QString& summary : {QStringLiteral("/dev/full"), Path("no/such/dir/s.json")}) {
        SCOPED_TRACE(summary.toStdString());
        const CliRun run = RunCli({"--summary", summary, "open", quadrants});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// The window's program answers these without a display (none is in the environment).
TEST(WindowCommandLine, HelpVersionAndUnknownOptionsNeedNoDisplay) {
    const QString program = QStringLiteral(COLORSPLIT_GUI);
    const CliRun help = RunProgram(program, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.join('\n').contains("Usage: colorsplit [options] [FILE]"));
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
    const CliRun version = RunProgram(program, {"-v"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringList({"colorsplit " COLORSPLIT_VERSION}));
    const CliRun bad = RunProgram(program, {"--frobnicate", "picture.bmp"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.out.isEmpty());
    EXPECT_TRUE(bad.err.contains("frobnicate") && bad.err.contains("Usage:"))
        << bad.err.toStdString();
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// --fit opens a picture larger than the table as a reduced copy; its export is full size.
TEST_F(CliTest, FitOpensAReducedCopyAndExportsAtFullSize) {
    const QString wide = Path("wide.bmp");
    test::WriteFile(wide.toStdString(),
                    test::EncodeBmp({1500, 3, std::vector<std::uint32_t>(1500 * 3, 0x336699)}, 24));
    const CliRun run = RunCli({"--fit", "--summary", Path("s.json"), "open", wide, "seed", "336699",
                               "execute", "export", Path("out")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.mid(2, 3),
              QStringList({Q("圖片超過1280x960,無法載入"), Q("原圖1500x3,已縮小為1280x3"),
                           Q("開檔完成,請選擇四種顏色")}));
    EXPECT_EQ(QImage(Path("out/wide-quantised.png")).size(), QSize(1500, 3));
    const QJsonObject group = ReadJson(Path("s.json"))["groups"].toArray()[0].toObject();
    EXPECT_EQ(group["pixels"].toInt(), 1500 * 3);
    EXPECT_TRUE(run.err.isEmpty()) << "no progress where standard error is no terminal";

    // On a terminal (script gives the program one), each work's progress on one line,
    // rewritten as it goes and cleared at its end.
    const QStringList command = {QStringLiteral(COLORSPLIT_CLI),
                                 "--fit",
                                 "open",
                                 wide,
                                 "seed",
                                 "336699",
                                 "execute",
                                 "export",
                                 Path("shown")};
    const CliRun shown = RunProgram("script", {"-qec", command.join(' '), "/dev/null"});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    const QString terminal = shown.out.join('\n');
    for (const char* work : {"開啟圖片", "匯出群組"})
        EXPECT_TRUE(terminal.contains(Q("\rcolorsplit-cli: %1 ").replace("%1", Q(work)))) << work;
    EXPECT_EQ(terminal.count(QStringLiteral("\r\x1b[K")), 2) << "each cleared at its end";
}

// Profiles apply by default, in batch too; --no-profile gives the stored values; a broken one
// is passed over with a note, and the run goes on.
TEST_F(CliTest, NoProfileOpensTheStoredValuesAndABrokenProfileIsANote) {
    std::vector<std::uint32_t> rgb;
    for (const TColor c : test::PhotoLike(24, 24, 5))
        rgb.push_back(static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)));
    const QString adobe = Path("adobe.png"), broken = Path("broken.png");
    test::WriteFile(adobe.toStdString(),
                    test::Png8(24, 24, false, rgb, test::Profile(test::Icc::kAdobeRgb)));
    test::WriteFile(broken.toStdString(), test::Png8(24, 24, false, rgb, test::BrokenProfile()));
    for (const bool apply : {true, false}) {
        const QStringList option = apply ? QStringList{} : QStringList{"--no-profile"};
        const CliRun run = RunCli(option + QStringList{"open", adobe, "save", Path("out.png")});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(Picture::ReadFile(Path("out.png").toStdString()),
                  PictureFile(adobe.toStdString(), apply).Decode(Picture::kReadLimitPixels));
    }
    const CliRun note = RunCli({"open", broken, "execute"});
    EXPECT_EQ(note.status, 0);
    EXPECT_EQ(note.err, Q("colorsplit-cli: %1: 色彩描述檔損壞,未套用\n").arg(broken));
    const QStringList batch = {"batch", "--seed", "336699", broken, adobe};
    const CliRun applied = RunCli(batch),
                 stored = RunCli(QStringList{"batch", "--no-profile"} + batch.mid(1));
    EXPECT_EQ(applied.status, 0);
    EXPECT_EQ(applied.err, note.err);
    EXPECT_NE(applied.out.last(), stored.out.last()) << "the Adobe RGB picture's group";
    EXPECT_EQ(applied.out[1], stored.out[1]) << "the broken one's, as stored either way";
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Many pictures in one run. One broken and one too large without --fit each get one line on
// standard error and no rows, and the others go on; the CSV is the same whatever --jobs, its
// rows each picture's own single run's, full size for a reduced copy; --csv writes it to a file.
// A command line that cannot run is refused before anything runs.
TEST_F(CliTest, BatchOverManyPictures) {
    const auto write = [this](const char* name, int w, int h) {
        test::RgbImage image{w, h, {}};
        for (const TColor c : test::PhotoLike(w, h, static_cast<unsigned>(w)))
            image.rgb.push_back(
                static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)));
        test::WriteFile(Path(name).toStdString(), test::EncodeBmp(image, 24));
        return Path(name);
    };
    test::WriteFile(Path("broken.jpg").toStdString(), {0xFF, 0xD8, 0xFF, 0xE0, 0, 16});
    const QStringList pictures = {quadrants, write("photo,1.bmp", 300, 200), Path("broken.jpg"),
                                  write("wide.bmp", 1500, 4), write("second.bmp", 50, 30)};
    const QStringList seeds = {"--seed", "C80A0A", "--seed", "0AC80A", "--seed", "0A0AC8"};
    QString first;
    for (const QString jobs : {"1", "2", "3"}) {
        const CliRun run = RunCli(QStringList{"batch", "--jobs", jobs} + seeds + pictures);
        EXPECT_EQ(run.status, 1);
        const QStringList errors = run.err.trimmed().split('\n');
        ASSERT_EQ(errors.size(), 2) << run.err.toStdString();
        EXPECT_TRUE(errors[0].startsWith("colorsplit-cli: ") && errors[0].contains("broken.jpg"));
        EXPECT_TRUE(errors[1].contains("wide.bmp") && errors[1].contains("--fit"));
        if (first.isEmpty())
            first = run.out.join('\n');
        EXPECT_EQ(run.out.join('\n'), first) << "--jobs " << jobs.toStdString();
    }

    const CliRun fitted =
        RunCli(QStringList{"batch", "--fit", "--csv", Path("all.csv")} + seeds + pictures);
    EXPECT_EQ(fitted.status, 1) << "the broken one";
    QFile csv(Path("all.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    QStringList rows = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.takeFirst(),
              "file,group,hex,red,green,blue,pixels,percent,area_cm2,ink,delta_e");
    // Each picture's own run, its export's statistics, the file before each row.
    QStringList single;
    for (const QString& picture : pictures) {
        if (picture.endsWith("broken.jpg"))
            continue;
        const QString out = Path("single");
        const CliRun own =
            RunCli(QStringList{"--fit", "open", picture, "seed", "C80A0A", "seed", "0AC80A", "seed",
                               "0A0AC8", "execute", "export", out});
        ASSERT_EQ(own.status, 0) << own.err.toStdString();
        QFile statistics(out + "/" + QFileInfo(picture).completeBaseName() + "-groups.csv");
        ASSERT_TRUE(statistics.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(statistics.readAll()).split('\n', Qt::SkipEmptyParts);
        const QString file = picture.contains(',') ? '"' + picture + '"' : picture;
        for (const QString& line : lines.mid(1))
            single << file + "," + line;
    }
    EXPECT_EQ(rows, single);

    const QDir other(Path("other"));
    QDir().mkpath(other.path());
    QFile::copy(quadrants, other.filePath("quadrants.bmp"));
    const QStringList malformed[] = {
        {"batch", "--export", Path("never"), "--seed", "C80A0A", quadrants,
         other.filePath("quadrants.bmp")},
        {"batch", quadrants},
        {"batch", "--seed", "C80A0A"},
        {"batch", "--seeds", Path("p.gpl"), "--seed", "C80A0A", quadrants},
        {"batch", "--jobs", "0", "--seed", "C80A0A", quadrants},
        {"batch", "--seed", "C80A0Z", quadrants},
        {"batch", "--auto-seeds", "--seed", "C80A0A", quadrants},
        {"batch", "--seed", "C80A0A", "--inks"},
        {"batch", "--dpi", "0", "--seed", "C80A0A", quadrants},
        {"batch", "--min-region", "x", "--seed", "C80A0A", quadrants},
    };
    for (const QStringList& args : malformed) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(Path("never"))) << "nothing ran";
}

TEST_F(CliTest, UnpickAndRepickPrintWhatTheWindowLogs) {
    const CliRun run = RunCli({"unpick", "open", quadrants, "pick", "1", "0", "pick", "20", "0",
                               "unpick", "unpick", "unpick", "pick", "1", "0", "repick", "unpick"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.mid(2), QStringList({Q("開檔完成,請選擇四種顏色"), Q("選擇顏色1"),
                                           Q("選擇顏色2"), Q("取消選擇顏色2"), Q("取消選擇顏色1"),
                                           Q("選擇顏色1"), Q("請重新選擇四種顏色")}));
}

// autoseed picks as 自動選色 does, and batch --auto-seeds gives each picture its own seeds,
// exactly as a run of that picture alone; --inks names each group's nearest ink in the CSVs.
TEST_F(CliTest, AutoSeedsAndInks) {
    const QString inks = Path("inks.txt");
    const std::string table = "C80A0A Red\n0AC80A Green\n0A0AC8 Blue\nC8C80A Yellow, light\n";
    test::WriteFile(inks.toStdString(), std::vector<std::uint8_t>(table.begin(), table.end()));
    test::RgbImage image{120, 80, {}};
    for (const TColor c : test::PhotoLike(120, 80, 5))
        image.rgb.push_back(
            static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)));
    const QString photo = Path("photo.bmp");
    test::WriteFile(photo.toStdString(), test::EncodeBmp(image, 24));

    QStringList single = {"file,group,hex,red,green,blue,pixels,percent,area_cm2,ink,delta_e"};
    for (const QString& picture : {quadrants, photo}) {
        const CliRun own = RunCli(
            {"--inks", inks, "open", picture, "autoseed", "execute", "export", Path("single")});
        ASSERT_EQ(own.status, 0) << own.err.toStdString();
        EXPECT_EQ(own.out[2], Q("載入油墨色表inks.txt,共4種油墨"));
        EXPECT_EQ(own.out.mid(4, 5), QStringList({Q("選擇顏色1"), Q("選擇顏色2"), Q("選擇顏色3"),
                                                  Q("選擇顏色4"), Q("選擇顏色完成")}));
        QFile csv(Path("single/") + QFileInfo(picture).completeBaseName() + "-groups.csv");
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        for (const QString& line :
             QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts).mid(1))
            single << picture + "," + line;
    }
    // The quadrants are the inks themselves, in whatever order the seeds came.
    EXPECT_EQ(single.mid(1, 4).filter(",0.00").size(), 4) << single.join('\n').toStdString();
    EXPECT_EQ(single.mid(1, 4).filter(",\"Yellow, light\",0.00").size(), 1);
    for (const QString jobs : {"1", "2"}) {
        const CliRun batch =
            RunCli({"batch", "--jobs", jobs, "--auto-seeds", "--inks", inks, quadrants, photo});
        ASSERT_EQ(batch.status, 0) << batch.err.toStdString();
        EXPECT_EQ(batch.out, single) << "--jobs " << jobs.toStdString();
    }

    const CliRun missing = RunCli({"--inks", Path("none.gpl"), "open", quadrants});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(Q("無法載入油墨色表"))) << missing.err.toStdString();
    EXPECT_EQ(missing.out.size(), 2) << "nothing ran";
    EXPECT_EQ(RunCli({"batch", "--inks", Path("none.gpl"), "--auto-seeds", quadrants}).status, 1);
}

}  // namespace
}  // namespace colorsplit
