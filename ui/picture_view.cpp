#include "ui/picture_view.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "core/colors.h"
#include "session/texts.h"
#include "ui/loupe.h"

namespace colorsplit {

namespace {

// The whole device pixels a logical rectangle covers, its edges rounded to the nearest.
QRect DeviceRect(const QTransform& toDevice, const QRect& logical) {
    const QRectF r = toDevice.mapRect(QRectF(logical));
    return QRect(
        QPoint(static_cast<int>(std::lround(r.left())), static_cast<int>(std::lround(r.top()))),
        QPoint(static_cast<int>(std::lround(r.right())) - 1,
               static_cast<int>(std::lround(r.bottom())) - 1));
}

// The device pixel under a point given in logical window coordinates. A real pointer stands on
// a whole device pixel, whose logical position the division by the ratio may leave a hair short.
QPoint DevicePixelAt(QPointF inWindow, qreal ratio) {
    return QPoint(static_cast<int>(std::floor(inWindow.x() * ratio + 1e-6)),
                  static_cast<int>(std::floor(inWindow.y() * ratio + 1e-6)));
}

// The device pixels that show any of the picture.
QRect PictureExtent(const PixelGrid& grid, QSize picture) {
    if (picture.isEmpty())
        return {};
    return QRect(grid.BlockOf({0, 0}).topLeft(),
                 grid.BlockOf({picture.width() - 1, picture.height() - 1}).bottomRight());
}

// At 1 or more: each device pixel the picture pixel under its centre, so each picture pixel
// is a block of whole device pixels.
QImage Nearest(const QImage& source, const PixelGrid& grid, QRect area) {
    std::vector<int> columns(static_cast<size_t>(area.width()));
    for (int i = 0; i < area.width(); ++i)
        columns[static_cast<size_t>(i)] =
            std::clamp(grid.ColumnAt(area.left() + i), 0, source.width() - 1);
    QImage out(area.size(), QImage::Format_RGB32);
    for (int j = 0; j < area.height(); ++j) {
        const int row = std::clamp(grid.RowAt(area.top() + j), 0, source.height() - 1);
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(row));
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(j));
        for (int i = 0; i < area.width(); ++i)
            to[i] = in[columns[static_cast<size_t>(i)]];
    }
    return out;
}

// For each of n device pixels from first along one axis: the picture pixels it covers, each
// with the share of the device pixel it takes.
struct Taps {
    std::vector<int> start;  // a device pixel's taps are [start[i], start[i + 1])
    std::vector<int> pixel;
    std::vector<float> share;
};

Taps AreaTaps(int first, int n, int origin, double scale, int size) {
    Taps taps;
    for (int i = 0; i < n; ++i) {
        taps.start.push_back(static_cast<int>(taps.pixel.size()));
        const double a = std::max(0.0, (first + i - origin) / scale);
        const double b = std::min(static_cast<double>(size), (first + i + 1 - origin) / scale);
        if (b <= a) {
            taps.pixel.push_back(std::clamp(static_cast<int>(a), 0, size - 1));
            taps.share.push_back(1);
            continue;
        }
        for (int p = static_cast<int>(a); p < b; ++p) {
            taps.pixel.push_back(p);
            taps.share.push_back(static_cast<float>(
                (std::min(b, p + 1.0) - std::max(a, static_cast<double>(p))) / (b - a)));
        }
    }
    taps.start.push_back(static_cast<int>(taps.pixel.size()));
    return taps;
}

