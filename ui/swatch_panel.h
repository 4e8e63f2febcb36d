#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <array>
#include <optional>
#include <vector>

#include "core/colors.h"

namespace colorsplit {

// The design's 123 x 172: five rows 30 pixels apart with room below the last; a row more for
// each colour more.
inline constexpr int kSwatchPanelWidth = 123;
inline constexpr int kSwatchPanelHeight = 30 * kSwatchRows + 22;

// Draws swatch row n of the panel to the pixel: a 50 x 20 rectangle with a black border at
// (0, 30n) filled with c, and c in signed decimal at (50, 30n) - one pixel lower in the mean
// colour's row, (50, 121) - on white covering only the text's own extent. Nothing else of the panel
// is touched, so a shorter number leaves the rest of a longer one visible. Coordinates are logical
// pixels; a panel with a device pixel ratio is drawn at its own resolution.
void DrawSwatch(QImage& panel, int row, TColor c, const QFont& font);

// The font swatch values are written in.
QFont SwatchFont();

// The swatch panel's picture, drawn at the device pixel ratio of the screen that shows it, so
// its digits and edges are as sharp as the captions. It remembers what covers what, so a move
// to a screen of another ratio draws the same panel again.
class SwatchPanel {
public:
    SwatchPanel();

    void Show(int row, TColor c);
    // Every row blank, the panel in the given colour.
    void Clear(const QColor& background);
    // One row blank.
    void ClearRow(int row);
    void SetDevicePixelRatio(qreal ratio);

    const QImage& Image() const { return image_; }
    // The value row n shows last, if any.
    std::optional<TColor> Shown(int row) const;

private:
    void Redraw();

    QImage image_;
    QColor background_;
    QFont font_;
    // Per row, the values drawn that still show: a later value hides the earlier ones whose
    // text is no wider than its own.
    std::array<std::vector<TColor>, kSwatchRows> drawn_;
};

}  // namespace colorsplit
