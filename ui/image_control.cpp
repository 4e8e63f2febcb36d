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
    if (image_.isNull())
        return;
    // Only the exposed part: the picture may be far larger than what shows of it. The source
    // rectangle is in the image's own pixels, which a device pixel ratio makes finer.
    const QRectF target = QRectF(event->rect()) & QRectF(offset_, image_.deviceIndependentSize());
    if (target.isEmpty())
        return;
    const qreal ratio = image_.devicePixelRatio();
    const QRectF source((target.topLeft() - offset_) * ratio, target.size() * ratio);
    QPainter painter(this);
    painter.drawImage(target, image_, source);
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    // The picture pixel under the pointer. At a display scale other than 1 the pointer sits at
    // a fractional position, and pixel x covers [x, x + 1). Qt 6.4 hands widgets that position
    // rounded (QApplication::notify rebuilds mouse events with QPointF::toPoint), which names
    // the next pixel half the time, so it is taken from the unrounded window position.
    const QPointF p = event->scenePosition() - QPointF(mapTo(window(), QPoint(0, 0)));
    if (onMouseDown)
        onMouseDown(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
    event->accept();
}

}  // namespace colorsplit
