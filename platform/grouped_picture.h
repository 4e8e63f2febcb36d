#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <vector>

namespace colorsplit {

// A picture with the group of each of its pixels and each group's colour: what the files of
// an export are made from.
struct GroupedPicture {
    QImage picture;                    // Format_RGB32
    std::vector<std::uint8_t> groups;  // one a pixel, row by row; each below colours.size()
    std::vector<QRgb> colours;         // a colour a group
};

// The picture in its groups' colours, Format_RGB32: what the quantised file holds.
QImage QuantisedPicture(const GroupedPicture& grouped);
// The same as a file: 8-bit RGB.
QByteArray QuantisedPng(const GroupedPicture& grouped);
// Group n's pixels in their own colours, opaque, and every other pixel fully transparent:
// 8-bit RGBA.
QByteArray LayerPng(const GroupedPicture& grouped, int n);
// A film to print or cut from: black where a pixel is in group n, white elsewhere; 1 bit a
// pixel.
QByteArray FilmPng(const GroupedPicture& grouped, int n);

}  // namespace colorsplit
