#pragma once

#include <QImage>
#include <QWidget>

namespace colorsplit {

// A magnified view of the pixels round one pixel of a picture: 9 x 9 of them, 10 times their
// size, the middle one outlined, and its colour as #RRGGBB and R G B beneath. It lets every
// click through and never covers the pixel it magnifies.
class Loupe : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSpan = 9;   // pixels across
    static constexpr int kZoom = 10;  // logical pixels a picture pixel

    explicit Loupe(QWidget* parent);

    // Magnifies picture round pixel, and stands beside shown, where (in the parent's
    // coordinates) that pixel is shown at the zoom in use: below and right of it, or above or
    // left where room ends, clear of it either way, and always inside room. Hidden when room
    // cannot hold it.
    void ShowAt(const QImage& picture, QPoint pixel, QRect shown, QRect room);
    // The colour text it shows.
    QString Text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    QPoint pixel_;
};

}  // namespace colorsplit
