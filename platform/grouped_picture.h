#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

namespace colorsplit {

// A picture with the group of each of its pixels and each group's colour.
struct GroupedPicture {
    QImage picture;                    // Format_RGB32
    std::vector<std::uint8_t> groups;  // one a pixel, row by row; each below colours.size()
    std::vector<QRgb> colours;         // a colour a group
};

// The picture in its groups' colours, Format_RGB32: what the quantised file holds.
QImage QuantisedPicture(const GroupedPicture& grouped);

// A row of each kind of file an export writes, from a row of the picture (Format_RGB32) and
// its pixels' groups, in the layouts of png_writer.h:
// the row in its groups' colours, 8-bit RGB;
void QuantisedRow(const std::uint8_t* groups, int width, const std::vector<QRgb>& colours,
                  std::uint8_t* out);
// group n's layer, its pixels in their own colours, opaque, every other pixel fully
// transparent, 8-bit RGBA;
void LayerRow(const QRgb* pixels, const std::uint8_t* groups, int width, int n, std::uint8_t* out);
// group n's film to print or cut from, black where a pixel is in the group and white
// elsewhere, 1 bit a pixel.
void FilmRow(const std::uint8_t* groups, int width, int n, std::uint8_t* out);
// The same from a byte a pixel, 1 where the film prints.
void FilmRowOfInk(const std::uint8_t* ink, int width, std::uint8_t* out);

}  // namespace colorsplit
