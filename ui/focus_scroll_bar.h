#pragma once

#include <QScrollBar>

namespace colorsplit {

// A scroll bar that shows when it has the keyboard's focus, as the window's other Tab stops
// do: Qt's styles draw no focus on a scroll bar. A ring in the highlight colour, in filled
// strips of whole device pixels as the log's frame is.
class FocusScrollBar : public QScrollBar {
    Q_OBJECT
public:
    FocusScrollBar(Qt::Orientation orientation, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace colorsplit
