#include "ui/zoom.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace colorsplit {

namespace {

// Zooms that differ by less than this are one zoom: a fitted zoom that lands on a step is
// that step.
constexpr double kSame = 1e-9;

// The picture pixel whose square holds the centre of device pixel d, along one axis.
int IndexAt(int d, int origin, double scale) {
    return static_cast<int>(std::floor((d - origin + 0.5) / scale));
}

// The first device pixel along one axis that shows pixel i or one after it.
int FirstShowing(int i, int origin, double scale) {
    int d = origin + static_cast<int>(std::ceil(i * scale - 0.5));
    // The estimate may be a pixel off where the division rounds; IndexAt has the last word.
    while (IndexAt(d - 1, origin, scale) >= i)
        --d;
    while (IndexAt(d, origin, scale) < i)
        ++d;
    return d;
}

}  // namespace

double ZoomInFrom(double zoom) {
    for (const double step : kZoomSteps)
        if (step > zoom + kSame)
            return step;
    return std::end(kZoomSteps)[-1];
}

double ZoomOutFrom(double zoom) {
    for (auto step = std::rbegin(kZoomSteps); step != std::rend(kZoomSteps); ++step)
        if (*step < zoom - kSame)
            return *step;
    return kZoomSteps[0];
}

double FitZoom(QSize picture, QSize room) {
    if (picture.isEmpty() || room.isEmpty())
        return 1;
    return std::min(static_cast<double>(room.width()) / picture.width(),
                    static_cast<double>(room.height()) / picture.height());
}

QString ZoomPercent(double zoom) {
    const double tenths = std::round(zoom * 1000);
    if (std::fmod(tenths, 10) == 0)
        return QStringLiteral("%1%").arg(static_cast<long long>(tenths / 10));
    return QStringLiteral("%1%").arg(tenths / 10, 0, 'f', 1);
}

int PixelGrid::ColumnAt(int deviceX) const {
    return IndexAt(deviceX, origin.x(), scale);
}

int PixelGrid::RowAt(int deviceY) const {
    return IndexAt(deviceY, origin.y(), scale);
}

QRect PixelGrid::BlockOf(QPoint p) const {
    const int left = FirstShowing(p.x(), origin.x(), scale);
    const int top = FirstShowing(p.y(), origin.y(), scale);
    const int right = FirstShowing(p.x() + 1, origin.x(), scale);
    const int bottom = FirstShowing(p.y() + 1, origin.y(), scale);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace colorsplit
