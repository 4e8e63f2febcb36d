#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <functional>
#include <optional>

class QScrollBar;
class QWidget;

namespace colorsplit {

class ImageControl;
class Loupe;

// Picking on the picture beyond the mouse click: the loupe that follows the pointer, and the
// pick cursor that the keyboard moves while the picture has the focus (arrows one pixel,
// with Shift ten; Space or Enter picks as a click there would). A cursor that leaves the
// frame scrolls the picture through the scroll bars, so their own handlers move it.
class Picking : public QObject {
    Q_OBJECT
public:
    struct Parts {
        ImageControl* image;
        QWidget* frame;  // what clips the picture
        QScrollBar* across;
        QScrollBar* down;
        QWidget* loupeParent;
        std::function<QImage()> picture;         // the picture shown
        std::function<void(int x, int y)> pick;  // a click at (x, y)
    };
    explicit Picking(Parts parts);

    void SetLoupeShown(bool shown);
    bool LoupeShown() const { return loupeShown_; }
    Loupe* LoupeWidget() const { return loupe_; }
    // Where the pick cursor is, once the picture has had the focus or a click.
    std::optional<QPoint> Cursor() const { return cursor_; }

    // A click at (x, y): the cursor goes there.
    void Clicked(int x, int y);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MoveCursor(QPoint by);
    void PlaceCursor(QPoint pixel);
    // Scrolls, a step at a time through the scroll bars, until the cursor shows in the frame.
    void ScrollToCursor();
    void Magnify(QPoint pixel);
    // What screen readers hear of the cursor.
    void Describe();

    Parts parts_;
    Loupe* loupe_;
    bool loupeShown_ = true;
    std::optional<QPoint> cursor_;
};

}  // namespace colorsplit
