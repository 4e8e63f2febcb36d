#include "ui/picking.h"

#include <QAccessible>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWidget>
#include <algorithm>

#include "session/texts.h"
#include "ui/image_control.h"
#include "ui/loupe.h"

namespace colorsplit {

Picking::Picking(Parts parts) : parts_(std::move(parts)), loupe_(new Loupe(parts_.loupeParent)) {
    parts_.image->setFocusPolicy(Qt::StrongFocus);
    parts_.image->setMouseTracking(true);
    parts_.image->installEventFilter(this);
    parts_.image->onMouseMove = [this](int x, int y) {
        if (parts_.picture().valid(x, y))
            Magnify({x, y});
        else
            loupe_->hide();
    };
    // Back to the cursor, if the keyboard has one; else gone.
    parts_.image->onMouseLeave = [this] {
        if (cursor_ && parts_.image->hasFocus())
            Magnify(*cursor_);
        else
            loupe_->hide();
    };
}

void Picking::SetLoupeShown(bool shown) {
    loupeShown_ = shown;
    if (!shown)
        loupe_->hide();
}

void Picking::Clicked(int x, int y) {
    if (parts_.picture().valid(x, y))
        PlaceCursor({x, y});
}

bool Picking::eventFilter(QObject* watched, QEvent* event) {
    if (watched != parts_.image)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::FocusIn: {
            // The cursor starts at the top-left pixel that shows in the frame.
            if (!cursor_) {
                const QPoint shown = parts_.image->mapFrom(parts_.frame, QPoint(0, 0));
                cursor_ = QPoint(std::max(0, shown.x()), std::max(0, shown.y()));
            }
            PlaceCursor(*cursor_);
            break;
        }
        case QEvent::FocusOut:
            parts_.image->SetCursorPixel(std::nullopt);
            loupe_->hide();
            break;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const int step = key->modifiers() & Qt::ShiftModifier ? 10 : 1;
            switch (key->key()) {
                case Qt::Key_Left:
                    MoveCursor({-step, 0});
                    return true;
                case Qt::Key_Right:
                    MoveCursor({step, 0});
                    return true;
                case Qt::Key_Up:
                    MoveCursor({0, -step});
                    return true;
                case Qt::Key_Down:
                    MoveCursor({0, step});
                    return true;
                case Qt::Key_Space:
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    if (cursor_ && !key->isAutoRepeat())
                        parts_.pick(cursor_->x(), cursor_->y());
                    return true;
                default:
                    break;
            }
            break;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void Picking::MoveCursor(QPoint by) {
    const QImage picture = parts_.picture();
    if (picture.isNull())
        return;
    const QPoint to = cursor_.value_or(QPoint()) + by;
    PlaceCursor(QPoint(std::clamp(to.x(), 0, picture.width() - 1),
                       std::clamp(to.y(), 0, picture.height() - 1)));
    ScrollToCursor();
}

void Picking::PlaceCursor(QPoint pixel) {
    cursor_ = pixel;
    if (!parts_.image->hasFocus())
        return;
    parts_.image->SetCursorPixel(pixel);
    if (parts_.picture().valid(pixel))
        Magnify(pixel);
    Describe();
}

void Picking::ScrollToCursor() {
    // The frame's inside, where the picture shows, in the picture's pixels.
    const auto shown = [this] {
        const QRect inside = parts_.frame->contentsRect();
        return QRect(parts_.image->mapFrom(parts_.frame, inside.topLeft()), inside.size());
    };
    const QPoint p = *cursor_;
    // One step at a time along a bar, its own handler moving the picture, while the cursor is
    // past the frame's edge on that side and the bar can go on.
    const auto step = [](QScrollBar* bar, int by, const auto& past) {
        for (int guard = 0; guard < 64 && past() && bar->value() + by >= bar->minimum() &&
                            bar->value() + by <= bar->maximum();
             ++guard)
            bar->setValue(bar->value() + by);
    };
    step(parts_.across, 1, [&] { return p.x() > shown().right(); });
    step(parts_.across, -1, [&] { return p.x() < shown().left(); });
    step(parts_.down, 1, [&] { return p.y() > shown().bottom(); });
    step(parts_.down, -1, [&] { return p.y() < shown().top(); });
    Magnify(p);
}

void Picking::Magnify(QPoint pixel) {
    if (!loupeShown_)
        return;
    const QImage picture = parts_.picture();
    if (!picture.valid(pixel)) {
        loupe_->hide();
        return;
    }
    // The middle of the pixel, where the parent shows it.
    const QPoint where = parts_.image->mapTo(parts_.loupeParent, pixel + parts_.image->Offset());
    loupe_->ShowAt(picture, pixel, where);
}

void Picking::Describe() {
    const QImage picture = parts_.picture();
    if (!cursor_ || !picture.valid(*cursor_))
        return;
    const QRgb c = picture.pixel(*cursor_);
    parts_.image->setAccessibleDescription(
        texts::PickCursor(cursor_->x(), cursor_->y(), PackColor(qRed(c), qGreen(c), qBlue(c))));
    QAccessibleEvent changed(parts_.image, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

}  // namespace colorsplit