// Below 1: each device pixel the mean of the picture it covers, weighted by area, for the eye.
QImage Averaged(const QImage& source, const PixelGrid& grid, QRect area) {
    const Taps across =
        AreaTaps(area.left(), area.width(), grid.origin.x(), grid.scale, source.width());
    const Taps down =
        AreaTaps(area.top(), area.height(), grid.origin.y(), grid.scale, source.height());
    QImage out(area.size(), QImage::Format_RGB32);
    std::vector<float> sums(static_cast<size_t>(area.width()) * 3);
    for (int j = 0; j < area.height(); ++j) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (int k = down.start[static_cast<size_t>(j)]; k < down.start[static_cast<size_t>(j) + 1];
             ++k) {
            const auto* in = reinterpret_cast<const QRgb*>(
                source.constScanLine(down.pixel[static_cast<size_t>(k)]));
            const float rowShare = down.share[static_cast<size_t>(k)];
            float* sum = sums.data();
            for (int i = 0; i < area.width(); ++i, sum += 3) {
                float r = 0, g = 0, b = 0;
                for (int t = across.start[static_cast<size_t>(i)];
                     t < across.start[static_cast<size_t>(i) + 1]; ++t) {
                    const QRgb p = in[across.pixel[static_cast<size_t>(t)]];
                    const float w = across.share[static_cast<size_t>(t)];
                    r += w * static_cast<float>(qRed(p));
                    g += w * static_cast<float>(qGreen(p));
                    b += w * static_cast<float>(qBlue(p));
                }
                sum[0] += rowShare * r;
                sum[1] += rowShare * g;
                sum[2] += rowShare * b;
            }
        }
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(j));
        const auto level = [](float v) { return std::clamp(static_cast<int>(v + 0.5f), 0, 255); };
        for (int i = 0; i < area.width(); ++i)
            to[i] = qRgb(level(sums[3 * static_cast<size_t>(i)]),
                         level(sums[3 * static_cast<size_t>(i) + 1]),
                         level(sums[3 * static_cast<size_t>(i) + 2]));
    }
    return out;
}

// Every pixel outside group keep at a third of its brightness.
QImage Dimmed(const QImage& picture, const std::vector<std::uint8_t>& groups, int keep) {
    QImage dimmed(picture.size(), QImage::Format_RGB32);
    const std::uint8_t* group = groups.data();
    for (int y = 0; y < picture.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(dimmed.scanLine(y));
        for (int x = 0; x < picture.width(); ++x, ++group)
            to[x] =
                *group == keep ? in[x] : qRgb(qRed(in[x]) / 3, qGreen(in[x]) / 3, qBlue(in[x]) / 3);
    }
    return dimmed;
}

// A ring of the given width inside r, in filled strips.
void Ring(QPainter& painter, QRect r, int width, const QColor& colour) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), width), colour);
    painter.fillRect(QRect(r.left(), r.bottom() - width + 1, r.width(), width), colour);
    painter.fillRect(QRect(r.left(), r.top(), width, r.height()), colour);
    painter.fillRect(QRect(r.right() - width + 1, r.top(), width, r.height()), colour);
}

// The design's rule for a scroll bar: the control's edge at (-size / range) * position, the
// truncating division first, so 1575 wide moves 157 pixels a step.
int DesignedEdge(int size, const QScrollBar& bar) {
    const int range = bar.maximum() - bar.minimum();
    return range == 0 ? 0 : (-size / range) * bar.value();
}

}  // namespace

