// Mouse events go through the window system, as real ones do: a double click then reaches the
// widget as a press, a release, a double-click event and a release.
#define QTEST_QPA_MOUSE_HANDLING
#include "ui/tform1.h"
#include "session/texts.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QAccessible>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/picture.h"
#include "support/malformed.h"
#include "support/modal.h"
#include "support/pictures.h"
#include "support/profiles.h"
#include "support/qt_printers.h"
#include "ui/image_control.h"
#include "ui/loupe.h"
#include "ui/picture_view.h"
#include "ui/qt_file_dialogs.h"
#include "ui/radio_group.h"
#include "ui/recent_files.h"
#include "ui/statistics_dialog.h"
#include "ui/work_runner.h"

namespace colorsplit {
namespace {

using test::BasePixelOf;
using test::kQuadrantBases;
using test::UniqueAt;
using test::UniquePicture;

TColor FromRgb(std::uint32_t rgb) {
    return PackColor(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class FormTest : public ::testing::Test {
protected:
    FormTest() {
        auto open = std::make_unique<ScriptedDialog>();
        auto save = std::make_unique<ScriptedDialog>();
        openDialog = open.get();
        saveDialog = save.get();
        form = std::make_unique<TForm1>(std::move(open), std::move(save));
        form->SetErrorReporter([this](const QString& m) { errors << m; });
        form->show();
        quadrants = Write("quadrants.bmp", test::EncodeBmp(test::QuadrantPicture(), 24));
    }

    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        test::WriteFile(path, bytes);
        return path;
    }
    std::string Path(const std::string& name) const {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }

    void Open(const std::optional<std::string>& name) {
        openDialog->Answer(name);
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        form->WaitForWork();
    }
    void Save(const std::optional<std::string>& name) {
        saveDialog->Answer(name);
        QTest::mouseClick(form->Button4, Qt::LeftButton);
    }
    void Click(int x, int y, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(form->Image1, button, {}, QPoint(x, y));
    }
    void PickBases() {
        for (int q = 0; q < 4; ++q) {
            int x = 0, y = 0;
            BasePixelOf(q, x, y);
            Click(x, y);
        }
    }
    QStringList LogTail(int from) const { return form->LogLines().mid(from); }

    QTemporaryDir dir;
    ScriptedDialog* openDialog = nullptr;
    ScriptedDialog* saveDialog = nullptr;
    std::unique_ptr<TForm1> form;
    QStringList errors;
    std::string quadrants;
};

TEST_F(FormTest, StartsUpAsDesigned) {
    EXPECT_EQ(form->LogLines(), QStringList({Q("程式資訊"), Q("尚未載入檔案")}));
    EXPECT_EQ(form->windowTitle(), "colorsplit");
    EXPECT_EQ(form->RadioGroup1->ItemIndex(), 0);
    EXPECT_EQ(form->Vshift->value(), 0);
    EXPECT_EQ(form->Hshift->value(), 0);
    EXPECT_EQ(form->Image1->pos(), QPoint(20, 30)) << "the reset must not move the picture";
    EXPECT_EQ(form->State().ColorCount, 0);
    EXPECT_EQ(form->State().Distortion, 0.0f);
    EXPECT_EQ(form->State().LastDistortion, 65536.0f);
    EXPECT_FALSE(form->State().MaskDone);

    struct Placed {
        QWidget* widget;
        QRect place;
        const char* text;
    };
    const Placed design[] = {
        {form->Button1, {640, 10, 92, 31}, "開啟檔案"},
        {form->Button2, {502, 49, 92, 31}, "執行"},
        {form->Button3, {640, 89, 92, 30}, "離開"},
        {form->GroupBox1, {0, 10, 474, 395}, "圖片"},
        {form->Image1, {20, 30, 1575, 1181}, nullptr},
        {form->Button4, {640, 49, 90, 31}, "儲存檔案"},
        {form->Button5, {502, 10, 92, 31}, "平均顏色"},
        {form->Button7, {502, 89, 92, 30}, "MASK"},
        {form->RadioGroup1, {650, 128, 80, 198}, "Mask Color"},
        {form->Memo1, {502, 345, 228, 99}, nullptr},
        {form->GroupBox2, {502, 128, 139, 198}, "選擇之顏色"},
        {form->ColorInf, {10, 20, 123, 172}, nullptr},
        {form->Vshift, {473, 20, 21, 385}, nullptr},
        {form->Hshift, {10, 414, 464, 20}, nullptr},
    };
    for (const Placed& p : design) {
        EXPECT_EQ(p.widget->geometry(), p.place) << p.widget->metaObject()->className();
        if (p.text == nullptr)
            continue;
        if (auto* button = qobject_cast<QPushButton*>(p.widget)) {
            EXPECT_EQ(button->text(), Q(p.text));
        } else if (auto* box = qobject_cast<QGroupBox*>(p.widget)) {
            EXPECT_EQ(box->title(), Q(p.text));
        }
    }
    EXPECT_EQ(form->Image1->parentWidget(), form->GroupBox1);
    EXPECT_EQ(form->ColorInf->parentWidget(), form->GroupBox2);
    EXPECT_EQ(form->Vshift->orientation(), Qt::Vertical);
    EXPECT_EQ(form->Hshift->orientation(), Qt::Horizontal);
    EXPECT_EQ(form->Hshift->maximum(), 10);
    EXPECT_EQ(form->Hshift->pageStep(), 1);
    EXPECT_EQ(form->frameGeometry().size(), QSize(788, 528 + form->menuBar()->height()))
        << "the outer size, and the menu bar above it";
    EXPECT_EQ(form->GroupBox1->parentWidget()->mapTo(form.get(), QPoint(0, 0)),
              QPoint(0, form->menuBar()->height()));

    // Tab order follows the design, from Button1 through Hshift.
    QWidget* next = form->Button1;
    const QList<QWidget*> order = {form->Button2,
                                   form->Button3,
                                   form->Image1,
                                   form->Button4,
                                   form->Button5,
                                   form->Button7,
                                   form->RadioGroup1->Item(0),
                                   form->Memo1,
                                   form->Vshift,
                                   form->Hshift};
    for (QWidget* expected : order) {
        do
            next = next->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || !next->isVisibleTo(form.get()) ||
               qobject_cast<QGroupBox*>(next) ||
               (qobject_cast<QAbstractButton*>(next) && next->parentWidget() == form->RadioGroup1 &&
                next != form->RadioGroup1->Item(0)));
        EXPECT_EQ(next, expected) << next->metaObject()->className();
    }
}

// Open, four picks, execute with two iterations in which all four groups keep pixels, mask.
TEST_F(FormTest, WholeUseLogsExactlyAsDesigned) {
    Open(quadrants);
    PickBases();
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    form->RadioGroup1->SetItemIndex(1);
    QTest::mouseClick(form->Button7, Qt::LeftButton);

    QStringList expected = {Q("程式資訊"),
                            Q("尚未載入檔案"),
                            Q("開檔完成,請選擇四種顏色"),
                            Q("選擇顏色1"),
                            Q("選擇顏色2"),
                            Q("選擇顏色3"),
                            Q("選擇顏色4"),
                            Q("選擇顏色完成"),
                            Q("初始化運算開始"),
                            Q("初始化完成,VQ運算開始")};
    for (int run = 1; run <= 2; ++run) {
        expected << Q("***********運算執行第") + QString::number(run) + Q("回********");
        for (int k = 0; k < 4; ++k)
            expected << Q("代表顏色") + QString::number(k + 1) + Q("值為") +
                            QString::number(FromRgb(kQuadrantBases[k]));
    }
    expected << Q("運算完成,請執行Mask,共計執行2回") << Q("處理完成");
    EXPECT_EQ(form->LogLines(), expected);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // Only the top-right quadrant (group 1) keeps its colours. The save says so in the
    // status bar, not in the log.
    Save(Path("masked.bmp"));
    EXPECT_EQ(form->statusBar()->currentMessage(),
              Q("已儲存為 ") + QString::fromStdString(Path("masked.bmp")));
    EXPECT_EQ(form->LogLines(), expected);
    Picture saved;
    saved.LoadFromFile(Path("masked.bmp"));
    const test::RgbImage original = test::QuadrantPicture();
    for (int y = 0; y < saved.Height(); ++y) {
        for (int x = 0; x < saved.Width(); ++x) {
            const bool kept = x >= test::kQuadrantWidth && y < test::kQuadrantHeight;
            ASSERT_EQ(saved.GetPixel(x, y), kept ? FromRgb(original.at(x, y)) : 0) << x << "," << y;
        }
    }
}

TEST_F(FormTest, MaskingTwiceReloadsThePictureFirst) {
    Open(quadrants);
    PickBases();
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    form->RadioGroup1->SetItemIndex(0);
    QTest::mouseClick(form->Button7, Qt::LeftButton);
    QTest::mouseClick(form->RadioGroup1->Item(3), Qt::LeftButton);
    ASSERT_EQ(form->RadioGroup1->ItemIndex(), 3);
    QTest::mouseClick(form->Button7, Qt::LeftButton);

    const Picture& shown = form->ShownPicture();
    const test::RgbImage original = test::QuadrantPicture();
    EXPECT_EQ(shown.GetPixel(0, 0), 0) << "group 0 is black after the second mask";
    EXPECT_EQ(shown.GetPixel(35, 39), FromRgb(original.at(35, 39)));
}

TEST_F(FormTest, ClicksWithoutAPictureOrBesideItPickNothing) {
    Click(5, 5);
    EXPECT_EQ(LogTail(2), QStringList({Q("尚未載入檔案")}));
    Open(quadrants);
    const QStringList log = form->LogLines();
    Click(300, 200);  // on Image1, beyond the 36 x 40 picture
    Click(20, 40);
    EXPECT_EQ(form->LogLines(), log);
    EXPECT_EQ(form->State().ColorCount, 0);
    EXPECT_EQ(form->State().SelColor[0], 0);
}

TEST_F(FormTest, AnyButtonPicksAndAFifthClickOnlyLogsDone) {
    Open(quadrants);
    Click(1, 0, Qt::RightButton);
    Click(1, 0, Qt::MiddleButton);
    QTest::mouseDClick(form->Image1, Qt::LeftButton, {}, QPoint(20, 0));
    EXPECT_EQ(form->State().ColorCount, 4) << "a double click is two picks";
    const int before = static_cast<int>(form->LogLines().size());
    const auto codeBook = form->State().CodeBook;
    Click(30, 30);
    EXPECT_EQ(LogTail(before), QStringList({Q("選擇顏色完成")}));
    EXPECT_EQ(form->State().ColorCount, 4);
    EXPECT_EQ(form->State().CodeBook[3].G, codeBook[3].G);
}

TEST_F(FormTest, SwatchesAreDrawnToThePixel) {
    // (0, 0) would be taken as "no position" by QTest; the colours start at x = 1.
    // Red, red, and two reds that group together at (205, 0, 0) once executed.
    test::RgbImage red{4, 1, {0xFF0000, 0xFF0000, 0xC80001, 0xD20000}};
    Open(Write("red.bmp", test::EncodeBmp(red, 24)));
    Click(1, 0);
    const QImage& panel = form->SwatchImage();
    const QRgb black = qRgb(0, 0, 0);
    EXPECT_EQ(panel.pixel(0, 0), black);
    EXPECT_EQ(panel.pixel(49, 0), black);
    EXPECT_EQ(panel.pixel(0, 19), black);
    EXPECT_EQ(panel.pixel(49, 19), black);
    EXPECT_EQ(panel.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(panel.pixel(48, 18), qRgb(255, 0, 0));
    EXPECT_NE(panel.pixel(0, 20), black) << "rectangles exclude the bottom edge";
    EXPECT_EQ(form->State().CodeBook[0].R, 255);
    EXPECT_EQ(LogTail(3), QStringList({Q("選擇顏色1")}));

    // "255" starts at (50, 0) on white; nothing is drawn left of the border's right edge.
    const auto inkIn = [&](int x0, int y0, int x1, int y1) {
        int ink = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (qGray(panel.pixel(x, y)) < 128)
                    ++ink;
        return ink;
    };
    EXPECT_EQ(panel.pixel(50, 0), qRgb(255, 255, 255));
    EXPECT_GT(inkIn(50, 0, 70, 16), 0);

    // A shorter number over a longer one leaves the longer one's tail.
    Click(2, 0);  // (200, 0, 1): 65736
    const int longTail = inkIn(75, 30, 123, 46);
    ASSERT_GT(longTail, 0);
    // Row 1 again, through the update pass, with a value of three digits.
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    ASSERT_EQ(form->State().SelColor[1], 205);
    EXPECT_EQ(inkIn(75, 30, 123, 46), longTail);
}

TEST_F(FormTest, ExecuteMovesTheSwatchesToTheGroupColours) {
    Open(quadrants);
    int x = 0, y = 0;
    BasePixelOf(0, x, y);
    Click(x + 1, y);  // a lighter shade, not the base
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    // One pick: every pixel is in group 0, whose colour moves to the whole picture's mean.
    EXPECT_EQ(
        form->State().SelColor[0],
        PackColor((200 + 10 + 10 + 200) / 4, (10 + 200 + 10 + 200) / 4, (10 + 10 + 200 + 10) / 4));
    const QRgb shown = form->SwatchImage().pixel(25, 10);
    const TColor c = form->State().SelColor[0];
    EXPECT_EQ(shown, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
}

TEST_F(FormTest, MeanColourStandsInTheFifthRow) {
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    EXPECT_EQ(LogTail(2), QStringList({Q("尚未載入檔案")}));
    const QImage blank = form->SwatchImage();

    Open(quadrants);
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    const TColor mean = form->State().MeanColor;
    EXPECT_EQ(mean, PackColor((200 + 10 + 10 + 200) / 4, (10 + 200 + 10 + 200) / 4,
                              (10 + 10 + 200 + 10) / 4));
    EXPECT_EQ(form->SwatchImage().pixel(0, 120), qRgb(0, 0, 0));
    EXPECT_EQ(form->SwatchImage().pixel(25, 130), qRgb(RedOf(mean), GreenOf(mean), BlueOf(mean)));
    EXPECT_EQ(form->SwatchImage().pixel(50, 121), qRgb(255, 255, 255));
    EXPECT_EQ(form->SwatchImage().pixel(50, 120), blank.pixel(50, 120))
        << "the mean's text stands at (50, 121)";
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FormTest, ScrollBarsMoveThePictureByTheControlsSize) {
    form->Hshift->setValue(10);
    EXPECT_EQ(form->Image1->pos(), QPoint(-1570, 30));
    form->Vshift->setValue(3);
    EXPECT_EQ(form->Image1->pos(), QPoint(-1570, -354));
    form->Hshift->setValue(0);
    EXPECT_EQ(form->Image1->x(), 0) << "position 0 is 0, not the designed 20";
    form->Vshift->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(form->Vshift->value(), 4);
    EXPECT_EQ(form->Image1->y(), -472);
}

TEST_F(FormTest, FailedOpenIsShownAndChangesNothing) {
    Open(quadrants);
    const QStringList log = form->LogLines();
    Open(Write("broken.bmp", {'B', 'M', 1, 2, 3}));
    Open(Path("missing.bmp"));
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].contains(QString::fromStdString(Path("broken.bmp"))));
    EXPECT_TRUE(errors[1].contains(Q("不存在")));
    EXPECT_EQ(form->LogLines(), log);
    EXPECT_EQ(form->State().OpenFileName, quadrants);
    EXPECT_EQ(form->ShownPicture().Width(), 36);

    // The window goes on: the next command works.
    Click(1, 1);
    EXPECT_EQ(form->State().ColorCount, 1);
}

TEST_F(FormTest, SavingWithoutAPictureIsAnErrorAndWritesNothing) {
    Save(Path("nothing.bmp"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(Q("沒有可儲存的圖片")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("nothing.bmp"))));
}

TEST_F(FormTest, ExitClosesTheWindow) {
    ASSERT_TRUE(form->isVisible());
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

std::string Slurp(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<unreadable>");
}

// Refused while reading the headers, or while decoding the pixels: either way one message,
// and the window as it was. (The picture layer's tests go through every broken file.)
TEST_F(FormTest, BrokenFilesAreAnErrorAndChangeNothing) {
    Open(quadrants);
    const QStringList log = form->LogLines();
    int shown = 0;
    for (const test::BrokenFile& broken : test::MalformedBmps()) {
        if (broken.name != "header-size-200" && broken.name != "truncated-pixel-data" &&
            broken.name != "rle8-ends-mid-picture")
            continue;
        SCOPED_TRACE(broken.name);
        errors.clear();
        Open(Write(broken.name + ".bmp", broken.bytes));
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains(QString::fromStdString(broken.name)))
            << errors[0].toStdString();
        EXPECT_EQ(form->LogLines(), log);
        EXPECT_EQ(form->State().OpenFileName, quadrants);
        EXPECT_EQ(form->ShownPicture().Width(), 36);
        ++shown;
    }
    EXPECT_EQ(shown, 3);
    errors.clear();
    Open(dir.path().toStdString());
    EXPECT_EQ(errors.size(), 1);
    // The window goes on.
    Click(3, 3);
    EXPECT_EQ(form->State().ColorCount, 1);
}

TEST_F(FormTest, FailedSavesLoseNothing) {
    Open(quadrants);
    Click(3, 3);
    const QImage before = form->ShownPicture().Image();
    const std::string existing = Write("existing.bmp", {'o', 'l', 'd'});
    const std::string lockedFile = Write("locked.bmp", {'k', 'e', 'e', 'p'});
    std::filesystem::permissions(lockedFile, std::filesystem::perms::owner_read);
    const std::string lockedDir = Path("locked-dir");
    std::filesystem::create_directory(lockedDir);
    std::filesystem::permissions(
        lockedDir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);

    const std::string targets[] = {Path("missing/out.bmp"), lockedFile, lockedDir + "/out.bmp",
                                   lockedDir, "/dev/full"};
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        errors.clear();
        Save(target);
        EXPECT_EQ(errors.size(), 1);
        EXPECT_EQ(form->statusBar()->currentMessage(), errors.value(0)) << "its error, no save";
    }
    EXPECT_EQ(Slurp(existing), "old");
    EXPECT_EQ(Slurp(lockedFile), "keep");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(lockedDir + "/out.bmp")));
    EXPECT_TRUE(std::filesystem::is_empty(lockedDir));
    EXPECT_EQ(form->ShownPicture().Image(), before);
    std::filesystem::permissions(lockedDir, std::filesystem::perms::owner_all);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST_F(FormTest, TwoHundredWholeUsesKeepMemorySteady) {
    const std::string sample = std::string(COLORSPLIT_SAMPLES_DIR) + "/landscape.bmp";
    const auto use = [&](int round) {
        Open(sample);
        // Picks stop after four; the execute runs on whatever is picked.
        for (int i = 0; i < 4; ++i)
            Click(10 + 40 * i, 20 + 30 * i);
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        form->RadioGroup1->SetItemIndex(round % 4);
        QTest::mouseClick(form->Button7, Qt::LeftButton);
        Save(Path("use.bmp"));
        // Every use is a whole run of many lines; the log's own growth is not measured here.
        form->Memo1->clear();
        QApplication::processEvents();
    };
    for (int round = 0; round < 20; ++round)
        use(round);
    const long before = ResidentKiB();
    for (int round = 0; round < 200; ++round)
        use(round);
    const long after = ResidentKiB();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    // Everything must be reused. (AddressSanitizer holds freed memory back on purpose, so the
    // bound means nothing under it.)
    if (!kAddressSanitizer) {
        EXPECT_LT(after - before, 4 * 1024) << before << " KiB before, " << after << " KiB after";
    }
    Picture saved;
    saved.LoadFromFile(Path("use.bmp"));
    EXPECT_EQ(saved.Width(), 480);
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

TEST_F(FormTest, ShortcutsRunTheButtonsHandlers) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    openDialog->Answer(quadrants);
    QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(LogTail(2), QStringList({Q("開檔完成,請選擇四種顏色")}));
    PickBases();
    QTest::keyClick(form.get(), Qt::Key_F5);
    EXPECT_EQ(form->LogLines().back(), Q("運算完成,請執行Mask,共計執行2回"));
    QTest::keyClick(form.get(), Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(form->LogLines().back(), Q("處理完成"));
    QTest::keyClick(form.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_NE(form->State().MeanColor, 0);
    saveDialog->Answer(Path("keys.bmp"));
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Path("keys.bmp"))));
    EXPECT_TRUE(errors.isEmpty());
    // The captions carry no mnemonic.
    for (QPushButton* b :
         {form->Button1, form->Button2, form->Button3, form->Button4, form->Button5, form->Button7})
        EXPECT_FALSE(b->text().contains('&'));
    QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
}

