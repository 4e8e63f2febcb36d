// The picture area at every zoom: fitting and stepping, where pictures open, the wheel, the
// frame's clip, the keyboard's cursor and the loupe, and the split shown in the picture area.
#define QTEST_QPA_MOUSE_HANDLING
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QColorSpace>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "platform/picture.h"
#include "support/modal.h"
#include "support/pictures.h"
#include "support/qt_printers.h"
#include "ui/image_control.h"
#include "ui/loupe.h"
#include "ui/picture_view.h"
#include "ui/statistics_dialog.h"
#include "ui/tform1.h"
#include "ui/zoom.h"

namespace colorsplit {
namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

TEST(Zoom, StepsFromAnyZoomAndTheirPercents) {
    const struct {
        double from, in, out;
    } steps[] = {
        {1, 1.5, 2.0 / 3}, {0.366, 0.5, 1.0 / 3},    {1.0 / 8, 0.25, 1.0 / 8}, {16, 16, 12},
        {20, 16, 16},      {0.05, 1.0 / 8, 1.0 / 8}, {2.0 / 3 + 1e-12, 1, 0.5}};
    for (const auto& s : steps) {
        EXPECT_DOUBLE_EQ(ZoomInFrom(s.from), s.in) << s.from;
        EXPECT_DOUBLE_EQ(ZoomOutFrom(s.from), s.out) << s.from;
    }
    const std::pair<double, const char*> percents[] = {{0.5, "50%"},       {1.0 / 3, "33.3%"},
                                                       {2.0 / 3, "66.7%"}, {1.0 / 8, "12.5%"},
                                                       {16, "1600%"},      {0.36612, "36.6%"}};
    for (const auto& [zoom, text] : percents)
        EXPECT_EQ(ZoomPercent(zoom), text);
}

// The one mapping: every device pixel of a pixel's block names that pixel, the ones beside it
// do not, and the blocks tile the line, at products of zoom and scale that do not divide evenly.
TEST(Zoom, EachBlockIsTheDevicePixelsThatNameItsPixel) {
    for (const double scale : {1.0, 1.5, 2.0 / 3 * 1.5, 3 * 1.5, 0.125 * 1.5, 0.36612, 2.4, 32.0})
        for (const QPoint origin : {QPoint(0, 0), QPoint(-37, 13)}) {
            const PixelGrid grid{scale, origin};
            for (int p = -2; p < 60; ++p) {
                const QRect block = grid.BlockOf({p, p});
                ASSERT_EQ(block.right() + 1, grid.BlockOf({p + 1, p + 1}).left());
                EXPECT_EQ(block.top() - origin.y(), block.left() - origin.x()) << "rows as columns";
                for (int d = block.left() - 1; d <= block.right() + 1; ++d)
                    EXPECT_EQ(grid.ColumnAt(d) == p, d >= block.left() && d <= block.right())
                        << "scale " << scale << ", pixel " << p << ", device pixel " << d;
            }
        }
}

QString SettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/colorsplit/settings.json");
}

