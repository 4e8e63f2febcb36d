#include "platform/film_marks.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRect>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace colorsplit {
namespace {

// Sizes in units of the margin, up to 10 mm: marks keep their shape in any margin and stay
// near the picture in a wide one.
constexpr double kRadius = 0.2;    // the registration circle
constexpr double kArm = 0.3;       // half the registration cross
constexpr double kCropFrom = 0.2;  // a crop line's gap from the picture
constexpr double kCropTo = 0.7;    // and its far end
constexpr double kLabelEm = 0.25;  // the label's font size
constexpr double kLabelGap = 0.1;  // between the label and a mark

constexpr double kLineMm = 0.15;    // every line's width, at least a pixel
constexpr double kGlyphEm = 100.0;  // the label's outlines are taken at this size, then scaled

// The shapes filled over a region of the sheet, one bit a pixel, rows of rowBytes.
std::vector<std::uint8_t> Rasterise(const std::vector<QPainterPath>& shapes, const QRect& region,
                                    std::size_t rowBytes) {
    std::vector<std::uint8_t> bits(rowBytes * static_cast<std::size_t>(region.height()));
    if (region.isEmpty())
        return bits;
    QImage grey(region.size(), QImage::Format_Grayscale8);
    grey.fill(255);
    {
        // Sharp edges: a pixel is black when its centre is inside, as a film setter draws.
        QPainter painter(&grey);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.translate(-region.topLeft());
        for (const QPainterPath& shape : shapes)
            if (shape.intersects(QRectF(region)))
                painter.fillPath(shape, Qt::black);
    }
    for (int y = 0; y < region.height(); ++y) {
        const std::uint8_t* in = grey.constScanLine(y);
        std::uint8_t* out = bits.data() + rowBytes * static_cast<std::size_t>(y);
        for (int x = 0; x < region.width(); ++x)
            if (in[x] >= 128)
                out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    return bits;
}

// ORs the first count bits of src into dst from bit at on; dst's bits there are 0.
void PutBits(const std::uint8_t* src, int count, std::uint8_t* dst, int at) {
    const int shift = at % 8;
    std::uint8_t* d = dst + at / 8;
    const auto put = [&](int i, std::uint8_t b) {
        d[i] |= static_cast<std::uint8_t>(b >> shift);
        // Only a bit that is there may spill into the next byte, which then is the row's.
        if (const auto spill = static_cast<std::uint8_t>(b << (8 - shift)); shift && spill)
            d[i + 1] |= spill;
    };
    const int whole = count / 8;
    for (int i = 0; i < whole; ++i)
        put(i, src[i]);
    if (const int rest = count % 8)
        put(whole, static_cast<std::uint8_t>(src[whole] & (0xFF << (8 - rest))));
}

}  // namespace

FilmSheet::FilmSheet(QSize picture, double dpi, double marginMm)
    : picture_(picture),
      dpi_(dpi),
      margin_(static_cast<int>(std::lround(std::max(0.0, marginMm) / 25.4 * dpi))) {}

QSize FilmSheet::Size() const {
    return picture_ + QSize(2 * margin_, 2 * margin_);
}

QSizeF FilmSheet::SizePoints() const {
    return QSizeF(Size()) * (72.0 / dpi_);
}

double FilmSheet::Unit() const {
    return std::min(static_cast<double>(margin_), Millimetres(10.0));
}

QPainterPath FilmSheet::Line(QPointF from, QPointF to) const {
    QPainterPath centre(from);
    centre.lineTo(to);
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(Millimetres(kLineMm), 1.0));
    stroker.setCapStyle(Qt::FlatCap);
    return stroker.createStroke(centre);
}

std::vector<QPainterPath> FilmSheet::RegistrationMarks() const {
    std::vector<QPainterPath> marks;
    if (margin_ == 0)
        return marks;
    const double m = margin_, u = Unit(), w = picture_.width(), h = picture_.height();
    const QPointF centres[] = {{m + w / 2, m / 2},
                               {m + w / 2, m + h + m / 2},
                               {m / 2, m + h / 2},
                               {m + w + m / 2, m + h / 2}};
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(Millimetres(kLineMm), 1.0));
    for (const QPointF& c : centres) {
        QPainterPath circle;
        circle.addEllipse(c, kRadius * u, kRadius * u);
        marks.push_back(stroker.createStroke(circle));
        marks.push_back(Line(c - QPointF(kArm * u, 0), c + QPointF(kArm * u, 0)));
        marks.push_back(Line(c - QPointF(0, kArm * u), c + QPointF(0, kArm * u)));
    }
    return marks;
}