bool Drop(QWidget* target, QMimeData* mime) {
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted();
}

// One picture file dropped opens as if chosen in the dialog; other drops say in the status bar
// why nothing opened, and what is no file at all is not taken.
TEST_F(FormTest, DroppingOnePictureFileOpensItAsTheDialogWould) {
    const QUrl file = QUrl::fromLocalFile(QString::fromStdString(quadrants));
    const QUrl broken =
        QUrl::fromLocalFile(QString::fromStdString(Write("broken.bmp", {'B', 'M'})));
    const struct {
        const char* what;
        QList<QUrl> urls;
        bool taken;
        QString says;  // in the status bar; the error itself for the broken file
    } drops[] = {
        {"two files", {file, file}, true, texts::DroppedMany(2)},
        {"a web address", {QUrl("https://example.org/a.bmp")}, false, {}},
        {"a folder", {QUrl::fromLocalFile(dir.path())}, true, texts::DroppedFolder(dir.path())},
        {"a broken file", {broken}, true, {}},
        {"text", {}, false, {}},
    };
    for (const auto& d : drops) {
        SCOPED_TRACE(d.what);
        form->statusBar()->clearMessage();
        QMimeData mime;
        if (d.urls.isEmpty())
            mime.setText("not a file");
        else
            mime.setUrls(d.urls);
        EXPECT_EQ(Drop(form.get(), &mime), d.taken);
        EXPECT_EQ(form->statusBar()->currentMessage(),
                  d.urls == QList<QUrl>{broken} ? errors.value(0) : d.says);
    }
    EXPECT_EQ(errors.size(), 1) << "the broken file's error";
    EXPECT_EQ(form->LogLines().size(), 2) << "nothing opened";
    EXPECT_TRUE(form->State().OpenFileName.empty());

    QMimeData one;
    one.setUrls({file});
    EXPECT_TRUE(Drop(form.get(), &one));
    EXPECT_EQ(LogTail(2), QStringList({Q("開檔完成,請選擇四種顏色")}));
    EXPECT_EQ(form->State().OpenFileName, quadrants);
    EXPECT_EQ(form->OpenPictureDialog1->FileName(), quadrants) << "the dialog starts there next";
    EXPECT_EQ(form->statusBar()->currentMessage(), texts::DroppedOpened(file.toLocalFile()));
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

TEST_F(FormTest, AMaskAfterTheFileChangedStartsFromThePictureAsOpened) {
    const std::string file = Write("changing.bmp", test::EncodeBmp(test::QuadrantPicture(), 24));
    Open(file);
    PickBases();
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    QTest::mouseClick(form->Button7, Qt::LeftButton);
    test::RgbImage wide{1281, 1, std::vector<std::uint32_t>(1281, 0x102030)};
    test::WriteFile(file, test::EncodeBmp(wide, 24));
    form->RadioGroup1->SetItemIndex(3);
    QTest::mouseClick(form->Button7, Qt::LeftButton);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    const Picture& shown = form->ShownPicture();
    EXPECT_EQ(shown.Width(), 36);
    EXPECT_EQ(shown.GetPixel(0, 0), 0);
    EXPECT_EQ(shown.GetPixel(35, 39), FromRgb(test::QuadrantPicture().at(35, 39)));
    EXPECT_EQ(form->LogLines().back(), Q("處理完成"));
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Installed, the samples sit in share/colorsplit/samples beside the program's bin folder; run
// from the build folder, the dialog falls back to the source tree's.
TEST(SampleFolder, FoundWhereInstalledAndInTheSourceTree) {
    EXPECT_EQ(QDir(SamplesDirectory()), QDir(QStringLiteral(COLORSPLIT_SAMPLES_DIR)));
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/colorsplit/samples");
    ASSERT_FALSE(QFileInfo::exists(installed)) << "leftover from an earlier run";
    ASSERT_TRUE(QDir().mkpath(installed));
    EXPECT_EQ(QDir(SamplesDirectory()), QDir(installed));
    QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../share")).removeRecursively();
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

using test::WhenShown;

// whole: the whole path typed where the dialog started, as a user may, without listing the
// folder (a kernel folder's listing can take for ever).
void Choose(const std::string& path, bool whole = false) {
    WhenShown<QFileDialog>([path, whole](QFileDialog& d) {
        // Typed into the name field, as a user does (selectFile ignores a new name while the
        // field has focus, and a name typed without focus leaves the last one selected too).
        const QFileInfo file(QString::fromStdString(path));
        if (!whole)
            d.setDirectory(file.absolutePath());
        auto* name = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        name->setFocus();
        name->setText(whole ? file.absoluteFilePath() : file.fileName());
        static_cast<QDialog&>(d).accept();  // as the dialog's own button does
        // Still open when the replace question was answered No: the user cancels then.
        if (d.isVisible())
            d.reject();
    });
}

void Cancel() {
    WhenShown<QFileDialog>([](QFileDialog& d) { d.reject(); });
}

// The window with Qt's own file dialogs, as users get it.
class RealDialogs : public ::testing::Test {
protected:
    RealDialogs() {
        form.SetErrorReporter([this](const QString& m) { errors << m; });
        form.show();
        test::WriteFile(quadrants, test::EncodeBmp(test::QuadrantPicture(), 24));
    }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    QTemporaryDir dir;
    TForm1 form;
    QStringList errors;
    const std::string quadrants = Path("quadrants.bmp");
};

TEST_F(RealDialogs, CancelInEitherDialogChangesNothing) {
    Choose(quadrants);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    ASSERT_EQ(form.State().OpenFileName, quadrants);
    for (int q = 0; q < 4; ++q) {
        int x = 0, y = 0;
        test::BasePixelOf(q, x, y);
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, QPoint(x, y));
    }
    QTest::mouseClick(form.Button2, Qt::LeftButton);
    QTest::mouseClick(form.Button7, Qt::LeftButton);
    const std::string out = Path("group1.bmp");
    Choose(out);
    QTest::mouseClick(form.Button4, Qt::LeftButton);
    const std::string saved = Slurp(out);
    ASSERT_GT(saved.size(), 54u);
    form.RadioGroup1->SetItemIndex(2);
    QTest::mouseClick(form.Button7, Qt::LeftButton);  // shown, not saved

    const QStringList log = form.LogLines();
    const QImage shown = form.ShownPicture().Image();
    const QuantState& s = form.State();
    const auto codeBook = s.CodeBook;
    Cancel();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    Cancel();
    QTest::mouseClick(form.Button4, Qt::LeftButton);

    EXPECT_EQ(form.LogLines(), log);
    EXPECT_EQ(form.ShownPicture().Image(), shown);
    EXPECT_TRUE(Slurp(out) == saved) << "the saved file was written again";
    EXPECT_TRUE(s.MaskDone);
    EXPECT_EQ(s.ColorCount, 4);
    EXPECT_EQ(s.RunCount, 2);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(s.CodeBook[k].G, codeBook[k].G);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

TEST_F(RealDialogs, TheSaveDialogProposesBmpAndAsksBeforeReplacing) {
    Choose(quadrants);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    const std::string old = Path("old.bmp");
    test::WriteFile(old, {'o', 'l', 'd'});

    // A name without an extension gets .bmp; the only filter is "bmp".
    WhenShown<QFileDialog>([this](QFileDialog& d) {
        EXPECT_EQ(d.defaultSuffix(), "bmp");
        EXPECT_EQ(d.nameFilters(), texts::SaveFilters()) << "BMP first, then PNG and TIFF";
        EXPECT_FALSE(d.testOption(QFileDialog::DontConfirmOverwrite));
        d.setDirectory(dir.path());
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("typed");
        static_cast<QDialog&>(d).accept();
    });
    QTest::mouseClick(form.Button4, Qt::LeftButton);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Path("typed.bmp"))));

    // Replacing a file is asked first: No writes nothing, Yes replaces it.
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        Choose(old);
        WhenShown<QMessageBox>([answer](QMessageBox& box) { box.button(answer)->click(); });
        QTest::mouseClick(form.Button4, Qt::LeftButton);
        EXPECT_EQ(Slurp(old) == "old", answer == QMessageBox::No);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(FormTest, APickAfterScrollingTakesThePixelUnderThePointer) {
    // Every pixel of a picture larger than the frame has its own colour.
    test::RgbImage image{640, 480, {}};
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            image.rgb.push_back(static_cast<std::uint32_t>(x % 256 << 16 | y % 256 << 8 | x / 256));
    Open(Write("unique.bmp", test::EncodeBmp(image, 24)));
    form->Hshift->setValue(2);
    form->Vshift->setValue(1);
    ASSERT_EQ(form->Image1->pos(), QPoint(-314, -118));
    // Through the frame, as the pointer would: Qt finds the picture under it.
    QTest::mouseClick(form->GroupBox1, Qt::LeftButton, {}, QPoint(200, 150));
    const int x = 200 + 314, y = 150 + 118;
    ASSERT_EQ(form->State().ColorCount, 1);
    EXPECT_EQ(form->State().SelColor[0], PackColor(x % 256, y % 256, x / 256));
}

TEST_F(FormTest, TheWheelOverThePictureMovesTheScrollBars) {
    const auto wheel = [](QWidget* target, QPoint angle, Qt::KeyboardModifiers modifiers = {}) {
        QWheelEvent event(QPointF(50, 50), target->mapToGlobal(QPointF(50, 50)), QPoint(), angle,
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    wheel(form->Image1, {0, -120});  // one notch down
    EXPECT_EQ(form->Vshift->value(), 1);
    EXPECT_EQ(form->Image1->y(), -118) << "through the scroll bar's own handler";
    wheel(form->GroupBox1, {0, -60});
    EXPECT_EQ(form->Vshift->value(), 1) << "half a notch is not a step";
    wheel(form->GroupBox1, {0, -60});
    EXPECT_EQ(form->Vshift->value(), 2);
    wheel(form->Image1, {0, 240});
    EXPECT_EQ(form->Vshift->value(), 0);
    wheel(form->Image1, {0, 120});
    EXPECT_EQ(form->Vshift->value(), 0) << "stops at the top";

    wheel(form->Image1, {0, -120}, Qt::ShiftModifier);
    EXPECT_EQ(form->Hshift->value(), 1);
    EXPECT_EQ(form->Vshift->value(), 0);
    wheel(form->Image1, {-120, 0});  // a sideways wheel
    EXPECT_EQ(form->Hshift->value(), 2);
    EXPECT_EQ(form->Image1->x(), -314);

    wheel(form->Memo1->viewport(), {0, -120});
    EXPECT_EQ(form->Vshift->value(), 0) << "the wheel elsewhere is not the picture's";
}

TEST_F(FormTest, TabLeavesTheLogAndFilesDroppedOnItOpen) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Memo1->setFocus();
    const QStringList log = form->LogLines();
    QTest::keyClick(form->Memo1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->Vshift);
    EXPECT_EQ(form->LogLines(), log) << "no tab typed into the log";

    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(QString::fromStdString(quadrants))});
    EXPECT_TRUE(Drop(form->Memo1->viewport(), &file));
    EXPECT_EQ(LogTail(2), QStringList({Q("開檔完成,請選擇四種顏色")}));
    EXPECT_FALSE(form->LogLines().join('\n').contains("file:"));
    EXPECT_EQ(form->State().OpenFileName, quadrants);
}

