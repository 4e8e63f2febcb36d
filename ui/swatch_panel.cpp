#include "ui/swatch_panel.h"

#include <QFontMetrics>
#include <QPainter>

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
    const int textTop = row == 4 ? 121 : top;
    const QString text = QString::number(c);
    const QFontMetrics metrics(font, &panel);
    painter.fillRect(QRect(50, textTop, metrics.horizontalAdvance(text), metrics.height()),
                     Qt::white);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(50, textTop + metrics.ascent(), text);
}

}  // namespace colorsplit
