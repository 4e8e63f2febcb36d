#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace colorsplit {

// The zooms 放大 and 縮小 step through, smallest first.
inline constexpr double kZoomSteps[] = {1.0 / 8, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 1,  3.0 / 2,
                                        2,       3,       4,       6,       8,       12, 16};

// The next step above (below) zoom, from any zoom: a fitted one lies between two steps. The
// largest (smallest) step itself when there is none.
double ZoomInFrom(double zoom);
double ZoomOutFrom(double zoom);
// The largest zoom at which the whole picture lies inside room.
double FitZoom(QSize picture, QSize room);
// "50%", "33.3%", "1600%": a tenth of a percent where the zoom needs it.
QString ZoomPercent(double zoom);

// Which picture pixel each device pixel of a surface shows, when the picture's top-left
// corner lies on device pixel origin and a picture pixel spans scale device pixels: the one
// under the device pixel's centre. Drawing, clicks, the pick cursor and the loupe all go
// through it, so each shows and picks the same pixel.
struct PixelGrid {
    double scale = 1;  // device pixels a picture pixel: the zoom times the device pixel ratio
    QPoint origin;

    int ColumnAt(int deviceX) const;
    int RowAt(int deviceY) const;
    QPoint PixelAt(QPoint device) const { return {ColumnAt(device.x()), RowAt(device.y())}; }
    // The device pixels that show pixel p, whole: every one of them gives p back.
    QRect BlockOf(QPoint p) const;
};

}  // namespace colorsplit