PictureView::PictureView(QWidget* frame, QRect designed)
    : QWidget(frame), frame_(frame), designed_(designed) {
    setGeometry(designed_);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void PictureView::Attach(QScrollBar* across, QScrollBar* down, QWidget* loupeParent) {
    across_ = across;
    down_ = down;
    loupe_ = new Loupe(loupeParent);
    frame_->installEventFilter(this);
}

void PictureView::SetPicture(const QImage& shown) {
    const bool resized = shown.size() != picture_.size();
    picture_ = shown;
    dimmed_ = QImage();
    if (cursor_ && !picture_.valid(*cursor_))
        cursor_ = QPoint(std::clamp(cursor_->x(), 0, std::max(0, picture_.width() - 1)),
                         std::clamp(cursor_->y(), 0, std::max(0, picture_.height() - 1)));
    if (resized && !Designed())
        ArrangeCentred();
    if (loupe_ != nullptr && loupe_->isVisible())
        loupe_->hide();
    update();
}

void PictureView::SetGrouping(const QImage& opened, const QImage& quantised,
                              std::vector<std::uint8_t> groups) {
    opened_ = opened;
    quantised_ = quantised;
    groups_ = std::move(groups);
    dimmed_ = QImage();
    update();
}

void PictureView::ShowQuantised(bool shown) {
    showQuantised_ = shown;
    dimmed_ = QImage();
    update();
}

void PictureView::SetPreviewGroup(std::optional<int> group) {
    if (group == preview_)
        return;
    preview_ = group;
    dimmed_ = QImage();
    update();
}

const QImage& PictureView::Displayed() const {
    const bool split = showQuantised_ && !quantised_.isNull();
    if (!preview_)
        return split ? quantised_ : picture_;
    // A mask painted black would hide the very group looked at.
    const QImage& base = split ? quantised_ : opened_;
    const size_t pixels = static_cast<size_t>(base.width()) * static_cast<size_t>(base.height());
    if (base.isNull() || groups_.size() != pixels)
        return split ? quantised_ : picture_;
    if (dimmed_.isNull())
        dimmed_ = Dimmed(base, groups_, *preview_);
    return dimmed_;
}

void PictureView::Fit() {
    fit_ = true;
    Arrange(FrameInside().topLeft(), QPointF(0, 0));
}

void PictureView::SetZoom(double zoom) {
    const QPointF middle = QRectF(FrameInside()).center();
    const QPointF picture = PictureAt(middle);
    zoom_ = zoom;
    fit_ = false;
    Arrange(middle, picture);
}

void PictureView::PlaceNewPicture() {
    const QPointF corner =
        Designed() ? QPointF(designed_.topLeft()) : QPointF(FrameInside().topLeft());
    Arrange(corner, QPointF(0, 0));
}

void PictureView::Shift(Qt::Orientation orientation) {
    if (across_ == nullptr || down_ == nullptr)
        return;
    if (Designed()) {
        if (orientation == Qt::Horizontal)
            move(DesignedEdge(width(), *across_), y());
        else
            move(x(), DesignedEdge(height(), *down_));
    } else {
        // The bars hold how far the picture is scrolled.
        update();
    }
    // What the pointer was over has moved away from under it.
    if (loupe_ != nullptr && !loupeOnKeys_)
        loupe_->hide();
}

QRect PictureView::FrameInside() const {
    return frame_->contentsRect();
}

QRect PictureView::Visible() const {
    const QRect inside = FrameInside();
    return QRect(mapFrom(frame_, inside.topLeft()), inside.size()) & rect();
}

QPointF PictureView::Origin() const {
    if (Designed() || across_ == nullptr || down_ == nullptr)
        return QPointF(0, 0);
    // A picture smaller than the view stands in its middle; a larger one is scrolled.
    const QSizeF scaled = QSizeF(picture_.size()) * zoom_;
    const auto along = [](double scaled, int view, int scrolled) {
        return scaled <= view ? (view - scaled) / 2 : -static_cast<double>(scrolled);
    };
    return QPointF(along(scaled.width(), width(), across_->value()),
                   along(scaled.height(), height(), down_->value()));
}

PixelGrid PictureView::GridOn(const QTransform& toDevice) const {
    const QPointF origin = toDevice.map(Origin());
    return PixelGrid{zoom_ * toDevice.m11(), QPoint(static_cast<int>(std::lround(origin.x())),
                                                    static_cast<int>(std::lround(origin.y())))};
}

QTransform PictureView::ToWindowDevice() const {
    const QPointF at = mapTo(window(), QPointF(0, 0));
    const qreal ratio = devicePixelRatioF();
    return QTransform::fromTranslate(at.x(), at.y()) * QTransform::fromScale(ratio, ratio);
}

std::optional<QPoint> PictureView::PixelAt(QPointF point) const {
    const QTransform toDevice = ToWindowDevice();
    const QPoint device =
        DevicePixelAt(point + mapTo(window(), QPointF(0, 0)), devicePixelRatioF());
    if (!DeviceRect(toDevice, Visible()).contains(device))
        return std::nullopt;
    return GridOn(toDevice).PixelAt(device);
}

std::optional<QPoint> PictureView::PixelUnderPointer(const QMouseEvent& event) const {
    // From the unrounded window position: Qt 6.4 hands widgets the pointer's position rounded
    // to whole logical pixels (QApplication::notify rebuilds mouse events with
    // QPointF::toPoint), which at a display scale other than 1 names the next pixel half the time.
    return PixelAt(event.scenePosition() - mapTo(window(), QPointF(0, 0)));
}

QRect PictureView::ShownRect(QPoint p) const {
    const QTransform toDevice = ToWindowDevice();
    const QRect block = GridOn(toDevice).BlockOf(p);
    const QRectF logical = toDevice.inverted().mapRect(
        QRectF(block.left(), block.top(), block.width(), block.height()));
    // Rounded inward by a hair first, so that a block edge that is a whole logical pixel to
    // within the division's rounding stays where it is.
    return logical.adjusted(1e-6, 1e-6, -1e-6, -1e-6).toAlignedRect();
}

QPointF PictureView::PictureAt(QPointF inFrame) const {
    return (inFrame - QPointF(pos()) - Origin()) / zoom_;
}

void PictureView::ArrangeCentred() {
    const QPointF middle = QRectF(FrameInside()).center();
    Arrange(middle, PictureAt(middle));
}

void PictureView::Arrange(QPointF inFrame, QPointF picture) {
    if (across_ == nullptr || down_ == nullptr)
        return;
    const QSignalBlocker quietAcross(across_), quietDown(down_);
    if (Designed()) {
        // The design's ten steps: the one that brings the point nearest to where it was.
        const auto position = [](QScrollBar* bar, double picture, double inFrame, double designed,
                                 int size) {
            bar->setRange(0, 10);
            bar->setSingleStep(1);
            bar->setPageStep(1);
            const int step = size / 10;
            bar->setValue(
                std::clamp(static_cast<int>(std::lround((picture - inFrame) / step)), 0, 10));
            // At 0 the control stands at its designed place, as at start-up.
            return bar->value() == 0 ? static_cast<int>(designed) : -step * bar->value();
        };
        const int left = position(across_, picture.x(), inFrame.x() - designed_.x(), designed_.x(),
                                  designed_.width());
        const int top = position(down_, picture.y(), inFrame.y() - designed_.y(), designed_.y(),
                                 designed_.height());
        setGeometry(QRect(QPoint(left, top), designed_.size()));
    } else {
        const QRect inside = FrameInside();
        setGeometry(inside);
        if (fit_)
            zoom_ = FitZoom(picture_.size(), inside.size());
        const QSizeF scaled = QSizeF(picture_.size()) * zoom_;
        // A logical pixel a unit, a tenth of the view an arrow click, the view a page.
        const auto configure = [](QScrollBar* bar, double scaled, int view, double scrolled) {
            const int most = std::max(0, static_cast<int>(std::ceil(scaled - 1e-9)) - view);
            bar->setRange(0, most);
            bar->setSingleStep(std::max(1, view / 10));
            bar->setPageStep(std::max(1, view));
            bar->setValue(std::clamp(static_cast<int>(std::lround(scrolled)), 0, most));
        };
        configure(across_, scaled.width(), inside.width(),
                  picture.x() * zoom_ - (inFrame.x() - inside.left()));
        configure(down_, scaled.height(), inside.height(),
                  picture.y() * zoom_ - (inFrame.y() - inside.top()));
    }
    if (loupe_ != nullptr && !loupeOnKeys_)
        loupe_->hide();
    update();
    if (zoom_ != announced_.first || fit_ != announced_.second) {
        announced_ = {zoom_, fit_};
        emit zoomChanged();
    }
}

void PictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QTransform toDevice = painter.deviceTransform();
    const QRect clip = DeviceRect(toDevice, Visible());
    const PixelGrid grid = GridOn(toDevice);
    // From here on in whole device pixels: nothing is scaled or blended by the painter.
    painter.setWorldTransform(toDevice.inverted());
    painter.setClipRect(clip);
    const QImage& source = Displayed();
    const QRect area =
        DeviceRect(toDevice, event->rect()) & clip & PictureExtent(grid, source.size());
    // Only the part exposed: 16 times a large picture would not fit in memory whole.
    if (!area.isEmpty())
        painter.drawImage(area.topLeft(),
                          zoom_ >= 1 ? Nearest(source, grid, area) : Averaged(source, grid, area));
    const int line = std::max(1, static_cast<int>(std::lround(toDevice.m11())));
    if (cursor_ && hasFocus()) {
        // A black ring round the pixel and a white one round that: seen on any colour.
        const QRect block = grid.BlockOf(*cursor_);
        Ring(painter, block.adjusted(-line, -line, line, line), line, Qt::black);
        Ring(painter, block.adjusted(-2 * line, -2 * line, 2 * line, 2 * line), line, Qt::white);
    }
    if (hasFocus())
        Ring(painter, clip, line, palette().color(QPalette::Highlight));
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    // Any button; where the frame hides the view, nothing.
    if (const std::optional<QPoint> p = PixelUnderPointer(*event); p && onPick)
        onPick(p->x(), p->y());
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    loupeOnKeys_ = false;
    const std::optional<QPoint> p = PixelUnderPointer(*event);
    if (p && picture_.valid(*p))
        Magnify(*p);
    else if (loupe_ != nullptr)
        loupe_->hide();
    Point(p);
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (onMouseUp)
        onMouseUp();
}

