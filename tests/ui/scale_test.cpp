// Picking at the display scale this process runs at (QT_SCALE_FACTOR, set per test run): a
// click names the picture pixel under it.
#define QTEST_QPA_MOUSE_HANDLING
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtMath>
#include <cmath>

#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "support/bmp_builder.h"
#include "ui/image_control.h"
#include "ui/picture_view.h"
#include "ui/tform1.h"
#include "ui/zoom.h"

namespace colorsplit {
namespace {

// The offscreen screen is 800 x 800 device pixels: at scales 1.5 and 2 the window opens
// smaller than the design. These tests look at the whole design, so they give the window its
// designed size back.
void ShowDesignedSize(TForm1& form) {
    form.show();
    form.resize(788, 528 + form.menuBar()->height());
}

// A real pointer pressed and let go on device pixel d of the window, as the window system
// reports it: at the device pixel's logical position, a fraction at scales other than 1.
void ClickDevicePixel(TForm1& form, QPoint d) {
    QWindow* window = form.windowHandle();
    const double scale = form.devicePixelRatioF();
    const QPointF inWindow(d.x() / scale, d.y() / scale);
    const QPointF global = window->mapToGlobal(inWindow);
    QTest::lastMouseTimestamp += 500;  // not a double click
    qt_handleMouseEvent(window, inWindow, global, Qt::LeftButton, Qt::LeftButton,
                        QEvent::MouseButtonPress, Qt::NoModifier, QTest::lastMouseTimestamp);
    qt_handleMouseEvent(window, inWindow, global, Qt::NoButton, Qt::LeftButton,
                        QEvent::MouseButtonRelease, Qt::NoModifier, QTest::lastMouseTimestamp);
}

// At every zoom and at this scale, a click on any device pixel picks the picture pixel that
// device pixel shows: read from what the window draws, at the middle of the pixel's block and
// at its four far edges. From 1 up every pixel has its own colour, so each block is one pixel;
// below 1 the picture is blocks of 8 x 8, and a device pixel wholly inside one shows its colour.
TEST(DisplayScale, EveryZoomPicksThePixelItShows) {
    constexpr int kW = 640, kH = 480;
    QTemporaryDir dir;
    const auto write = [&dir](const char* name, auto colour) {
        test::RgbImage image{kW, kH, {}};
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                image.rgb.push_back(colour(x, y));
        const std::string path = dir.filePath(name).toStdString();
        test::WriteFile(path, test::EncodeBmp(image, 24));
        return QString::fromStdString(path);
    };
    const QString unique = write("unique.bmp", [](int x, int y) {
        return static_cast<std::uint32_t>((x & 0xFF) << 16 | (y & 0xFF) << 8 | (x >> 8) << 4 |
                                          y >> 8);
    });
    const QString blocks = write("blocks.bmp", [](int x, int y) {
        return static_cast<std::uint32_t>((x / 8) * 3 << 16 | (y / 8) * 4 << 8 | 0x80);
    });
    TForm1 form(std::make_unique<ScriptedDialog>(), std::make_unique<ScriptedDialog>());
    form.SetErrorReporter([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
    ShowDesignedSize(form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const double scale = form.devicePixelRatioF();

    std::vector<double> zooms(std::begin(kZoomSteps), std::end(kZoomSteps));
    zooms.push_back(0);  // fitted
    for (const double zoom : zooms) {
        const std::string where =
            "zoom " + std::to_string(zoom) + " at scale " + std::to_string(scale);
        SCOPED_TRACE(where);
        form.OpenFile(zoom != 0 && zoom < 1 ? blocks : unique);
        if (zoom == 0)
            form.FitClick();
        else
            form.Image1->SetZoom(zoom);
        // Somewhere in the middle of the picture, where the bars can go.
        form.Hshift->setValue(zoom == 1 ? 1 : form.Hshift->maximum() / 2);
        form.Vshift->setValue(zoom == 1 ? 1 : form.Vshift->maximum() / 2);
        QApplication::processEvents();
        const QImage shot = form.grab().toImage();
        const QRect visible =
            form.Image1->Visible().translated(form.Image1->mapTo(&form, QPoint(0, 0)));
        // Inside the visible part by a device pixel, clear of where the frame's line is drawn.
        const QRect inside(
            QPoint(qCeil(visible.left() * scale) + 1, qCeil(visible.top() * scale) + 1),
            QPoint(qFloor((visible.right() + 1) * scale) - 2,
                   qFloor((visible.bottom() + 1) * scale) - 2));
        // Colours the picture has: each pixel's own, or each block's.
        const auto inPicture = [zoom](QRgb c) {
            if (zoom != 0 && zoom < 1)
                return qBlue(c) == 0x80 && qRed(c) % 3 == 0 && qGreen(c) % 4 == 0 &&
                       qRed(c) / 3 < kW / 8 && qGreen(c) / 4 < kH / 8;
            const int x = qRed(c) | (qBlue(c) >> 4) << 8, y = qGreen(c) | (qBlue(c) & 0xF) << 8;
            return x < kW && y < kH;
        };
        // Where the picture shows.
        QRect shows;
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                if (inPicture(shot.pixel(x, y)))
                    shows |= QRect(x, y, 1, 1);
        ASSERT_FALSE(shows.isEmpty());
        int checked = 0;
        for (int i = 1; i <= 5; ++i) {
            for (int j = 1; j <= 4; ++j) {
                const QPoint d(shows.left() + shows.width() * i / 6,
                               shows.top() + shows.height() * j / 5);
                const QRgb shown = shot.pixel(d);
                const auto same = [&](QPoint p) {
                    return inside.contains(p) && shot.pixel(p) == shown;
                };
                // Below 1, a device pixel across blocks shows a mean that is no block's colour,
                // unless one block covers nearly all of it, centre included.
                if (!inPicture(shown))
                    continue;
                // The block of device pixels showing it: from d out to where the colour changes.
                QPoint left = d, right = d, top = d, bottom = d;
                while (same(left - QPoint(1, 0)))
                    left -= QPoint(1, 0);
                while (same(right + QPoint(1, 0)))
                    right += QPoint(1, 0);
                while (same(top - QPoint(0, 1)))
                    top -= QPoint(0, 1);
                while (same(bottom + QPoint(0, 1)))
                    bottom += QPoint(0, 1);
                for (const QPoint at : {d, left, right, top, bottom}) {
                    ClickDevicePixel(form, at);
                    ASSERT_EQ(form.State().ColorCount, 1)
                        << "device pixel " << at.x() << "," << at.y();
                    EXPECT_EQ(form.State().SelColor[0],
                              PackColor(qRed(shown), qGreen(shown), qBlue(shown)))
                        << "device pixel " << at.x() << "," << at.y() << " of the block round "
                        << d.x() << "," << d.y();
                    form.UnpickClick();
                    ++checked;
                }
            }
        }
        EXPECT_GE(checked, 20) << "device pixels that show one picture pixel";
    }
    // The next window of this process starts at 100 % again.
    form.ActualSizeClick();
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// Drawn at this scale: the log's frame on every side, the swatches at the screen's own
// resolution, and their first row clear of the frame's line under the title.
TEST(DisplayScale, TheLogsFrameAndTheSwatchesShowWhole) {
    TForm1 form(std::make_unique<ScriptedDialog>(), std::make_unique<ScriptedDialog>());
    form.SetErrorReporter([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
    ShowDesignedSize(form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // Two picks, red and blue, on a picture of those.
    QTemporaryDir dir;
    const std::string path = dir.filePath("two.bmp").toStdString();
    test::WriteFile(path,
                    test::EncodeBmp(test::RgbImage{3, 1, {0xFF0000, 0xFF0000, 0x0000FF}}, 24));
    form.OpenFile(QString::fromStdString(path));
    form.Image1MouseDown(1, 0);
    form.Image1MouseDown(2, 0);
    const QImage shot = form.grab().toImage();
    const double scale = shot.devicePixelRatio();
    const QString where = QStringLiteral("scale %1").arg(scale);

    // Across each side of the log, a pixel darker than both the window and the text area.
    const auto inForm = [&form](const QWidget* w) {
        return QRect(w->mapTo(&form, QPoint(0, 0)), w->size());
    };
    const QRect log = inForm(form.Memo1);
    const auto frameAcross = [&](QPointF from, QPointF step) {
        for (int i = -2; i <= 3; ++i) {
            const QPoint p = ((from + step * i) * scale).toPoint();
            if (qGray(shot.pixel(p)) < 200)
                return true;
        }
        return false;
    };
    const QPointF middle = QRectF(log).center();
    const qreal px = 1.0 / scale;
    EXPECT_TRUE(frameAcross({middle.x(), qreal(log.top())}, {0, px})) << where.toStdString();
    EXPECT_TRUE(frameAcross({middle.x(), qreal(log.bottom() + 1)}, {0, -px}))
        << where.toStdString();
    EXPECT_TRUE(frameAcross({qreal(log.left()), middle.y()}, {px, 0})) << where.toStdString();
    EXPECT_TRUE(frameAcross({qreal(log.right() + 1), middle.y()}, {-px, 0})) << where.toStdString();

    EXPECT_EQ(form.SwatchImage().devicePixelRatio(), scale);
    EXPECT_EQ(form.SwatchImage().width(), qRound(123 * scale));

    // Down the middle of the swatches: where each black border line starts (a swatch's top
    // and bottom lines, then the next swatch's top).
    const QRect panel = inForm(form.ColorInf);
    const int x = qRound((panel.x() + 25) * scale);
    std::vector<double> tops;
    const int panelTop = panel.y();
    const int panelBottom = panelTop + panel.height();
    for (int y = qRound(panelTop * scale); y < qRound(panelBottom * scale); ++y)
        if (shot.pixel(x, y) == qRgb(0, 0, 0) &&
            (tops.empty() || shot.pixel(x, y - 1) != qRgb(0, 0, 0)))
            tops.push_back(y / scale);
    ASSERT_GE(tops.size(), 3u) << where.toStdString();
    const int contentTop = inForm(form.GroupBox2).y() + form.GroupBox2->contentsRect().top();
    EXPECT_GE(tops[0], contentTop - 0.5) << where.toStdString();
    EXPECT_NEAR(tops[2] - tops[0], 30, 1) << where.toStdString();
}

}  // namespace
}  // namespace colorsplit

namespace colorsplit {
namespace {

// On a screen smaller than the design, the window opens inside the screen's free area and the
// design scrolls: every control can be brought into view (at scale 2 the offscreen screen is
// 400 x 400).
TEST(DisplayScale, TheWindowOpensInsideTheScreenAndEveryControlIsReachable) {
    TForm1 form(std::make_unique<ScriptedDialog>(), std::make_unique<ScriptedDialog>());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::processEvents();  // the scroll area lays out what it shows
    const QRect free = form.screen()->availableGeometry();
    EXPECT_TRUE(free.contains(form.frameGeometry())) << "scale " << form.devicePixelRatioF();
    // A window manager may apply a stale request late: grown past the screen while it settles,
    // the window fits again.
    form.resize(free.size() + QSize(200, 200));
    QElapsedTimer waited;
    waited.start();
    while (!free.contains(form.frameGeometry()) && waited.elapsed() < 3000)
        QTest::qWait(20);
    EXPECT_TRUE(free.contains(form.frameGeometry())) << "grown while settling";
    for (QWidget* control :
         {static_cast<QWidget*>(form.Button1), static_cast<QWidget*>(form.Hshift),
          static_cast<QWidget*>(form.Memo1), static_cast<QWidget*>(form.GroupBox2)}) {
        // Scrolled to, as the scroll bars or a focus change would.
        const QPoint middle = control->mapTo(form.DesignArea()->widget(), control->rect().center());
        form.DesignArea()->ensureVisible(middle.x(), middle.y(), 10, 10);
        const QPoint shown =
            control->mapTo(form.DesignArea()->viewport(), control->rect().center());
        EXPECT_TRUE(form.DesignArea()->viewport()->rect().contains(shown))
            << control->metaObject()->className() << " at scale " << form.devicePixelRatioF();
    }
}

}  // namespace
}  // namespace colorsplit
