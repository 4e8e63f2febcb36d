#include "ui/image_control.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace colorsplit {

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {}

void ImageControl::SetSource(const QImage* image) {
    source_ = image;
    update();
}

void ImageControl::paintEvent(QPaintEvent* event) {
    if (source_ == nullptr || source_->isNull())
        return;
    QPainter painter(this);
    painter.drawImage(event->rect().topLeft(), *source_, event->rect());
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    // Whole logical pixels: at any display scale the click names the pixel under it.
    const QPoint p = event->position().toPoint();
    if (onMouseDown)
        onMouseDown(p.x(), p.y());
    event->accept();
}

}  // namespace colorsplit
