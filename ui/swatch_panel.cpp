#include "ui/swatch_panel.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace colorsplit {

QFont SwatchFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    // 8 points at the design's 120 pixels per inch, fixed so the panel looks the same on
    // every screen.
    font.setPixelSize(13);
    return font;
}

void DrawSwatch(QImage& panel, int row, TColor c, const QFont& font) {
    const int top = 30 * row;
    const QColor fill(RedOf(c), GreenOf(c), BlueOf(c));
    QPainter painter(&panel);
    // Rectangles exclude their right and bottom edges: the border covers x 0-49, y top to
    // top + 19, and the fill everything inside it.
    painter.fillRect(QRect(0, top, 50, 20), Qt::black);
    painter.fillRect(QRect(1, top + 1, 48, 18), fill);

    // The mean colour's text stands one pixel lower than the rule gives.
    const int textTop = row == kMeanRow ? top + 1 : top;
    const QString text = QString::number(c);
    const QFontMetrics metrics(font, &panel);
    painter.fillRect(QRect(50, textTop, metrics.horizontalAdvance(text), metrics.height()),
                     Qt::white);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(50, textTop + metrics.ascent(), text);
}

SwatchPanel::SwatchPanel() : background_(Qt::white), font_(SwatchFont()) {
    SetDevicePixelRatio(1.0);
}

void SwatchPanel::Show(int row, TColor c) {
    if (row < 0 || row >= kSwatchRows)
        return;
    std::vector<TColor>& drawn = drawn_[static_cast<size_t>(row)];
    const QFontMetricsF metrics(font_);
    const qreal width = metrics.horizontalAdvance(QString::number(c));
    std::erase_if(drawn, [&](TColor earlier) {
        return metrics.horizontalAdvance(QString::number(earlier)) <= width;
    });
    drawn.push_back(c);
    DrawSwatch(image_, row, c, font_);
}

void SwatchPanel::Clear(const QColor& background) {
    background_ = background;
    for (std::vector<TColor>& drawn : drawn_)
        drawn.clear();
    image_.fill(background_);
}

void SwatchPanel::ClearRow(int row) {
    if (row < 0 || row >= kSwatchRows)
        return;
    drawn_[static_cast<size_t>(row)].clear();
    Redraw();
}

void SwatchPanel::SetDevicePixelRatio(qreal ratio) {
    if (!image_.isNull() && qFuzzyCompare(image_.devicePixelRatio(), ratio))
        return;
    image_ = QImage(qRound(kSwatchPanelWidth * ratio), qRound(kSwatchPanelHeight * ratio),
                    QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio);
    Redraw();
}

void SwatchPanel::Redraw() {
    image_.fill(background_);
    for (int row = 0; row < kSwatchRows; ++row)
        for (TColor c : drawn_[static_cast<size_t>(row)])
            DrawSwatch(image_, row, c, font_);
}

std::optional<TColor> SwatchPanel::Shown(int row) const {
    if (row < 0 || row >= kSwatchRows || drawn_[static_cast<size_t>(row)].empty())
        return std::nullopt;
    return drawn_[static_cast<size_t>(row)].back();
}

}  // namespace colorsplit