void PictureView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    // Gone with the pointer, wherever the keys had put it; the next key shows it again.
    loupeOnKeys_ = false;
    if (loupe_ != nullptr)
        loupe_->hide();
    Point(std::nullopt);
}

void PictureView::wheelEvent(QWheelEvent* event) {
    Wheel(*event, mapTo(frame_, event->position()));
    event->accept();
}

bool PictureView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frame_) {
        if (event->type() == QEvent::Resize && !Designed()) {
            ArrangeCentred();
        } else if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            Wheel(*wheel, wheel->position());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PictureView::Wheel(const QWheelEvent& event, QPointF inFrame) {
    // A notch is 120; finer wheels and touchpads send parts of one, which add up.
    if (event.modifiers() & Qt::ControlModifier) {
        // About the pointer: the picture point under it stays under it.
        zoomRest_ += event.angleDelta().y();
        const int notches = zoomRest_ / 120;
        zoomRest_ -= notches * 120;
        for (int i = 0; i < std::abs(notches); ++i) {
            const QPointF picture = PictureAt(inFrame);
            zoom_ = notches > 0 ? ZoomInFrom(zoom_) : ZoomOutFrom(zoom_);
            fit_ = false;
            Arrange(inFrame, picture);
        }
        return;
    }
    // Shift turns the wheel sideways, as a sideways wheel is. Down and right move forward: a
    // step of the design a notch at 100 %, else an arrow click's.
    QPoint delta = event.angleDelta();
    if ((event.modifiers() & Qt::ShiftModifier) && delta.x() == 0)
        delta = QPoint(delta.y(), 0);
    wheelRest_ += delta;
    const int across = wheelRest_.x() / 120;
    const int down = wheelRest_.y() / 120;
    wheelRest_ -= QPoint(across, down) * 120;
    if (across != 0)
        across_->setValue(across_->value() - across * (Designed() ? 1 : across_->singleStep()));
    if (down != 0)
        down_->setValue(down_->value() - down * (Designed() ? 1 : down_->singleStep()));
}

void PictureView::keyPressEvent(QKeyEvent* event) {
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (event->key()) {
        case Qt::Key_Left:
            MoveCursor({-step, 0});
            break;
        case Qt::Key_Right:
            MoveCursor({step, 0});
            break;
        case Qt::Key_Up:
            MoveCursor({0, -step});
            break;
        case Qt::Key_Down:
            MoveCursor({0, step});
            break;
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (cursor_ && !event->isAutoRepeat() && onPick)
                onPick(cursor_->x(), cursor_->y());
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void PictureView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    // The cursor starts at the top-left pixel that shows.
    if (!cursor_) {
        const QPoint shown =
            PixelAt(QPointF(Visible().topLeft()) + QPointF(0.5, 0.5)).value_or(QPoint(0, 0));
        cursor_ = QPoint(std::clamp(shown.x(), 0, std::max(0, picture_.width() - 1)),
                         std::clamp(shown.y(), 0, std::max(0, picture_.height() - 1)));
    }
    // Reached by the keys, the loupe shows the cursor at once; by a click, the pointer.
    loupeOnKeys_ = event->reason() != Qt::MouseFocusReason;
    PlaceCursor(*cursor_);
    update(Visible());
}

void PictureView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (loupeOnKeys_) {
        if (loupe_ != nullptr)
            loupe_->hide();
        Point(std::nullopt);
    }
    update(Visible());
}

void PictureView::Clicked(int x, int y) {
    if (picture_.valid(x, y))
        PlaceCursor({x, y});
}

void PictureView::SetLoupeShown(bool shown) {
    loupeShown_ = shown;
    if (!shown && loupe_ != nullptr)
        loupe_->hide();
}

void PictureView::MoveCursor(QPoint by) {
    if (picture_.isNull())
        return;
    const QPoint to = cursor_.value_or(QPoint()) + by;
    loupeOnKeys_ = true;
    PlaceCursor(QPoint(std::clamp(to.x(), 0, picture_.width() - 1),
                       std::clamp(to.y(), 0, picture_.height() - 1)));
    ScrollToCursor();
}

void PictureView::PlaceCursor(QPoint pixel) {
    // Only the squares round the old and the new pixel change.
    const auto around = [this](QPoint p) { return ShownRect(p).adjusted(-3, -3, 3, 3); };
    if (cursor_)
        update(around(*cursor_));
    cursor_ = pixel;
    if (!hasFocus())
        return;
    update(around(pixel));
    if (loupeOnKeys_) {
        Magnify(pixel);
        Point(pixel);
    }
    Describe();
}

void PictureView::Point(std::optional<QPoint> pixel) {
    if (onPointer)
        onPointer(pixel && picture_.valid(*pixel) ? pixel : std::nullopt);
}

void PictureView::ScrollToCursor() {
    if (!cursor_ || across_ == nullptr || down_ == nullptr)
        return;
    const QPoint p = *cursor_;
    if (Designed()) {
        // One step at a time along a bar, its own handler moving the picture, while the
        // cursor is past the frame's edge on that side and the bar can go on.
        const auto step = [](QScrollBar* bar, int by, const auto& past) {
            for (int guard = 0; guard < 64 && past() && bar->value() + by >= bar->minimum() &&
                                bar->value() + by <= bar->maximum();
                 ++guard)
                bar->setValue(bar->value() + by);
        };
        step(across_, 1, [&] { return ShownRect(p).right() > Visible().right(); });
        step(across_, -1, [&] { return ShownRect(p).left() < Visible().left(); });
        step(down_, 1, [&] { return ShownRect(p).bottom() > Visible().bottom(); });
        step(down_, -1, [&] { return ShownRect(p).top() < Visible().top(); });
    } else {
        // Just far enough that the pixel shows whole.
        const QRect shown = ShownRect(p), view = Visible();
        if (shown.right() > view.right())
            across_->setValue(across_->value() + shown.right() - view.right());
        else if (shown.left() < view.left())
            across_->setValue(across_->value() - (view.left() - shown.left()));
        if (shown.bottom() > view.bottom())
            down_->setValue(down_->value() + shown.bottom() - view.bottom());
        else if (shown.top() < view.top())
            down_->setValue(down_->value() - (view.top() - shown.top()));
    }
    if (loupeOnKeys_)
        Magnify(p);
}

void PictureView::Magnify(QPoint pixel) {
    if (!loupeShown_ || loupe_ == nullptr)
        return;
    if (!picture_.valid(pixel)) {
        loupe_->hide();
        return;
    }
    const QRect shown = ShownRect(pixel);
    QWidget* parent = loupe_->parentWidget();
    // Inside the frame, where it shows: never over the controls round it.
    const QRect inside = FrameInside() & frame_->visibleRegion().boundingRect();
    loupe_->ShowAt(picture_, pixel, QRect(mapTo(parent, shown.topLeft()), shown.size()),
                   QRect(frame_->mapTo(parent, inside.topLeft()), inside.size()) & parent->rect());
}

void PictureView::Describe() {
    if (!cursor_ || !picture_.valid(*cursor_))
        return;
    const QRgb c = picture_.pixel(*cursor_);
    setAccessibleDescription(
        texts::PickCursor(cursor_->x(), cursor_->y(), PackColor(qRed(c), qGreen(c), qBlue(c))));
    QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

}  // namespace colorsplit