// Every Tab stop, in the order Tab reaches them, draws itself otherwise when it has the focus,
// and has a name for screen readers.
TEST_F(FormTest, EveryTabStopShowsItsFocusAndHasAName) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Open(quadrants);
    form->Button1->setFocus(Qt::TabFocusReason);
    QList<QWidget*> stops;
    for (QWidget* at = form->Button1; !stops.contains(at); at = QApplication::focusWidget()) {
        stops << at;
        QTest::keyClick(at, Qt::Key_Tab);
    }
    ASSERT_GE(stops.size(), 11);
    for (QWidget* stop : stops) {
        const QString name = QAccessible::queryAccessibleInterface(stop)->text(QAccessible::Name);
        SCOPED_TRACE(std::string(stop->metaObject()->className()) + " " + name.toStdString());
        EXPECT_FALSE(name.isEmpty());
        stop->setFocus(Qt::TabFocusReason);
        const QImage focused = stop->grab().toImage();
        form->Button1->setFocus(stop == form->Button1 ? Qt::NoFocusReason : Qt::TabFocusReason);
        if (stop == form->Button1)
            form->Button2->setFocus(Qt::TabFocusReason);
        EXPECT_NE(stop->grab().toImage(), focused);
    }
}

TEST_F(FormTest, ScreenReadersReadThePictureTheSwatchesAndTheLog) {
    const auto description = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description);
    };
    const auto name = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(form->Image1), Q("圖片"));
    EXPECT_EQ(name(form->ColorInf), Q("選擇之顏色"));
    EXPECT_FALSE(name(form->Memo1).isEmpty());
    EXPECT_TRUE(description(form->ColorInf).isEmpty());

    Open(quadrants);
    PickBases();
    QTest::mouseClick(form->Button5, Qt::LeftButton);  // the mean colour, (105, 105, 57)
    QStringList rows = {
        "color1 658120 #C80A0A R 200 G 10 B 10",
        "color2 706570 #0AC80A R 10 G 200 B 10",
        "color3 13109770 #0A0AC8 R 10 G 10 B 200",
        "color4 706760 #C8C80A R 200 G 200 B 10",
    };
    EXPECT_EQ(description(form->ColorInf),
              (rows + QStringList{Q("平均顏色 3762537 #696939 R 105 G 105 B 57")}).join('\n'));
    // After an execute, each group's share: every quadrant holds a quarter of the picture.
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    for (QString& row : rows)
        row += Q(" 像素 360(25.00%)");
    EXPECT_EQ(description(form->ColorInf).split('\n').mid(0, 4), rows);
    Open(quadrants);
    EXPECT_TRUE(description(form->ColorInf).isEmpty()) << "a new round blanks the rows";
}

