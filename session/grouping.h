#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <string>
#include <vector>

#include "core/colors.h"

namespace colorsplit {

// One group of a grouping as the user reads it.
struct GroupStatistic {
    int group = 0;  // 1 to K, as the swatches and the log count them
    TColor colour = 0;
    qint64 pixels = 0;
    // Its share of the picture in hundredths of a percent, rounded to the nearest (a half up).
    qint64 hundredths = 0;
};

// The statistics of groups whose colours and pixel counts are given, one a group.
std::vector<GroupStatistic> Statistics(const std::vector<TColor>& colours,
                                       const std::vector<qint64>& pixels);
// "#RRGGBB", upper-case.
std::string HexColour(TColor c);
// "25.00": hundredths of a percent with two decimals.
std::string Percent(qint64 hundredths);

// group,hex,red,green,blue,pixels,percent, then a row a group.
QByteArray GroupsCsv(const std::vector<GroupStatistic>& statistics);
// One group's row of it, without the line's end: "1,#4B7AD3,75,122,211,96184,55.66".
std::string CsvRow(const GroupStatistic& statistic);
// The groups' colours as a GIMP palette named stem, each named as its radio item and hex,
// "color1 #4B7AD3", so that the file reads naturally in a palette editor.
QByteArray GroupsPalette(const std::string& stem, const std::vector<TColor>& colours);

}  // namespace colorsplit
