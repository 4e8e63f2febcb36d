#pragma once

#include <QImage>
#include <QSize>
#include <functional>
#include <vector>

namespace colorsplit {

class PictureFile;

// The size of a reduced copy of a picture larger than limit: the aspect ratio kept, scale
// s = min(limit width / W, limit height / H), size (round(W s), round(H s)), each at least 1.
QSize ReducedSize(QSize size, QSize limit);

// A reduced copy of a Format_RGB32 picture: each of its pixels is the mean of the picture's
// pixels it covers, each weighted by the area it covers, rounded to the nearest level (a box
// filter over exact areas; no blur, no sharpening). size is at most the picture's own.
QImage Reduce(const QImage& picture, QSize size);

// The same copy made a band of the picture's rows at a time, top to bottom, as they are
// decoded: no more than two rows of sums are held, whatever the picture's size.
class BandReducer {
public:
    BandReducer(QSize picture, QSize copy);
    // The picture's next rows, Format_RGB32.
    void Add(const QImage& band);
    // Once every row has been added.
    QImage Result() const { return copy_; }

private:
    struct Span {
        int first = 0;         // the first picture pixel a copy pixel covers
        int last = 0;          // the last one
        qint64 firstPart = 0;  // how much of each it covers; those between are covered whole
        qint64 lastPart = 0;
    };
    static std::vector<Span> Spans(int copy, int picture);
    void AddRow(const QRgb* row, int py);
    void FinishRow();

    QSize picture_;
    QImage copy_;
    std::vector<Span> across_, down_;
    int next_ = 0;  // the picture row expected next
    int row_ = 0;   // the first copy row not finished
    // The sums of copy rows row_ and row_ + 1, three a pixel, and one picture row's, filtered
    // across.
    std::vector<qint64> sums_[2];
    std::vector<qint64> filtered_;
};

// The reduced copy of a picture file (of size copy, as the picture is shown) made as its rows
// are decoded: the stored picture reduced band by band, then turned as the camera asks, which
// gives the pixels of reducing the turned picture (the box filter and the turns commute).
// going(rows done, rows) is asked after each band; false stops, and an empty image returns.
// Bands of rows rows, BandRows' when 0.
QImage ReducedCopy(const PictureFile& file, QSize copy, qint64 maxPixels,
                   const std::function<bool(int, int)>& going, int rows = 0);

}  // namespace colorsplit
