#pragma once

#include <QFont>
#include <QImage>

#include "core/colors.h"

namespace colorsplit {

inline constexpr int kSwatchPanelWidth = 123;
inline constexpr int kSwatchPanelHeight = 172;

// Draws swatch row n (0-4) of the panel to the pixel: a 50 x 20 rectangle with a black
// border at (0, 30n) filled with c, and c in signed decimal at (50, 30n) - (50, 121) in row 4
// - on white covering only the text's own extent. Nothing else of the panel is touched, so a
// shorter number leaves the rest of a longer one visible.
void DrawSwatch(QImage& panel, int row, TColor c, const QFont& font);

// The font swatch values are written in.
QFont SwatchFont();

}  // namespace colorsplit