std::vector<QPainterPath> FilmSheet::CropMarks() const {
    std::vector<QPainterPath> marks;
    if (margin_ == 0)
        return marks;
    const double m = margin_, u = Unit();
    for (const int sx : {-1, 1})
        for (const int sy : {-1, 1}) {
            const QPointF corner(sx < 0 ? m : m + picture_.width(),
                                 sy < 0 ? m : m + picture_.height());
            marks.push_back(Line(corner + QPointF(sx * kCropFrom * u, 0),
                                 corner + QPointF(sx * kCropTo * u, 0)));
            marks.push_back(Line(corner + QPointF(0, sy * kCropFrom * u),
                                 corner + QPointF(0, sy * kCropTo * u)));
        }
    return marks;
}

QPainterPath FilmSheet::Label(const QString& text) const {
    const double m = margin_, u = Unit();
    // From beside the bottom left crop line to short of the bottom middle mark.
    const double left = m + kLabelGap * u;
    const double room = picture_.width() / 2.0 - (kArm + 2 * kLabelGap) * u;
    if (margin_ == 0 || text.isEmpty() || room <= 0)
        return {};
    QFont font;
    // Picture and ink names may be Chinese; the package brings one of these.
    font.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(static_cast<int>(kGlyphEm));
    QPainterPath glyphs;
    glyphs.addText(0, 0, font, text);
    double scale = kLabelEm * u / kGlyphEm;
    const double inked = glyphs.boundingRect().right();
    if (inked * scale > room)
        scale = room / inked;
    // Capitals centred on the margin's middle line, whatever the scale.
    const double baseline =
        m + picture_.height() + m / 2 + QFontMetricsF(font).capHeight() * scale / 2;
    QPainterPath label = QTransform::fromTranslate(left, baseline).scale(scale, scale).map(glyphs);
    label.setFillRule(Qt::WindingFill);
    return label;
}

std::vector<QPainterPath> FilmSheet::Marks(const QString& label) const {
    std::vector<QPainterPath> marks = RegistrationMarks();
    for (QPainterPath& crop : CropMarks())
        marks.push_back(std::move(crop));
    if (QPainterPath text = Label(label); !text.isEmpty())
        marks.push_back(std::move(text));
    return marks;
}

MarkedFilmRows::MarkedFilmRows(const FilmSheet& sheet, const QString& label)
    : width_(sheet.Size().width()),
      height_(sheet.Size().height()),
      margin_(sheet.Margin()),
      pictureWidth_(sheet.Picture().width()),
      rowBytes_((static_cast<std::size_t>(width_) + 7) / 8),
      sideBytes_((static_cast<std::size_t>(margin_) + 7) / 8) {
    const std::vector<QPainterPath> marks = sheet.Marks(label);
    const int m = margin_, h = sheet.Picture().height();
    top_ = Rasterise(marks, QRect(0, 0, width_, m), rowBytes_);
    bottom_ = Rasterise(marks, QRect(0, m + h, width_, m), rowBytes_);
    left_ = Rasterise(marks, QRect(0, m, m, h), sideBytes_);
    right_ = Rasterise(marks, QRect(m + pictureWidth_, m, m, h), sideBytes_);
}

void MarkedFilmRows::Row(int y, const std::uint8_t* film, std::uint8_t* out) const {
    const std::size_t side = sideBytes_ * static_cast<std::size_t>(y);
    std::memset(out, 0, rowBytes_);
    PutBits(left_.data() + side, margin_, out, 0);
    PutBits(film, pictureWidth_, out, margin_);
    PutBits(right_.data() + side, margin_, out, margin_ + pictureWidth_);
}

}  // namespace colorsplit