// The pointer moving to p over a widget, as the window system reports it.
void Hover(QWidget* widget, QPoint p) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), widget->mapTo(widget->window(), QPointF(p)),
                     widget->mapToGlobal(QPointF(p)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void Wheel(QWidget* widget, QPoint at, QPoint angle, Qt::KeyboardModifiers modifiers) {
    QWheelEvent wheel(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(), angle, Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

class ViewTest : public ::testing::Test {
protected:
    // The zoom is remembered: each test starts from none.
    ViewTest() {
        QFile::remove(SettingsFile());
        NewWindow();
    }
    ~ViewTest() override {
        form.reset();
        QFile::remove(SettingsFile());
    }
    // A window of its own, as the next run would open it.
    void NewWindow() {
        form.reset();
        auto save = std::make_unique<ScriptedDialog>();
        auto folder = std::make_unique<ScriptedDialog>();
        saveDialog = save.get();
        exportDialog = folder.get();
        form = std::make_unique<TForm1>(std::make_unique<ScriptedDialog>(), std::move(save),
                                        std::move(folder));
        form->SetErrorReporter([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    QString Write(const char* name, const test::RgbImage& image) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        test::WriteFile(path.toStdString(), test::EncodeBmp(image, 24));
        return path;
    }
    PictureView& View() { return *form->Image1; }

    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    ScriptedDialog* saveDialog = nullptr;
    ScriptedDialog* exportDialog = nullptr;
};

// 符合視窗 shows the whole of a wide, a tall and a small picture as large as the frame allows,
// and fits each picture opened after it and a larger window; the keys step from there; the
// zoom shows in the title, stays for the next picture and is remembered for the next run.
TEST_F(ViewTest, FitShowsWholePicturesAndTheZoomIsShownKeptAndRemembered) {
    form->FitClick();
    const struct {
        const char* name;
        int w, h;
    } pictures[] = {{"wide.bmp", 640, 120}, {"tall.bmp", 120, 640}, {"small.bmp", 40, 30}};
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.name);
        form->OpenFile(Write(p.name, test::UniquePicture(p.w, p.h)));
        const QSize room = form->GroupBox1->contentsRect().size();
        EXPECT_DOUBLE_EQ(View().Zoom(), std::min(static_cast<double>(room.width()) / p.w,
                                                 static_cast<double>(room.height()) / p.h));
        const QRect whole = View().ShownRect({0, 0}) | View().ShownRect({p.w - 1, p.h - 1});
        EXPECT_TRUE(View().Visible().contains(whole));
        EXPECT_LE(std::min(View().Visible().width() - whole.width(),
                           View().Visible().height() - whole.height()),
                  1)
            << "as large as the frame allows";
        EXPECT_EQ(form->windowTitle(),
                  QStringLiteral("%1 (%2) - colorsplit").arg(p.name, ZoomPercent(View().Zoom())));
    }
    EXPECT_GT(View().Zoom(), 1) << "a small picture is enlarged";
    const double small = View().Zoom();
    form->resize(form->size() + QSize(200, 200));
    QApplication::processEvents();
    EXPECT_GT(View().Zoom(), small) << "a larger frame fits again";

    const std::pair<Qt::Key, double> keys[] = {{Qt::Key_1, 1},     {Qt::Key_Equal, 1.5},
                                               {Qt::Key_Plus, 2},  {Qt::Key_Minus, 1.5},
                                               {Qt::Key_Minus, 1}, {Qt::Key_Minus, 2.0 / 3}};
    for (const auto& [key, zoom] : keys) {
        QTest::keyClick(form.get(), key, Qt::ControlModifier);
        EXPECT_DOUBLE_EQ(View().Zoom(), zoom) << QKeySequence(key).toString().toStdString();
    }
    EXPECT_FALSE(View().Fitting());
    form->OpenFile(dir.filePath("wide.bmp"));
    EXPECT_EQ(form->windowTitle(), "wide.bmp (66.7%) - colorsplit");
    NewWindow();
    EXPECT_DOUBLE_EQ(View().Zoom(), 2.0 / 3) << "remembered";
    QTest::keyClick(form.get(), Qt::Key_0, Qt::ControlModifier);
    NewWindow();
    EXPECT_TRUE(View().Fitting()) << "remembered";
}

// At 100 % and zoomed: nothing of the picture shows outside the frame's inside wherever it is
// scrolled; another picture opens at the top left with both bars at 0; the wheel moves a step
// a notch, sideways with Shift, and the bars' ends show the corners. Ctrl+wheel zooms about
// the pointer.
TEST_F(ViewTest, PicturesOpenAtTheStartTheFrameClipsAndTheWheelReachesEverywhere) {
    const QString magenta =
        Write("magenta.bmp", {1280, 960, std::vector<std::uint32_t>(1280 * 960, 0xFF00FF)});
    const QString unique = Write("unique.bmp", test::UniquePicture(600, 400));
    for (const double zoom : {1.0, 3.0}) {
        SCOPED_TRACE(zoom);
        View().SetZoom(zoom);
        form->OpenFile(magenta);
        form->Hshift->setValue(3);
        form->Vshift->setValue(2);
        const QImage frame = form->GroupBox1->grab().toImage();
        const QRect inside = form->GroupBox1->contentsRect();
        int outside = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                outside += frame.pixel(x, y) == qRgb(255, 0, 255) &&
                           !inside.contains((QPointF(x, y) / frame.devicePixelRatio()).toPoint());
        EXPECT_EQ(outside, 0) << "pixels of the picture drawn outside the frame";

        form->OpenFile(unique);
        EXPECT_EQ(form->Hshift->value(), 0);
        EXPECT_EQ(form->Vshift->value(), 0);
        if (zoom == 1) {
            EXPECT_EQ(form->Image1->pos(), QPoint(20, 30)) << "the designed place";
        }
        EXPECT_TRUE(View().Visible().contains(View().ShownRect({0, 0})));
        const int step = zoom == 1 ? 1 : form->Vshift->singleStep();
        Wheel(&View(), {50, 50}, {0, -120}, {});
        EXPECT_EQ(form->Vshift->value(), step);
        Wheel(&View(), {50, 50}, {0, -120}, Qt::ShiftModifier);
        EXPECT_EQ(form->Hshift->value(), zoom == 1 ? 1 : form->Hshift->singleStep());
        // At 100 % a step of the design is a tenth of the control, which is larger than this
        // picture: its far corner shows a step in.
        form->Hshift->setValue(zoom == 1 ? 1 : form->Hshift->maximum());
        form->Vshift->setValue(zoom == 1 ? 1 : form->Vshift->maximum());
        EXPECT_TRUE(View().Visible().contains(View().ShownRect({599, 399})));
    }
    View().SetZoom(2);
    form->Hshift->setValue(form->Hshift->maximum() / 2);
    form->Vshift->setValue(form->Vshift->maximum() / 2);
    const QPoint at(200, 150);
    for (const int notch : {120, 120, -120, -120, -120}) {
        const QPoint before = *View().PixelAt(at);
        const double zoom = View().Zoom();
        Wheel(&View(), at, {0, notch}, Qt::ControlModifier);
        EXPECT_DOUBLE_EQ(View().Zoom(), notch > 0 ? ZoomInFrom(zoom) : ZoomOutFrom(zoom));
        EXPECT_LE((*View().PixelAt(at) - before).manhattanLength(), 1) << View().Zoom();
    }
}

// At 100 % the view steps when the cursor passes the frame's last column, not before; the
// cursor stops on the picture's last pixel, where Space picks. The loupe goes when the pointer
// leaves, wherever the keys had put it, and comes back with the next key; in a window narrower
// than the design it stays inside the window. A focused picture shows it.
TEST_F(ViewTest, TheKeyboardsCursorTheLoupeAndTheFocus) {
    form->OpenFile(Write("unique.bmp", test::UniquePicture(640, 480)));
    View().setFocus(Qt::TabFocusReason);
    const auto press = [this](Qt::Key key, int times, Qt::KeyboardModifiers modifiers = {}) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(&View(), key, modifiers);
    };
    press(Qt::Key_Right, View().Visible().right() - View().Cursor()->x());
    EXPECT_EQ(View().Cursor()->x(), View().Visible().right());
    EXPECT_EQ(form->Hshift->value(), 0) << "not before the cursor leaves the frame";
    press(Qt::Key_Right, 1);
    EXPECT_EQ(form->Hshift->value(), 1);
    press(Qt::Key_Right, 30, Qt::ShiftModifier);
    EXPECT_EQ(View().Cursor()->x(), 639);
    QTest::keyClick(&View(), Qt::Key_Space);
    ASSERT_EQ(form->State().ColorCount, 1) << "a pick on the last pixel";
    EXPECT_EQ(form->State().SelColor[0], test::UniqueAt(639, View().Cursor()->y()));

    Loupe* loupe = View().LoupeWidget();
    QEvent leave(QEvent::Leave);
    EXPECT_TRUE(loupe->isVisible());
    QApplication::sendEvent(&View(), &leave);
    EXPECT_FALSE(loupe->isVisible()) << "gone with the pointer, wherever the keys put it";
    press(Qt::Key_Left, 1);
    EXPECT_TRUE(loupe->isVisible()) << "a key moved the cursor since";
    form->Button2Click();
    EXPECT_TRUE(loupe->isVisible());
    Hover(&View(), View().Visible().center());
    QApplication::sendEvent(&View(), &leave);
    EXPECT_FALSE(loupe->isVisible());
    form->Button2Click();
    EXPECT_FALSE(loupe->isVisible()) << "not back after 執行";

    const QPoint corner = View().Visible().topLeft();
    EXPECT_EQ(View().grab().toImage().pixel(corner),
              View().palette().color(QPalette::Highlight).rgb());
    form->Button1->setFocus();
    EXPECT_NE(View().grab().toImage().pixel(corner),
              View().palette().color(QPalette::Highlight).rgb());

    form->resize(560, form->height());
    form->Hshift->setValue(0);
    QApplication::processEvents();
    // The picture's last column that shows in the window (100 %: the view's own coordinates).
    const int right = std::min({View().Visible().right(), 639,
                                View().mapFrom(form.get(), QPoint(form->width() - 1, 0)).x()});
    Hover(&View(), QPoint(right, 200));
    ASSERT_TRUE(loupe->isVisible());
    EXPECT_TRUE(form->rect().contains(loupe->geometry())) << "flipped at the window's edge";
}

// After 執行 the picture area shows the split (the export's quantised picture, pixel for
// pixel; a mask does not change it), and one group at a glance while the pointer is on its
// swatch or its row is selected in 群組統計: its pixels as opened, the rest at a third. The
// picture, a save and the mean stay as they were. Items that cannot do anything are disabled.
TEST_F(ViewTest, TheSplitAsAWholeAndOneGroupAtAGlance) {
    form->OpenFile(Write("quadrants.bmp", test::QuadrantPicture()));
    QAction* quantised = form->MenuItem(Q("顯示分群結果"));
    QAction* unpick = form->MenuItem(Q("復原選色"));
    const auto grouped = [&](bool enabled) {
        for (const char* item : {"匯出群組", "群組統計", "顯示分群結果"})
            EXPECT_EQ(form->MenuItem(Q(item))->isEnabled(), enabled) << item;
    };
    grouped(false);
    EXPECT_FALSE(unpick->isEnabled());
    for (int q = 0; q < 4; ++q) {
        int x = 0, y = 0;
        test::BasePixelOf(q, x, y);
        form->Image1MouseDown(x, y);
    }
    EXPECT_TRUE(unpick->isEnabled());
    form->Button2Click();
    grouped(true);
    EXPECT_FALSE(unpick->isEnabled()) << "after 執行";
    EXPECT_TRUE(form->Button2->isEnabled() && form->Button7->isEnabled());

    quantised->trigger();
    exportDialog->Answer(dir.path().toStdString());
    form->ExportClick();
    form->WaitForWork();
    QImage exported =
        QImage(dir.filePath("quadrants-quantised.png")).convertToFormat(QImage::Format_RGB32);
    // The file says its colours are sRGB's; the picture area's images say nothing.
    exported.setColorSpace(QColorSpace());
    EXPECT_EQ(View().Displayed(), exported);
    form->Button7Click();
    EXPECT_EQ(View().Displayed(), exported) << "a mask does not change the split";
    quantised->trigger();
    const QImage picture = form->ShownPicture().Image();
    EXPECT_EQ(View().Displayed(), picture) << "the picture as shown, masked";

    const auto dimmedBut = [this](QImage base, int group) {
        for (int y = 0; y < base.height(); ++y)
            for (int x = 0; x < base.width(); ++x)
                if (const QRgb c = base.pixel(x, y); form->State().Pixels[x][y].Group != group)
                    base.setPixel(x, y, qRgb(qRed(c) / 3, qGreen(c) / 3, qBlue(c) / 3));
        return base;
    };
    const TColor mean = (form->Button5Click(), form->State().MeanColor);
    Hover(form->ColorInf, QPoint(25, form->ColorInf->Offset().y() + 30 + 10));
    const QImage opened =
        QImage(dir.filePath("quadrants.bmp")).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(View().Displayed(), dimmedBut(opened, 1)) << "as opened, whatever mask is painted";
    quantised->trigger();
    EXPECT_EQ(View().Displayed(), dimmedBut(exported, 1)) << "in the split too";
    saveDialog->Answer(dir.filePath("saved.bmp").toStdString());
    form->Button4Click();
    form->Button5Click();
    EXPECT_EQ(form->ShownPicture().Image(), picture);
    EXPECT_EQ(Picture::ReadFile(dir.filePath("saved.bmp").toStdString()), picture);
    EXPECT_EQ(form->State().MeanColor, mean);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form->ColorInf, &leave);
    EXPECT_EQ(View().Displayed(), exported);

    test::WhenShown<StatisticsDialog>([&](StatisticsDialog& dialog) {
        dialog.Table()->selectRow(2);
        EXPECT_EQ(View().Displayed(), dimmedBut(exported, 2));
        dialog.reject();
    });
    form->StatisticsClick();
    EXPECT_EQ(View().Displayed(), exported) << "the dialog closed";

    form->RepickClick();
    EXPECT_FALSE(quantised->isChecked());
    grouped(false);
}

// Wherever the keys or the pointer take the cursor, at any zoom, the loupe stands inside the
// picture's frame, clear of the pixel it magnifies: never over the buttons and swatches beside.
TEST_F(ViewTest, TheLoupeNeverLeavesTheFrame) {
    form->OpenFile(Write("unique.bmp", test::UniquePicture(640, 480)));
    Loupe* loupe = View().LoupeWidget();
    const QRect inside = form->GroupBox1->contentsRect();
    const QRect frame(form->GroupBox1->mapTo(form.get(), inside.topLeft()), inside.size());
    // With Shift, until the cursor stops at the picture's or the frame's edge.
    const std::pair<double, Qt::Key> cases[] = {{2, Qt::Key_Right}, {2, Qt::Key_Down},
                                                {1, Qt::Key_Right}, {8, Qt::Key_Down},
                                                {8, Qt::Key_Right}, {0.5, Qt::Key_Right}};
    for (const auto& [zoom, key] : cases) {
        SCOPED_TRACE("zoom " + std::to_string(zoom) + " key " + std::to_string(key));
        View().SetZoom(zoom);
        View().setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 70; ++i) {
            QTest::keyClick(&View(), key, Qt::ShiftModifier);
            const QRect shown = View().ShownRect(*View().Cursor());
            ASSERT_TRUE(loupe->isVisible());
            EXPECT_TRUE(frame.contains(loupe->geometry())) << loupe->geometry() << " in " << frame;
            EXPECT_FALSE(loupe->geometry().intersects(
                QRect(View().mapTo(form.get(), shown.topLeft()), shown.size())));
        }
        // The pointer at the frame's far corner, or the picture's where it ends before.
        const QPoint corner = View().Visible().bottomRight();
        const QRect last = View().ShownRect({639, 479});
        Hover(&View(), {std::min(corner.x(), last.right()), std::min(corner.y(), last.bottom())});
        EXPECT_TRUE(loupe->isVisible() && frame.contains(loupe->geometry()));
        form->Button1->setFocus();
    }
}

}  // namespace
}  // namespace colorsplit
