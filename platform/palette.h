#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "core/colors.h"
#include "core/delta_e.h"
#include "platform/picture_error.h"

namespace colorsplit {

// Palette files: GIMP's (.gpl), which GIMP, Inkscape, Krita, Aseprite and others read and
// write, and plain lists of hex colours.

// The colours of a palette file, in order. A GIMP palette is read by GIMP's own rules: the line
// "GIMP Palette" first; optional Name: and Columns: lines before the colours; # comments and
// blank lines anywhere; a colour a line as r g b, each 0 to 255, parted by any white space, with
// an optional name (any text) after them. Anything else is a list of RRGGBB or #RRGGBB, a line
// each, optionally followed by white space and a name, blank lines ignored. A file with any other
// line, or a value over 255, is refused whole: PictureError for kSeeds naming the file and the
// line's number.
std::vector<TColor> ReadPalette(const std::string& fileName);

// The same file as inks, each named as the file names it (UTF-8), or by its #RRGGBB where the
// file gives no name. Refused as ReadPalette refuses, for kInks, and also when it holds no colour.
std::vector<Ink> ReadInks(const std::string& fileName);

// A GIMP palette named name, comment on a # line after the header, and a line for each colour:
// r g b, a tab, and its name.
QByteArray GimpPalette(const QString& name, const QString& comment,
                       const std::vector<std::pair<TColor, QString>>& colours);

}  // namespace colorsplit
