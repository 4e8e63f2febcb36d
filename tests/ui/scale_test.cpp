// Picking at the display scale this process runs at (QT_SCALE_FACTOR, set per test run): a
// click names the picture pixel under it.
#define QTEST_QPA_MOUSE_HANDLING
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "support/bmp_builder.h"
#include "ui/image_control.h"
#include "ui/tform1.h"

namespace colorsplit {
namespace {

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
    form.show();
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
