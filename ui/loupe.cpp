#include "ui/loupe.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "session/texts.h"

namespace colorsplit {

namespace {

constexpr int kGrid = Loupe::kSpan * Loupe::kZoom;
constexpr int kMargin = 3;
// How far from the magnified pixel the loupe stands.
constexpr int kClearance = 20;

}  // namespace

Loupe::Loupe(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

QString Loupe::Text() const {
    if (!picture_.valid(pixel_))
        return QString();
    const QRgb p = picture_.pixel(pixel_);
    const TColor c = PackColor(qRed(p), qGreen(p), qBlue(p));
    return texts::Hex(c) + QLatin1Char('\n') + texts::Channels(c);
}

void Loupe::ShowAt(const QImage& picture, QPoint pixel, QRect shown, QRect room) {
    picture_ = picture;
    pixel_ = pixel;
    const QFontMetrics metrics(font());
    const int text = metrics.horizontalAdvance(QStringLiteral("R 255 G 255 B 255"));
    const QSize size(std::max(kGrid, text) + 2 * kMargin,
                     kGrid + 3 * kMargin + 2 * metrics.lineSpacing());
    if (size.width() > room.width() || size.height() > room.height()) {
        hide();
        return;
    }
    // Below and right of the pixel; above or left of it where room ends; and where neither
    // side has room, as near as room allows.
    const auto along = [](int before, int after, int clearance, int length, int first, int last) {
        int at = after + clearance;
        if (at + length - 1 > last)
            at = before - clearance - length;
        return std::clamp(at, first, last - length + 1);
    };
    const QPoint place(
        along(shown.left(), shown.right() + 1, kClearance, size.width(), room.left(), room.right()),
        along(shown.top(), shown.bottom() + 1, kClearance, size.height(), room.top(),
              room.bottom()));
    setGeometry(QRect(place, size));
    raise();
    show();
    update();
}

void Loupe::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QColor ink = palette().color(QPalette::WindowText);
    // Outlines and cells are filled strips on whole logical pixels: a cell is 10 by 10 and
    // lands on whole device pixels at scales 1, 1.5 and 2, sharp as the picture itself.
    const auto ring = [&painter](QRect r, const QColor& colour) {
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
    };
    ring(rect(), ink);
    const int left = (width() - kGrid) / 2;
    const int half = kSpan / 2;
    for (int dy = -half; dy <= half; ++dy) {
        for (int dx = -half; dx <= half; ++dx) {
            const QPoint p = pixel_ + QPoint(dx, dy);
            const QRect cell(left + (dx + half) * kZoom, kMargin + (dy + half) * kZoom, kZoom,
                             kZoom);
            if (picture_.valid(p))
                painter.fillRect(cell, QColor::fromRgb(picture_.pixel(p)));
            else
                painter.fillRect(cell, QBrush(Qt::gray, Qt::BDiagPattern));
        }
    }
    // The middle pixel, ringed black inside white, as the pick cursor is.
    const QRect middle(left + half * kZoom, kMargin + half * kZoom, kZoom, kZoom);
    ring(middle.adjusted(-1, -1, 1, 1), Qt::white);
    ring(middle, Qt::black);
    painter.setPen(ink);
    painter.drawText(QRect(0, kMargin + kGrid, width(), height() - kMargin - kGrid),
                     Qt::AlignCenter, Text());
}

}  // namespace colorsplit
