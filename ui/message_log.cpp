#include "ui/message_log.h"

#include <QPaintEvent>
#include <QPainter>

namespace colorsplit {

MessageLog::MessageLog(QWidget* parent) : QPlainTextEdit(parent) {
    setFrameShape(QFrame::NoFrame);
    // Room for the frame drawn below, one pixel on each side as Qt's own frame takes.
    setViewportMargins(1, 1, 1, 1);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A scroll bar once the lines overflow; new lines are followed unless the user has
    // scrolled up, as QPlainTextEdit does when appending.
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabChangesFocus(true);
}

void MessageLog::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    update();  // the frame shows where the focus is
}

void MessageLog::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    update();
}

bool MessageLog::event(QEvent* event) {
    if (event->type() != QEvent::Paint)
        return QPlainTextEdit::event(event);
    // Filled strips, not lines: a fill's edges are rounded to whole device pixels, where a
    // one-pixel line at a fractional position may fall outside what is shown.
    QPainter painter(this);
    const QColor outline = hasFocus() ? palette().color(QPalette::Highlight)
                                      : palette().color(QPalette::Window).darker(140);
    const int w = width(), h = height();
    painter.fillRect(QRect(0, 0, w, 1), outline);
    painter.fillRect(QRect(0, h - 1, w, 1), outline);
    painter.fillRect(QRect(0, 0, 1, h), outline);
    painter.fillRect(QRect(w - 1, 0, 1, h), outline);
    return true;
}

}  // namespace colorsplit
