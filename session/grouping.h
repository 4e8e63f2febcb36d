#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <string>
#include <vector>

#include "core/colors.h"
#include "platform/grouped_picture.h"

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
// Pixels per group, K groups.
std::vector<qint64> CountGroups(const std::vector<std::uint8_t>& groups, int k);

// Every pixel of a Format_RGB32 picture in its group by the grouping pass's own rule, with
// this code book and k groups (1 to 4): a group a pixel, row by row.
std::vector<std::uint8_t> GroupPixels(const QImage& picture,
                                      const std::array<PixelRec, kMaxColors>& codeBook, int k);

// "#RRGGBB", upper-case.
std::string HexColour(TColor c);
// "25.00": hundredths of a percent with two decimals.
std::string Percent(qint64 hundredths);

// group,hex,red,green,blue,pixels,percent, then a row a group.
QByteArray GroupsCsv(const std::vector<GroupStatistic>& statistics);

// The files an export writes for a picture named stem with k groups, in the order written:
// the quantised picture, each group's layer and film, the statistics.
std::vector<std::string> ExportFileNames(const std::string& stem, int k);

// Writes every file of an export into folder (which must exist) in order, each whole or not
// at all; the next files are made while one is written. A failure throws PictureError naming
// the file, the cause, and the files not written.
void WriteExport(const std::string& folder, const std::string& stem, const GroupedPicture& grouped,
                 const std::vector<GroupStatistic>& statistics);

}  // namespace colorsplit
