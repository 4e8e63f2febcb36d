#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "ui/zoom.h"

class QScrollBar;
class QWheelEvent;

namespace colorsplit {

class Loupe;

// The picture area, Image1: the shown picture at the zoom in use, inside its frame, which
// clips it. It owns the zoom, the drawing, the scroll bars' steps, the wheel, the keyboard's
// pick cursor and where the loupe stands; a click or a key reaches the window as the picture
// pixel under it.
//
// At 100 %, unless fitting, it is the design's control: as large as designed whatever the
// picture, showing it unscaled from its top-left corner, moved by the scroll bars in ten
// steps of a tenth of its size. At any other zoom it fills the frame's inside and the scroll
// bars move the picture within it a logical pixel a unit, a tenth of the view an arrow click.
// Only the display is scaled: what is picked, masked, saved and exported is the picture.
class PictureView : public QWidget {
    Q_OBJECT
public:
    // frame is its parent and clips it; designed is its place and size there at 100 %.
    PictureView(QWidget* frame, QRect designed);
    // The scroll bars that move it, and the widget the loupe stands in.
    void Attach(QScrollBar* across, QScrollBar* down, QWidget* loupeParent);

    // The picture as shown, which a click picks from.
    void SetPicture(const QImage& shown);
    // The last grouping of the shown picture: the picture as opened, the picture in its groups'
    // colours and each pixel's group, row by row. Null and empty while there is none.
    void SetGrouping(const QImage& opened, const QImage& quantised,
                     std::vector<std::uint8_t> groups);
    // Every pixel in its group's colour instead of the picture, while there is a grouping.
    void ShowQuantised(bool shown);
    // One group as it is and every other pixel dimmed to a third, without painting anything:
    // the picture as opened, whatever mask is painted on it.
    void SetPreviewGroup(std::optional<int> group);
    // What the area shows now, before it is scaled.
    const QImage& Displayed() const;

    double Zoom() const { return zoom_; }
    bool Fitting() const { return fit_; }
    // 符合視窗: fits every picture from now on, also the next one opened and a resized frame.
    void Fit();
    // A zoom, kept centred on the middle of the view; 1 is the design.
    void SetZoom(double zoom);
    void ZoomIn() { SetZoom(ZoomInFrom(zoom_)); }
    void ZoomOut() { SetZoom(ZoomOutFrom(zoom_)); }
    // A picture that opened starts at the designed place with both scroll bars at 0, or fitted.
    void PlaceNewPicture();
    // A scroll bar's position changed (its change handler).
    void Shift(Qt::Orientation orientation);

    // The picture pixel at a point of the view (logical coordinates), which may lie beside the
    // picture; none where the frame hides the view.
    std::optional<QPoint> PixelAt(QPointF point) const;
    // Where pixel p shows, in the view's logical coordinates: every device pixel of it.
    QRect ShownRect(QPoint p) const;
    // The part of the view the frame shows.
    QRect Visible() const;

    // The pick cursor, once the picture has had the focus or a click; a click puts it there.
    std::optional<QPoint> Cursor() const { return cursor_; }
    void Clicked(int x, int y);
    void SetLoupeShown(bool shown);
    Loupe* LoupeWidget() const { return loupe_; }

    // A pick: a click (any button), or Space or Enter on the pick cursor, at a picture pixel.
    std::function<void(int x, int y)> onPick;
    // A mouse button let go.
    std::function<void()> onMouseUp;
    // The picture pixel under the pointer, or under the pick cursor while keys move it; none
    // when neither is on the picture.
    std::function<void(std::optional<QPoint>)> onPointer;

signals:
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The frame's resizes and the wheel over its edges.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The design's own control: 100 %, not fitting.
    bool Designed() const { return !fit_ && zoom_ == 1; }
    // The picture's top-left corner in the view's logical coordinates.
    QPointF Origin() const;
    // The grid of device pixels for a surface reached through toDevice from the view's logical
    // coordinates; the window's, for the pointer.
    PixelGrid GridOn(const QTransform& toDevice) const;
    QTransform ToWindowDevice() const;
    // The picture point shown at a point of the frame, in picture pixels.
    QPointF PictureAt(QPointF inFrame) const;
    // Lays the view out for the zoom in use with picture point at frame point where possible.
    void Arrange(QPointF inFrame, QPointF picture);
    // Arrange, keeping what shows in the middle of the frame there.
    void ArrangeCentred();
    QRect FrameInside() const;
    void Wheel(const QWheelEvent& event, QPointF inFrame);
    std::optional<QPoint> PixelUnderPointer(const QMouseEvent& event) const;

    void MoveCursor(QPoint by);
    void PlaceCursor(QPoint pixel);
    // Scrolls until the cursor's pixel shows in the frame.
    void ScrollToCursor();
    void Magnify(QPoint pixel);
    void Point(std::optional<QPoint> pixel);
    // What screen readers hear of the cursor.
    void Describe();

    QWidget* frame_;
    QRect designed_;
    QScrollBar* across_ = nullptr;
    QScrollBar* down_ = nullptr;
    Loupe* loupe_ = nullptr;

    QImage picture_;
    QImage opened_;
    QImage quantised_;
    std::vector<std::uint8_t> groups_;
    bool showQuantised_ = false;
    std::optional<int> preview_;
    // The dimmed picture while a group is previewed, made once per preview.
    mutable QImage dimmed_;

    double zoom_ = 1;
    bool fit_ = false;
    // The zoom last told of, and whether it was fitted.
    std::pair<double, bool> announced_{1, false};

    std::optional<QPoint> cursor_;
    bool loupeShown_ = true;
    // Whether the loupe follows the keys (since they last moved the cursor) or the pointer.
    bool loupeOnKeys_ = false;
    // Wheel turns not yet a whole notch, per axis, and for zooming.
    QPoint wheelRest_;
    int zoomRest_ = 0;
};

}  // namespace colorsplit
