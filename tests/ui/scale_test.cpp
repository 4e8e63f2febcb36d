// Picking at the display scale this process runs at (QT_SCALE_FACTOR, set per test run): a
// click names the picture pixel under it.
#define QTEST_QPA_MOUSE_HANDLING
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "support/bmp_builder.h"
#include "ui/image_control.h"
#include "ui/tform1.h"

namespace colorsplit {
namespace {

// The offscreen screen is 800 x 800 device pixels: at scales 1.5 and 2 the window opens
// smaller than the design. These tests look at the whole design, so they give the window its
// designed size back.
void ShowDesignedSize(TForm1& form) {
    form.show();
    form.resize(788, 528 + form.menuBar()->height());
}

TEST(DisplayScale, AClickPicksThePixelUnderIt) {
    // Every pixel of the picture has its own colour.
    test::RgbImage image{64, 48, {}};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.rgb.push_back(static_cast<std::uint32_t>(x << 16 | y << 8 | 7));
    QTemporaryDir dir;
    const std::string path = dir.filePath("unique.bmp").toStdString();
    test::WriteFile(path, test::EncodeBmp(image, 24));

    auto open = std::make_unique<ScriptedDialog>();
    open->Answer(path);
    TForm1 form(std::move(open), std::make_unique<ScriptedDialog>());
    form.SetErrorReporter([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
    ShowDesignedSize(form);
    QTest::mouseClick(form.Button1, Qt::LeftButton);

    // Whole logical points, through the window system.
    const QPoint points[] = {{1, 1}, {13, 7}};
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, points[i]);
        ASSERT_EQ(form.State().ColorCount, i + 1)
            << "scale " << qgetenv("QT_SCALE_FACTOR").constData();
        EXPECT_EQ(form.State().SelColor[i], PackColor(points[i].x(), points[i].y(), 7))
            << "scale " << qgetenv("QT_SCALE_FACTOR").constData() << " at " << points[i].x() << ","
            << points[i].y();
    }

    // A device pixel of the screen lies at a fractional logical position; the picture pixel
    // under it is the one whose square holds that position. Sent through the window system as
    // a real pointer would be.
    const double scale = form.devicePixelRatioF();
    const QPoint device[] = {{19, 29}, {61, 45}};
    QWindow* window = form.windowHandle();
    for (int i = 0; i < 2; ++i) {
        const QPointF logical(device[i].x() / scale, device[i].y() / scale);
        const QPointF inWindow = form.Image1->mapTo(&form, logical);
        const QPointF global = window->mapToGlobal(inWindow);
        QTest::lastMouseTimestamp += 500;  // not a double click
        qt_handleMouseEvent(window, inWindow, global, Qt::LeftButton, Qt::LeftButton,
                            QEvent::MouseButtonPress, Qt::NoModifier, QTest::lastMouseTimestamp);
        qt_handleMouseEvent(window, inWindow, global, Qt::NoButton, Qt::LeftButton,
                            QEvent::MouseButtonRelease, Qt::NoModifier, QTest::lastMouseTimestamp);
        const int x = static_cast<int>(std::floor(logical.x()));
        const int y = static_cast<int>(std::floor(logical.y()));
        EXPECT_EQ(form.State().SelColor[2 + i], PackColor(x, y, 7))
            << "scale " << scale << ", device pixel " << device[i].x() << "," << device[i].y();
    }
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
