#include "platform/reduce.h"

#include <algorithm>
#include <cstdint>

#include "platform/orientation.h"
#include "platform/picture.h"

namespace colorsplit {

namespace {

// round(a / b) for whole a, b > 0, a half up.
qint64 RoundedQuotient(qint64 a, qint64 b) {
    return (2 * a + b) / (2 * b);
}

}  // namespace

// Where copy pixel i lies over the picture's pixels along one axis, in units of 1 / n of a
// picture pixel (n the copy's length, N the picture's): copy pixel i spans [i N, (i + 1) N)
// and picture pixel p spans [p n, (p + 1) n), so every overlap is a whole number of units.
std::vector<BandReducer::Span> BandReducer::Spans(int copy, int picture) {
    std::vector<Span> spans(static_cast<size_t>(copy));
    const qint64 n = copy, N = picture;
    for (qint64 i = 0; i < n; ++i) {
        const qint64 begin = i * N, end = (i + 1) * N;
        Span& s = spans[static_cast<size_t>(i)];
        s.first = static_cast<int>(begin / n);
        s.last = static_cast<int>((end - 1) / n);
        s.firstPart = std::min(end, (s.first + 1) * n) - begin;
        s.lastPart = s.first == s.last ? 0 : end - s.last * n;
    }
    return spans;
}

QSize ReducedSize(QSize size, QSize limit) {
    const qint64 w = size.width(), h = size.height();
    const qint64 lw = limit.width(), lh = limit.height();
    if (w <= 0 || h <= 0)
        return QSize();
    // s = lw / w when that is the smaller scale: lw h <= lh w. Exact in whole numbers.
    qint64 rw = lw, rh = lh;
    if (lw * h <= lh * w)
        rh = RoundedQuotient(h * lw, w);
    else
        rw = RoundedQuotient(w * lh, h);
    return QSize(static_cast<int>(std::max<qint64>(1, rw)),
                 static_cast<int>(std::max<qint64>(1, rh)));
}

BandReducer::BandReducer(QSize picture, QSize copy)
    : picture_(picture), copy_(copy, QImage::Format_RGB32) {
    if (copy_.isNull() || picture.isEmpty())
        return;
    across_ = Spans(copy.width(), picture.width());
    down_ = Spans(copy.height(), picture.height());
    for (std::vector<qint64>& sums : sums_)
        sums.assign(static_cast<size_t>(copy.width()) * 3, 0);
    filtered_.resize(static_cast<size_t>(copy.width()) * 3);
}

void BandReducer::Add(const QImage& band) {
    for (int y = 0; y < band.height() && !down_.empty(); ++y)
        AddRow(reinterpret_cast<const QRgb*>(band.constScanLine(y)), next_++);
}

void BandReducer::AddRow(const QRgb* row, int py) {
    const int w = copy_.width();
    // The row across each copy pixel, weighted by the part of each picture pixel it covers.
    for (int x = 0; x < w; ++x) {
        const Span& columns = across_[static_cast<size_t>(x)];
        qint64 r = 0, g = 0, b = 0;
        const auto add = [&](int px, qint64 weight) {
            r += weight * qRed(row[px]);
            g += weight * qGreen(row[px]);
            b += weight * qBlue(row[px]);
        };
        add(columns.first, columns.firstPart);
        for (int px = columns.first + 1; px < columns.last; ++px)
            add(px, w);
        if (columns.last != columns.first)
            add(columns.last, columns.lastPart);
        qint64* f = &filtered_[static_cast<size_t>(x) * 3];
        f[0] = r;
        f[1] = g;
        f[2] = b;
    }
    // A picture row lies in one copy row, or on the line between two: weighted by the part of
    // it each covers.
    const int h = copy_.height();
    for (int k = 0; k < 2 && row_ + k < h; ++k) {
        const Span& rows = down_[static_cast<size_t>(row_ + k)];
        if (py < rows.first || py > rows.last)
            continue;
        const qint64 weight = py == rows.first  ? rows.firstPart
                              : py == rows.last ? rows.lastPart
                                                : h;
        std::vector<qint64>& sums = sums_[k];
        for (size_t i = 0; i < sums.size(); ++i)
            sums[i] += weight * filtered_[i];
    }
    if (py == down_[static_cast<size_t>(row_)].last)
        FinishRow();
}

void BandReducer::FinishRow() {
    // Each copy pixel covers W x H units of area (in units of 1/w by 1/h of a picture pixel):
    // at most 2^31 x 255, well inside 64 bits.
    const qint64 area = static_cast<qint64>(picture_.width()) * picture_.height();
    auto* out = reinterpret_cast<QRgb*>(copy_.scanLine(row_));
    const std::vector<qint64>& sums = sums_[0];
    for (int x = 0; x < copy_.width(); ++x)
        out[x] =
            qRgb(static_cast<int>(RoundedQuotient(sums[3 * static_cast<size_t>(x)], area)),
                 static_cast<int>(RoundedQuotient(sums[3 * static_cast<size_t>(x) + 1], area)),
                 static_cast<int>(RoundedQuotient(sums[3 * static_cast<size_t>(x) + 2], area)));
    std::swap(sums_[0], sums_[1]);
    std::fill(sums_[1].begin(), sums_[1].end(), 0);
    ++row_;
}

QImage Reduce(const QImage& picture, QSize size) {
    BandReducer reducer(picture.size(), size);
    reducer.Add(picture);
    return reducer.Result();
}

QImage ReducedCopy(const PictureFile& file, QSize copy, qint64 maxPixels,
                   const std::function<bool(int, int)>& going, int rows) {
    const int orientation = file.Orientation();
    const QSize stored = OrientedSize(file.Size(), orientation);
    BandReducer reducer(stored, OrientedSize(copy, orientation));
    bool stopped = false;
    file.DecodeBands(maxPixels, rows > 0 ? rows : BandRows(stored.width()),
                     [&](const QImage& band, int top) {
                         reducer.Add(band);
                         stopped = !going(top + band.height(), stored.height());
                         return !stopped;
                     });
    return stopped ? QImage() : Oriented(reducer.Result(), orientation);
}

}  // namespace colorsplit