// 自動選色 picks all four by its key; 載入油墨色表… loads a table that the swatches and 群組統計
// name each group's ink from, and the next window starts with.
TEST_F(FormTest, AutoSeedsAndInksInTheWindow) {
    struct Forget {
        ~Forget() { remembered::SetValue(remembered::kInks, QJsonValue(), {}); }
    } forget;
    const std::string text = "C80A0A Red\n0AC80A Green\n0A0AC8 Blue\nC8C80A Yellow\n";
    const std::string inks = Write("inks.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
    Open(quadrants);
    QTest::keyClick(form.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->State().ColorCount, 4);
    EXPECT_EQ(form->LogLines().back(), Q("選擇顏色完成"));
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    auto dialog = std::make_unique<ScriptedDialog>();
    dialog->Answer(inks);
    form->InksDialog = std::move(dialog);
    form->MenuItem(Q("載入油墨色表"))->trigger();
    EXPECT_EQ(form->LogLines().back(), Q("載入油墨色表inks.txt,共4種油墨"));

    const QString swatches =
        QAccessible::queryAccessibleInterface(form->ColorInf)->text(QAccessible::Description);
    for (const char* ink : {"Red", "Green", "Blue", "Yellow"})
        EXPECT_TRUE(swatches.contains(Q(" 像素 360(25.00%) 油墨 %1(ΔE 0.00)").arg(ink)))
            << swatches.toStdString();
    QString table;
    test::WhenShown<StatisticsDialog>([&](StatisticsDialog& d) {
        table = d.Text();
        d.reject();
    });
    form->StatisticsClick();
    EXPECT_TRUE(table.startsWith(Q("群組\t#RRGGBB\tR\tG\tB\t像素\t百分比\t油墨\tΔE\n")))
        << table.toStdString();
    EXPECT_EQ(table.count(Q("\t0.00\n")), 4);

    // Remembered for the next run, quietly: its log starts as designed.
    const TForm1 next;
    EXPECT_TRUE(next.HasInks()) << "remembered";
    EXPECT_EQ(next.LogLines(), (QStringList{Q("程式資訊"), Q("尚未載入檔案")}));
    QFile::remove(QString::fromStdString(inks));
    const TForm1 without;
    EXPECT_FALSE(without.HasInks());
    EXPECT_EQ(without.LogLines(), next.LogLines()) << "a table gone is no reason to say more";
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(FormTest, AFileNamedAtStartUpOpensAsIfChosen) {
    // What the program does with its file argument, relative to the working folder.
    const QString saved = QDir::currentPath();
    QDir::setCurrent(dir.path());
    form->OpenFile(QStringLiteral("quadrants.bmp"));
    QDir::setCurrent(saved);
    EXPECT_EQ(LogTail(2), QStringList({Q("開檔完成,請選擇四種顏色")}));
    EXPECT_EQ(form->State().OpenFileName, quadrants) << "kept whole, for the mask's reload";
    form->OpenFile(QString::fromStdString(Path("missing.bmp")));
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(form->ShownPicture().Width(), 36);
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Every command has its menu item with its key; 輸入顏色… picks through Qt's colour dialog
// exactly as a click on a pixel of that colour does.
TEST_F(FormTest, TheMenusHoldEveryCommandAndAColourCanBeEnteredByValue) {
    const struct {
        const char* item;
        QKeySequence keys;
    } items[] = {
        {"開啟檔案", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"儲存檔案", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"匯出群組", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)},
        {"離開", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"執行", QKeySequence(Qt::Key_F5)},
        {"MASK", QKeySequence(Qt::CTRL | Qt::Key_M)},
        {"平均顏色", QKeySequence(Qt::CTRL | Qt::Key_E)},
        {"輸入顏色", QKeySequence(Qt::CTRL | Qt::Key_I)},
        {"群組統計", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {"載入種子顏色", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I)},
        {"自動選色", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
        {"載入油墨色表", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K)},
        {"關於 colorsplit", QKeySequence(Qt::Key_F1)},
    };
    for (const auto& item : items) {
        const QAction* action = form->MenuItem(Q(item.item));
        ASSERT_NE(action, nullptr) << item.item;
        EXPECT_EQ(action->shortcut(), item.keys) << item.item;
    }

    Open(quadrants);
    Click(1, 0);
    const TColor clicked = form->State().SelColor[0];
    WhenShown<QColorDialog>([](QColorDialog& d) {
        d.setCurrentColor(QColor(0x0A, 0xC8, 0x0A));
        d.accept();
    });
    form->MenuItem(Q("輸入顏色"))->trigger();
    EXPECT_EQ(LogTail(3), QStringList({Q("選擇顏色1"), Q("選擇顏色2")}));
    EXPECT_EQ(form->State().SelColor[0], clicked);
    EXPECT_EQ(form->State().SelColor[1], PackColor(0x0A, 0xC8, 0x0A));
    EXPECT_EQ(form->State().CodeBook[1].G, 0xC8);
    EXPECT_EQ(form->SwatchImage().pixel(25, 40), qRgb(0x0A, 0xC8, 0x0A));
    WhenShown<QColorDialog>([](QColorDialog& d) { d.reject(); });
    form->MenuItem(Q("輸入顏色"))->trigger();
    EXPECT_EQ(form->State().ColorCount, 2) << "a cancel picks nothing";

    // Seeds from a palette file chosen in a real dialog.
    const std::string palette = Write("seeds.gpl", {'C', '8', 'C', '8', '0', 'A', '\n'});
    Choose(palette);
    form->MenuItem(Q("載入種子顏色"))->trigger();
    EXPECT_EQ(LogTail(5), QStringList({Q("選擇顏色3"), Q("從調色盤取用1種顏色,共1種")}));
    EXPECT_EQ(form->State().SelColor[2], PackColor(0xC8, 0xC8, 0x0A));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// A picture larger than the table: the log line, then a question naming both sizes. No leaves
// everything as it was; Yes opens a reduced copy.
TEST_F(FormTest, OversizePicturesOpenAsReducedCopiesWhenTheUserSaysSo) {
    Open(quadrants);
    test::RgbImage wide{1281, 2, std::vector<std::uint32_t>(1281 * 2, 0x123456)};
    QString asked;
    WhenShown<QMessageBox>([&asked](QMessageBox& box) {
        asked = box.text();
        box.button(QMessageBox::No)->click();
    });
    Open(Write("wide.bmp", test::EncodeBmp(wide, 24)));
    EXPECT_TRUE(asked.contains("1281 x 2") && asked.contains("1280 x 2")) << asked.toStdString();
    EXPECT_EQ(LogTail(2),
              QStringList({Q("開檔完成,請選擇四種顏色"), Q("圖片超過1280x960,無法載入")}));
    EXPECT_EQ(form->State().OpenFileName, quadrants);
    EXPECT_EQ(form->ShownPicture().Width(), 36);

    test::RgbImage tall{3, 961, std::vector<std::uint32_t>(3 * 961, 0x123456)};
    WhenShown<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    Open(Write("tall.bmp", test::EncodeBmp(tall, 24)));
    EXPECT_EQ(LogTail(4), QStringList({Q("圖片超過1280x960,無法載入"), Q("原圖3x961,已縮小為3x960"),
                                       Q("開檔完成,請選擇四種顏色")}));
    EXPECT_EQ(form->ShownPicture().Image().size(), QSize(3, 960));
    EXPECT_EQ(form->ShownPicture().GetPixel(1, 500), FromRgb(0x123456));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    test::RgbImage full{1280, 960, std::vector<std::uint32_t>(1280 * 960, 0x123456)};
    Open(Write("full.bmp", test::EncodeBmp(full, 24)));
    EXPECT_EQ(form->ShownPicture().Width(), 1280) << "the table's size opens as it is";
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Long work beside a window that answers: the event loop turns, the zoom works, and commands
// that would change the state wait; after 0.3 s a dialog names the work and its bar advances;
// 取消 stops the work and nothing is applied; closing the window stops it and waits for it.
TEST_F(FormTest, LongWorkRunsBesideAWindowThatAnswers) {
    Open(quadrants);
    PickBases();
    std::atomic<int> steps{0};
    bool applied = false, told = false;
    const auto slow = [&] {
        return std::make_shared<const LongWork>(
            LongWork::Kind::kExport, QStringLiteral("folder"),
            [&steps](Progress& progress) {
                // A third done from the start: the bar shows thousandths of it.
                for (int i = 0; i < 2000; ++i) {
                    progress.Advance(1000 + i, 3000);
                    progress.Check();
                    ++steps;
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            },
            [&applied] { applied = true; }, [&told] { told = true; });
    };
    form->Runner().Start(slow(), nullptr);
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(10);
    QTest::qWait(500);
    EXPECT_GT(ticks, 20) << "the event loop turns";
    QProgressDialog* dialog = form->Runner().Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), Q("匯出群組"));
    EXPECT_GT(dialog->value(), 333) << "the bar advances from a third";
    EXPECT_FALSE(form->Button2->isEnabled());
    EXPECT_FALSE(form->MenuItem(Q("開啟檔案"))->isEnabled());
    const QStringList log = form->LogLines();
    const QImage swatches = form->SwatchImage();
    form->Button2Click();
    form->Button5Click();
    form->Image1MouseDown(1, 1);
    // Their keys say why nothing happens, in the window and in the progress dialog; others work.
    form->Image1->setFocus();
    const QPoint cursor = form->Image1->Cursor().value();
    const struct {
        QWidget* to;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool waits;
    } keys[] = {
        {form.get(), Qt::Key_F5, Qt::NoModifier, true},
        {form.get(), Qt::Key_O, Qt::ControlModifier, true},
        {form->Image1, Qt::Key_Space, Qt::NoModifier, true},
        {form->Image1, Qt::Key_Right, Qt::NoModifier, false},
        {dialog, Qt::Key_M, Qt::ControlModifier, true},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(QKeySequence(k.key | k.modifiers).toString().toStdString());
        form->statusBar()->clearMessage();
        QTest::keyClick(k.to, k.key, k.modifiers);
        EXPECT_EQ(form->statusBar()->currentMessage(), k.waits ? texts::WaitForWork() : QString());
    }
    EXPECT_EQ(form->Image1->Cursor(), cursor + QPoint(1, 0)) << "the arrow moves the cursor";
    EXPECT_EQ(form->LogLines(), log) << "commands that would change the state wait";
    EXPECT_EQ(form->SwatchImage(), swatches);
    EXPECT_EQ(form->State().RunCount, 0);
    form->ZoomInClick();
    EXPECT_DOUBLE_EQ(form->Image1->Zoom(), 1.5) << "the zoom works";
    form->ActualSizeClick();

    dialog->findChild<QPushButton*>()->click();
    form->WaitForWork();
    EXPECT_TRUE(told);
    EXPECT_FALSE(applied);
    EXPECT_TRUE(form->Button2->isEnabled());

    steps = 0;
    form->Runner().Start(slow(), nullptr);
    QTest::qWait(50);
    form->close();
    EXPECT_FALSE(form->Working()) << "stopped, and waited for";
    EXPECT_FALSE(applied);
    EXPECT_LT(steps, 2000);
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// The picture takes the focus by Tab; arrows move the pick cursor (Shift: ten pixels), the
// picture scrolling when it leaves the frame; Space or Enter picks exactly as a click on that
// pixel does.
TEST_F(FormTest, TheKeyboardPicksExactlyAsAClickDoes) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Open(Write("unique.bmp", test::EncodeBmp(UniquePicture(640, 480), 24)));
    EXPECT_EQ(form->windowTitle(), "unique.bmp (100%) - colorsplit");
    form->Button3->setFocus();
    QTest::keyClick(form->Button3, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->Image1);

    const struct {
        std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
        QPoint pixel;
        Qt::Key pickWith;
    } cases[] = {
        {{{Qt::Key_Right, {}}, {Qt::Key_Right, {}}, {Qt::Key_Down, {}}}, {2, 1}, Qt::Key_Space},
        {{{Qt::Key_Left, {}}, {Qt::Key_Left, {}}, {Qt::Key_Left, {}}}, {0, 1}, Qt::Key_Return},
        // Far past the frame's right and bottom edges: the picture scrolls along.
        {std::vector(50, std::pair{Qt::Key_Right, Qt::KeyboardModifiers(Qt::ShiftModifier)}),
         {500, 1},
         Qt::Key_Enter},
        {std::vector(40, std::pair{Qt::Key_Down, Qt::KeyboardModifiers(Qt::ShiftModifier)}),
         {500, 401},
         Qt::Key_Space},
    };
    int picks = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pixel.x()) + "," + std::to_string(c.pixel.y()));
        for (const auto& [key, modifiers] : c.keys)
            QTest::keyClick(form->Image1, key, modifiers);
        ASSERT_EQ(form->Image1->Cursor(), c.pixel);
        // The cursor shows inside the frame.
        const QPoint inFrame = form->Image1->mapTo(form->GroupBox1, c.pixel);
        EXPECT_TRUE(form->GroupBox1->contentsRect().contains(inFrame))
            << inFrame.x() << "," << inFrame.y();
        QTest::keyClick(form->Image1, c.pickWith);
        QTest::mouseClick(form->Image1, Qt::LeftButton, {}, c.pixel);
        ASSERT_EQ(form->State().ColorCount, picks + 2);
        EXPECT_EQ(form->State().SelColor[picks], UniqueAt(c.pixel.x(), c.pixel.y()));
        EXPECT_EQ(form->State().SelColor[picks + 1], form->State().SelColor[picks]) << "the click";
        form->UnpickClick();
        form->UnpickClick();
        picks = 0;
    }
    EXPECT_GT(form->Hshift->value(), 0);
    EXPECT_GT(form->Vshift->value(), 0);
    EXPECT_TRUE(form->Image1->accessibleDescription().contains("500, 401"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

// The pointer moving to p over a widget, as the window system reports it.
void Hover(QWidget* widget, QPoint p) {
    const QPointF scene = widget->mapTo(widget->window(), QPointF(p));
    QMouseEvent move(QEvent::MouseMove, QPointF(p), scene, widget->mapToGlobal(QPointF(p)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// The loupe follows the pointer over the picture, shows the pixel under it ten times its size
// with its colour, never covers it, and can be turned off (which is remembered).
TEST_F(FormTest, TheLoupeMagnifiesThePixelUnderThePointer) {
    Open(Write("unique.bmp", test::EncodeBmp(UniquePicture(300, 200), 24)));
    Loupe* loupe = form->Image1->LoupeWidget();
    for (const QPoint p : {QPoint(50, 40), QPoint(299, 199), QPoint(3, 120)}) {
        SCOPED_TRACE(std::to_string(p.x()) + "," + std::to_string(p.y()));
        Hover(form->Image1, p);
        ASSERT_TRUE(loupe->isVisible());
        const TColor c = UniqueAt(p.x(), p.y());
        EXPECT_TRUE(loupe->Text().contains(QString::fromStdString(HexColour(c))))
            << loupe->Text().toStdString();
        const QPoint shown = form->Image1->mapTo(form.get(), p);
        EXPECT_FALSE(loupe->geometry().adjusted(-1, -1, 1, 1).contains(shown));
        // The middle cell is the pixel's colour throughout.
        const QImage drawn = loupe->grab().toImage();
        const QRect middle((loupe->width() - 90) / 2 + 40, 3 + 40, 10, 10);
        const qreal ratio = drawn.devicePixelRatio();
        for (const QPoint at :
             {middle.topLeft() + QPoint(1, 1), middle.bottomRight() - QPoint(1, 1)})
            EXPECT_EQ(drawn.pixel((QPointF(at) * ratio).toPoint()),
                      qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
    }
    Hover(form->Image1, QPoint(500, 300));  // beside the picture
    EXPECT_FALSE(loupe->isVisible());

    QAction* item = form->MenuItem(Q("放大鏡"));
    item->trigger();
    Hover(form->Image1, QPoint(50, 40));
    EXPECT_FALSE(loupe->isVisible());
    EXPECT_FALSE(TForm1().MenuItem(Q("放大鏡"))->isChecked()) << "remembered for the next run";
    item->trigger();
    EXPECT_TRUE(TForm1().MenuItem(Q("放大鏡"))->isChecked());
}

// Ctrl+Z takes the last pick back, its swatch blank; a click after the fourth pick says once a
// round how to change picks.
TEST_F(FormTest, PicksAreTakenBackAndTheFifthClickSaysHow) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Open(quadrants);
    const QImage blank = form->SwatchImage();
    PickBases();
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(LogTail(8), QStringList({Q("取消選擇顏色4")}));
    EXPECT_EQ(form->SwatchImage().pixel(25, 100), blank.pixel(25, 100)) << "row 4 blank again";
    int x = 0, y = 0;
    test::BasePixelOf(3, x, y);
    Click(x, y);
    EXPECT_FALSE(QToolTip::isVisible()) << "the fourth pick itself says nothing";
    Click(1, 1);
    EXPECT_TRUE(QToolTip::isVisible() && QToolTip::text().contains(Q("復原選色")));
    QToolTip::hideText();
    Click(1, 1);
    EXPECT_FALSE(QToolTip::isVisible()) << "once a round";
    form->MenuItem(Q("重新選色"))->trigger();
    EXPECT_EQ(form->LogLines().back(), Q("請重新選擇四種顏色"));
    PickBases();
    Click(1, 1);
    EXPECT_TRUE(QToolTip::isVisible()) << "a new round";
    QToolTip::hideText();
}

// The log shows a scroll bar when its lines overflow, and follows the newest line unless the
// user has scrolled up.
TEST_F(FormTest, TheLogFollowsTheNewestLineUnlessScrolledUp) {
    Open(quadrants);
    for (int i = 0; i < 20; ++i)
        Click(1, 1), form->UnpickClick();
    QScrollBar* bar = form->Memo1->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), bar->maximum()) << "following";
    bar->setValue(0);
    Click(1, 1);
    EXPECT_EQ(bar->value(), 0) << "scrolled up, it stays";
    bar->setValue(bar->maximum());
    Click(2, 1);
    EXPECT_EQ(bar->value(), bar->maximum()) << "at the end again, it follows";
}

// A larger window grows the picture's frame; the controls right of it move along with its
// right edge, the scroll bars along its edges, and the log grows down with it.
TEST_F(FormTest, ALargerWindowGrowsThePictureFrame) {
    const QSize more(200, 120);
    const std::pair<QWidget*, QRect> designed[] = {
        {form->GroupBox1, {0, 10, 474 + 200, 395 + 120}},
        {form->Button1, {640 + 200, 10, 92, 31}},
        {form->Memo1, {502 + 200, 345, 228, 99 + 120}},
        {form->GroupBox2, {502 + 200, 128, 139, 198}},
        {form->Vshift, {473 + 200, 20, 21, 385 + 120}},
        {form->Hshift, {10, 414 + 120, 464 + 200, 20}},
        {form->Image1, {20, 30, 1575, 1181}},
    };
    // The design grows from its designed size: here the window frame takes some of that.
    const QSize grow = QSize(788, 528) - form->DesignArea()->widget()->size() + more;
    form->resize(form->size() + grow);
    QApplication::processEvents();
    for (const auto& [control, place] : designed)
        EXPECT_EQ(control->geometry(), place) << control->metaObject()->className();
    form->Hshift->setValue(1);
    EXPECT_EQ(form->Image1->x(), -157) << "the scroll bars keep their rule";
    form->resize(form->size() - grow);
    QApplication::processEvents();
    EXPECT_EQ(form->GroupBox1->geometry(), QRect(0, 10, 474, 395));
}

// 檢視 → 套用色彩描述檔: on at first, remembered, and for the next open; the status bar says
// what came of the shown picture's profile, and the log stays as designed.
TEST_F(FormTest, TheProfileSwitchHoldsFromTheNextOpenAndTheStatusBarSaysWhatCameOfIt) {
    const std::string adobe =
        Write("adobe.png", test::Png8(8, 8, false, std::vector<std::uint32_t>(64, 0xC80A0A),
                                      test::Profile(test::Icc::kAdobeRgb)));
    QAction* item = form->MenuItem(Q("套用色彩描述檔"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isChecked());
    const auto* status = form->findChild<QLabel*>("pictureStatus");
    Open(adobe);
    EXPECT_EQ(form->windowTitle(), Q("adobe.png (100%) - colorsplit"));
    EXPECT_TRUE(status->text().endsWith(Q("已套用色彩描述檔:Adobe RGB (1998)")))
        << status->text().toStdString();
    EXPECT_EQ(LogTail(2), QStringList({Q("開檔完成,請選擇四種顏色")}));
    const QImage converted = form->ShownPicture().Image();
    item->trigger();
    EXPECT_EQ(form->ShownPicture().Image(), converted) << "as it was opened";
    EXPECT_FALSE(TForm1().MenuItem(Q("套用色彩描述檔"))->isChecked()) << "remembered";
    Open(adobe);
    EXPECT_EQ(form->ShownPicture().Image(),
              PictureFile(adobe, false).Decode(Picture::kReadLimitPixels));
    EXPECT_NE(form->ShownPicture().Image(), converted);
    EXPECT_TRUE(status->text().endsWith(Q("未套用色彩描述檔:Adobe RGB (1998)")))
        << status->text().toStdString();
    item->trigger();
    EXPECT_TRUE(TForm1().MenuItem(Q("套用色彩描述檔"))->isChecked());
}

// The save and export dialogs start where a file can be written: the last save or export's
// folder, remembered between runs; else the picture's folder if writable; else Pictures or home.
// The open dialog starts where the last picture was opened. Only a folder a file was really
// opened from or written to is remembered, and none of the kernel's (/proc, /sys, /dev).
TEST(DialogFolders, DialogsStartWhereFilesWereReallyOpenedAndWritten) {
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        "/colorsplit/settings.json";
    QFile::remove(settings);
    QTemporaryDir dir;
    const QString readOnly = dir.filePath("read-only"), writable = dir.filePath("writable"),
                  saved = dir.filePath("saved");
    for (const QString& folder : {readOnly, writable, saved}) {
        QDir().mkpath(folder);
        test::WriteFile((folder + "/p.bmp").toStdString(),
                        test::EncodeBmp(test::QuadrantPicture(), 24));
    }
    test::WriteFile((saved + "/broken.bmp").toStdString(), {'B', 'M', 0});
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString fallback = QFileInfo(pictures).isDir() ? pictures : QDir::homePath();

    // Where each dialog starts after each step, each step in a window of its own: a new run.
    const struct {
        const char* step;
        QString opened;     // picture opened (or tried)
        QString written;    // file saved there afterwards (or tried), if any
        QString start;      // where the save and export dialogs then start
        QString openStart;  // where the open dialog then starts
    } steps[] = {
        {"read-only folder", readOnly + "/p.bmp", {}, fallback, readOnly},
        {"writable folder", writable + "/p.bmp", {}, writable, writable},
        {"after a save", readOnly + "/p.bmp", saved + "/out.bmp", saved, readOnly},
        {"the next run", writable + "/p.bmp", {}, saved, writable},
        {"a save that failed", writable + "/p.bmp", "/proc/nope.png", saved, writable},
        {"one refused", writable + "/p.bmp", readOnly + "/no.bmp", saved, writable},
        {"an open that failed", saved + "/broken.bmp", {}, saved, writable},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        TForm1 form;
        QStringList errors;
        form.SetErrorReporter([&errors](const QString& m) { errors << m; });
        form.OpenFile(s.opened);
        if (!s.written.isEmpty()) {
            Choose(s.written.toStdString(), true);
            form.Button4Click();
        }
        const bool shown = !form.State().OpenFileName.empty();
        EXPECT_EQ(shown, !s.opened.contains("broken"));
        EXPECT_EQ(errors.size(), !shown || s.written.contains("no") ? 1 : 0)
            << errors.join('\n').toStdString();
        const struct {
            void (TForm1::*command)();
            QString start;
        } dialogs[] = {{&TForm1::Button1Click, s.openStart},
                       {&TForm1::Button4Click, s.start},
                       {&TForm1::ExportClick, s.start}};
        for (const auto& [command, start] : dialogs) {
            // Without a picture only the open dialog shows.
            if (!shown && command != &TForm1::Button1Click)
                continue;
            if (command == &TForm1::ExportClick) {
                form.Image1MouseDown(1, 1);
                form.Button2Click();
            }
            QString started;
            WhenShown<QFileDialog>([&started](QFileDialog& d) {
                started = d.directory().absolutePath();
                d.reject();
            });
            (form.*command)();
            EXPECT_EQ(QDir(started), QDir(start)) << started.toStdString();
        }
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A kernel folder remembered all the same (by an earlier version) is passed over.
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"({"openFolder": "/sys/kernel"})");
    file.close();
    TForm1 form;
    WhenShown<QFileDialog>([](QFileDialog& d) {
        EXPECT_EQ(QDir(d.directory()), QDir(SamplesDirectory()));
        d.reject();
    });
    form.Button1Click();
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// The window opens at the size and place, and in the maximised state, it was closed in; until
// it has been closed once, at the design's.
TEST(WindowGeometry, ComesBackAsItWasLeft) {
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  "/colorsplit/settings.json");
    const QRect left(60, 70, 700, 480);
    for (const int run : {1, 2, 3}) {
        TForm1 form;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        EXPECT_EQ(form.isMaximized(), run == 3);
        if (run == 1)
            EXPECT_EQ(form.frameGeometry().size(), QSize(788, 528 + form.menuBar()->height()));
        else
            EXPECT_EQ(form.normalGeometry(), left) << "run " << run;
        form.setGeometry(left);
        if (run == 2)
            form.showMaximized();
        QApplication::processEvents();
        form.close();
    }
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// The status bar: the picture's format and size (and its file's, for a reduced copy) with one
// more note where asked; the pixel under the pointer, or the cursor the keys move, with its
// colour as shown.
TEST_F(FormTest, TheStatusBarShowsThePictureAndThePixelUnderThePointer) {
    auto* picture = form->findChild<QLabel*>("pictureStatus");
    auto* pointer = form->findChild<QLabel*>("pointerStatus");
    ASSERT_TRUE(picture != nullptr && pointer != nullptr);
    EXPECT_TRUE(picture->text().isEmpty());
    Open(quadrants);
    const QSize size = form->ShownPicture().Image().size();
    EXPECT_EQ(picture->text(), texts::PictureStatus("BMP", size, size));

    const QPoint p(30, 5);
    Hover(form->Image1, p);
    const TColor c = form->ShownPicture().GetPixel(p.x(), p.y());
    EXPECT_EQ(pointer->text(), texts::PointerStatus(p.x(), p.y(), c));
    Hover(form->Image1, QPoint(1000, 1000));
    EXPECT_TRUE(pointer->text().isEmpty()) << "beside the picture";
    form->Image1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Image1, Qt::Key_Right);
    const QPoint at = form->Image1->Cursor().value();
    EXPECT_EQ(pointer->text(),
              texts::PointerStatus(at.x(), at.y(), form->ShownPicture().GetPixel(at.x(), at.y())));

    QImage tall(3, 961, QImage::Format_RGB32);
    tall.fill(0x123456);
    const std::string png = Path("tall.png");
    ASSERT_TRUE(tall.save(QString::fromStdString(png), "PNG"));
    WhenShown<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    Open(png);
    EXPECT_EQ(picture->text(), texts::PictureStatus("PNG", QSize(3, 960), QSize(3, 961)));
    form->SetPictureNote("sRGB");
    EXPECT_TRUE(picture->text().startsWith(texts::PictureStatus("PNG", {3, 960}, {3, 961})));
    EXPECT_TRUE(picture->text().endsWith("sRGB"));
}

// Every menu item and button says what it does and its keys; the menus show it.
TEST_F(FormTest, TooltipsSayWhatEachCommandDoesAndItsKeys) {
    int items = 0;
    for (QAction* title : form->menuBar()->actions()) {
        EXPECT_TRUE(title->menu()->toolTipsVisible()) << title->text().toStdString();
        for (QAction* item : title->menu()->actions()) {
            if (item->isSeparator())
                continue;
            ++items;
            const QByteArray name = item->objectName().toLatin1();
            SCOPED_TRACE(name.toStdString());
            EXPECT_FALSE(texts::CommandTip(name.constData()).isEmpty()) << "what it does";
            EXPECT_TRUE(item->toolTip().startsWith(texts::CommandTip(name.constData())));
            for (const QKeySequence& keys : item->shortcuts())
                EXPECT_TRUE(item->toolTip().contains(keys.toString(QKeySequence::NativeText)))
                    << item->toolTip().toStdString();
        }
    }
    EXPECT_GE(items, 20);
    for (QPushButton* b :
         {form->Button1, form->Button2, form->Button3, form->Button4, form->Button5, form->Button7})
        EXPECT_EQ(b->toolTip(), form->MenuItem(b->text())->toolTip()) << b->text().toStdString();
    EXPECT_EQ(form->Button1->toolTip(), texts::WithKeys(texts::CommandTip("open"), "Ctrl+O"));
}

// 檔案 → 最近開啟的檔案 lists the last ten pictures opened, newest first, in this run and the
// next; files no longer there are left out, and a file that did not open is not listed. Each
// opens again as if chosen in the dialog.
TEST_F(FormTest, RecentFilesListTheLastTenPicturesOpened) {
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  "/colorsplit/settings.json");
    QMenu* menu = form->MenuItem(Q("最近開啟的檔案"))->menu();
    ASSERT_NE(menu, nullptr);
    const auto listed = [](QMenu* m) {
        emit m->aboutToShow();
        QStringList files;
        for (QAction* item : m->actions())
            if (item->isEnabled())
                files << item->toolTip();
        return files;
    };
    EXPECT_TRUE(listed(menu).isEmpty());
    QStringList opened;
    for (int i = 0; i < 12; ++i) {
        const QString name = QStringLiteral("p%1.bmp").arg(i);
        opened.prepend(QString::fromStdString(
            Write(name.toStdString(), test::EncodeBmp(test::QuadrantPicture(), 24))));
        form->OpenFile(opened.front());
    }
    form->OpenFile(QString::fromStdString(Write("broken.bmp", {'B', 'M'})));
    EXPECT_EQ(listed(menu), opened.mid(0, 10));
    QFile::remove(opened[3]);
    form->OpenFile(opened[5]);
    TForm1 next;
    const QStringList now = listed(next.MenuItem(Q("最近開啟的檔案"))->menu());
    EXPECT_EQ(now, QStringList({opened[5], opened[0], opened[1], opened[2], opened[4], opened[6],
                                opened[7], opened[8], opened[9]}));
    ASSERT_EQ(listed(menu), now);
    EXPECT_TRUE(menu->actions().front()->text().endsWith("p6.bmp")) << "named, not the path";
    menu->actions()[1]->trigger();
    EXPECT_EQ(form->State().OpenFileName, opened[0].toStdString());
    // Also in the desktop's list, once for each time it opened.
    QFile desktop(recent::DesktopListFile());
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    const QString list = QString::fromUtf8(desktop.readAll());
    const qsizetype p10 = list.indexOf("/p10.bmp\"");
    ASSERT_GE(p10, 0);
    EXPECT_EQ(list.mid(p10, list.indexOf("</bookmark>", p10) - p10).count("count=\"1\""), 1);
    EXPECT_FALSE(list.contains("broken.bmp"));
}

}  // namespace
}  // namespace colorsplit
