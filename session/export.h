#pragma once

#include <QImage>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/colors.h"
#include "core/delta_e.h"
#include "session/long_work.h"

namespace colorsplit {

class PictureFile;

// A grouping's picture at its full size, a band of rows at a time with each pixel's group:
// the picture as opened with the table's groups, or the file a reduced copy was made from,
// decoded again as its bands come and grouped by the grouping's own rule. It only reads what
// it holds, so any thread may use it.
class GroupedBands {
public:
    // A picture in memory and its pixels' groups, row by row.
    GroupedBands(QImage picture, std::vector<std::uint8_t> groups);
    // A file, each pixel to the nearest of the first k code vectors (GroupOf); files of more
    // than maxPixels pixels are refused from their headers.
    GroupedBands(std::shared_ptr<const PictureFile> file,
                 const std::array<PixelRec, kMaxColors>& codeBook, int k, qint64 maxPixels);

    QSize Size() const;
    // A band: its pixels (Format_RGB32), their groups (row by row, the band's width each) and
    // its first row. Progress is checked before each band and advances by rows.
    using Take = std::function<void(const QImage& pixels, const std::uint8_t* groups, int top)>;
    void Each(Progress& progress, const Take& take) const;

private:
    QImage picture_;
    std::vector<std::uint8_t> groups_;
    std::shared_ptr<const PictureFile> file_;
    std::array<PixelRec, kMaxColors> codeBook_{};
    int k_ = 0;
    qint64 maxPixels_ = 0;
};

// The pixels of each of k groups.
std::vector<qint64> CountBands(const GroupedBands& bands, int k, Progress& progress);

// The files an export writes for a picture named stem with k groups, in order: the quantised
// picture, each group's layer and film, the statistics, the groups' colours as a palette.
std::vector<std::string> ExportFileNames(const std::string& stem, int k);

// Writes every file of an export into folder (which must exist) and returns each group's
// pixels. The files are made together, a band of the picture at a time on every core, each
// as a temporary in the folder, written and synced; only when all are complete do they take
// their names, in one pass in order. A failure or a stop before that pass leaves every file
// there as it was and no temporary; one during it leaves each file whole, old or new. A
// failure throws PictureError naming the file and its cause, and the files not written. The
// statistics and the palette name each group's nearest ink of inks, if it has any.
std::vector<qint64> WriteExport(const std::string& folder, const std::string& stem,
                                const GroupedBands& bands, const std::vector<TColor>& colours,
                                const InkTable& inks, Progress& progress);

}  // namespace colorsplit
