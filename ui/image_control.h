#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

namespace colorsplit {

// A control that shows a picture unscaled from its top-left corner and keeps its own size
// whatever the picture's, so a point on it is the picture's pixel coordinate: the swatch panel.
class ImageControl : public QWidget {
    Q_OBJECT
public:
    explicit ImageControl(QWidget* parent = nullptr);

    // Shows this image from now on (a shared copy: the owner's next change to its pixels
    // copies them, and shows here once given again).
    void SetImage(const QImage& image);
    // Where the image's top-left corner is shown, within the control.
    void SetOffset(QPoint offset);
    QPoint Offset() const { return offset_; }
    // Any mouse button; a double click reaches it twice (press, then double-click).
    std::function<void(int x, int y)> onMouseDown;
    // The pixel under the pointer as it moves over the control, and the pointer leaving it.
    std::function<void(int x, int y)> onMouseMove;
    std::function<void()> onMouseLeave;
    // A mouse button let go.
    std::function<void()> onMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The picture pixel under a mouse event's pointer.
    QPoint PixelAt(const QMouseEvent& event) const;

    QImage image_;
    QPoint offset_;
};

}  // namespace colorsplit
