#pragma once

#include <QPainterPath>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace colorsplit {

// The sheet a film is printed on: the picture at its print resolution with a margin all round
// for the marks and the label. Everything is measured in the sheet's pixels, the picture's own
// pixels at dpi. The margin is a whole number of them (the millimetres asked for, to the nearest
// pixel), so that the picture's pixels fall on the grid of a device printing at dpi (above 0).
class FilmSheet {
public:
    static constexpr double kMarginMm = 10.0;

    FilmSheet(QSize picture, double dpi, double marginMm = kMarginMm);

    QSize Picture() const { return picture_; }
    double Dpi() const { return dpi_; }
    int Margin() const { return margin_; }
    QSize Size() const;         // picture plus margins
    QSizeF SizePoints() const;  // Size() in PDF points, 1/72 inch

    // The marks, drawn once as shapes to fill (each on its own: they overlap): a circle and a
    // cross outside the middle of each side, to lay films over each other; lines at the
    // corners, in line with the picture's edges, to cut along; and the label's outlines in the
    // bottom margin, starting at the same place whatever its length and shrunk to stay clear
    // of the middle mark. Empty without a margin.
    std::vector<QPainterPath> RegistrationMarks() const;
    std::vector<QPainterPath> CropMarks() const;
    QPainterPath Label(const QString& text) const;
    // All of them: what a film carries.
    std::vector<QPainterPath> Marks(const QString& label) const;

private:
    double Millimetres(double mm) const { return mm / 25.4 * dpi_; }
    double Unit() const;
    QPainterPath Line(QPointF from, QPointF to) const;

    QSize picture_;
    double dpi_;
    int margin_;
};

// A marked film's rows for PngStream (1 bit, black 0, white 1, the leftmost pixel in the
// highest bit, a row's unused bits 0): the top margin's rows, then each picture row the caller
// makes (FilmRow's layout) with its side margins, then the bottom margin's rows. Only the
// margins are held, rasterised once; Row may be called from several threads at once.
class MarkedFilmRows {
public:
    MarkedFilmRows(const FilmSheet& sheet, const QString& label);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Margin() const { return margin_; }
    std::size_t RowBytes() const { return rowBytes_; }

    // Margin() rows each, RowBytes() apart.
    const std::uint8_t* Top() const { return top_.data(); }
    const std::uint8_t* Bottom() const { return bottom_.data(); }
    // Picture row y (0 at the picture's top), film holding its pixels; RowBytes() into out.
    void Row(int y, const std::uint8_t* film, std::uint8_t* out) const;

private:
    int width_, height_, margin_, pictureWidth_;
    std::size_t rowBytes_, sideBytes_;
    std::vector<std::uint8_t> top_, bottom_;
    std::vector<std::uint8_t> left_, right_;  // sideBytes_ a picture row
};

}  // namespace colorsplit
