#include "ui/image_control.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace colorsplit {

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {}

void ImageControl::SetImage(const QImage& image) {
    image_ = image;
    update();
}

void ImageControl::SetOffset(QPoint offset) {
    offset_ = offset;
    update();
}

void ImageControl::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!image_.isNull()) {
        // Only the exposed part: the picture may be far larger than what shows of it. The
        // source rectangle is in the image's own pixels, which a device pixel ratio makes finer.
        const QRectF target =
            QRectF(event->rect()) & QRectF(offset_, image_.deviceIndependentSize());
        if (!target.isEmpty()) {
            const qreal ratio = image_.devicePixelRatio();
            const QRectF source((target.topLeft() - offset_) * ratio, target.size() * ratio);
            painter.drawImage(target, image_, source);
        }
    }
}

QPoint ImageControl::PixelAt(const QMouseEvent& event) const {
    // The picture pixel under the pointer. At a display scale other than 1 the pointer sits at
    // a fractional position, and pixel x covers [x, x + 1). Qt 6.4 hands widgets that position
    // rounded (QApplication::notify rebuilds mouse events with QPointF::toPoint), which names
    // the next pixel half the time, so it is taken from the unrounded window position.
    const QPointF p = event.scenePosition() - QPointF(mapTo(window(), QPoint(0, 0)));
    return QPoint(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))) -
           offset_;
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    const QPoint p = PixelAt(*event);
    if (onMouseDown)
        onMouseDown(p.x(), p.y());
    event->accept();
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = PixelAt(*event);
    if (onMouseMove)
        onMouseMove(p.x(), p.y());
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    if (onMouseUp)
        onMouseUp();
    event->accept();
}

void ImageControl::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (onMouseLeave)
        onMouseLeave();
}

}  // namespace colorsplit
