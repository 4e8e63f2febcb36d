#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>
#include <string>
#include <vector>

#include "core/colors.h"
#include "core/delta_e.h"

namespace colorsplit {

// The ink of the loaded table nearest a group's colour, by CIEDE2000.
struct GroupInk {
    std::string name;  // UTF-8
    TColor colour = 0;
    double deltaE = 0;
};

// One group of a grouping as the user reads it.
struct GroupStatistic {
    int group = 0;  // 1 to K, as the swatches and the log count them
    TColor colour = 0;
    qint64 pixels = 0;
    // Its share of the picture in hundredths of a percent, rounded to the nearest (a half up).
    qint64 hundredths = 0;
    // Its printed area in square centimetres at the export's print size.
    double areaCm2 = 0;
    // None without an ink table.
    std::optional<GroupInk> ink;
};

// The statistics of groups whose colours and pixel counts are given, one a group, each with its
// nearest ink when the table has any; a pixel prints cm2PerPixel square centimetres.
std::vector<GroupStatistic> Statistics(const std::vector<TColor>& colours,
                                       const std::vector<qint64>& pixels, const InkTable& inks = {},
                                       double cm2PerPixel = 0);
// Each colour as its nearest ink's; the colours as they are when the table is empty.
std::vector<TColor> InkColours(const std::vector<TColor>& colours, const InkTable& inks);
// "#RRGGBB", upper-case.
std::string HexColour(TColor c);
// "25.00": hundredths of a percent with two decimals.
std::string Percent(qint64 hundredths);
// "2.51": a colour difference with two decimals, whatever the locale.
std::string DeltaEText(double deltaE);

// group,hex,red,green,blue,pixels,percent,area_cm2,ink,delta_e, then a row a group.
QByteArray GroupsCsv(const std::vector<GroupStatistic>& statistics);
// The header's columns after the group's: "hex,red,...".
std::string CsvColumns();
// One group's row of it, without the line's end:
// "1,#4B7AD3,75,122,211,96184,55.66,69.04,Blue,2.51"; the last two fields empty without an ink.
std::string CsvRow(const GroupStatistic& statistic);
// A CSV field as it must stand: quoted where it holds a comma, a quote or a line's end.
std::string CsvField(const std::string& text);
// The groups' colours as a GIMP palette named stem, each named by its nearest ink, or else as
// its radio item and hex, "color1 #4B7AD3", so that the file reads naturally in a palette editor.
QByteArray GroupsPalette(const std::string& stem, const std::vector<GroupStatistic>& statistics);

}  // namespace colorsplit
