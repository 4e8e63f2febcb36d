#include "platform/reduce.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace colorsplit {

namespace {

// round(a / b) for whole a, b > 0, a half up.
qint64 RoundedQuotient(qint64 a, qint64 b) {
    return (2 * a + b) / (2 * b);
}

// Where copy pixel i lies over the picture's pixels along one axis, in units of 1 / n of a
// picture pixel (n the copy's length, N the picture's): copy pixel i spans [i N, (i + 1) N)
// and picture pixel p spans [p n, (p + 1) n), so every overlap is a whole number of units.
struct Span {
    int first = 0;     // the first picture pixel it covers
    int last = 0;      // the last one
    qint64 firstPart;  // how much of each it covers; those between are covered whole (n)
    qint64 lastPart;
};

std::vector<Span> Spans(int copy, int picture) {
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

}  // namespace

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

QImage Reduce(const QImage& picture, QSize size) {
    const int W = picture.width(), H = picture.height();
    const int w = size.width(), h = size.height();
    QImage copy(size, QImage::Format_RGB32);
    if (copy.isNull() || W <= 0 || H <= 0)
        return copy;
    const std::vector<Span> across = Spans(w, W), down = Spans(h, H);
    // Each copy pixel covers W x H units of area (in units of 1/w by 1/h of a picture pixel):
    // at most 2^31 x 255, well inside 64 bits.
    const qint64 area = static_cast<qint64>(W) * H;
    std::vector<qint64> sums(static_cast<size_t>(w) * 3);
    const auto* pixels = reinterpret_cast<const QRgb*>(picture.constBits());
    const qsizetype stride = picture.bytesPerLine() / 4;
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const Span& rows = down[static_cast<size_t>(y)];
        for (int py = rows.first; py <= rows.last; ++py) {
            const qint64 weightY = py == rows.first  ? rows.firstPart
                                   : py == rows.last ? rows.lastPart
                                                     : h;
            const QRgb* row = pixels + py * stride;
            for (int x = 0; x < w; ++x) {
                const Span& columns = across[static_cast<size_t>(x)];
                // A row of the picture across this copy pixel, weighted by the part of each
                // picture pixel it covers.
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
                qint64* sum = &sums[static_cast<size_t>(x) * 3];
                sum[0] += weightY * r;
                sum[1] += weightY * g;
                sum[2] += weightY * b;
            }
        }
        auto* out = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const qint64* sum = &sums[static_cast<size_t>(x) * 3];
            out[x] = qRgb(static_cast<int>(RoundedQuotient(sum[0], area)),
                          static_cast<int>(RoundedQuotient(sum[1], area)),
                          static_cast<int>(RoundedQuotient(sum[2], area)));
        }
    }
    return copy;
}

}  // namespace colorsplit
