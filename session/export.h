#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/colors.h"
#include "core/delta_e.h"
#include "core/group_map.h"
#include "session/export_settings.h"
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
    // its first row. Progress is checked before each band and advances by rows. Without
    // grouped, a file's bands are not grouped and groups is null: the caller has them.
    using Take = std::function<void(const QImage& pixels, const std::uint8_t* groups, int top)>;
    void Each(Progress& progress, const Take& take, bool grouped = true) const;

private:
    QImage picture_;
    std::vector<std::uint8_t> groups_;
    std::shared_ptr<const PictureFile> file_;
    std::array<PixelRec, kMaxColors> codeBook_{};
    int k_ = 0;
    qint64 maxPixels_ = 0;
};

// The groups of a whole grouping as the settings make them: each pixel's nearest group, or its
// group by dithering among colours, then the cleanup of regions smaller than minRegion (the
// settings' own, or scaled for a reduced copy). Stops, throwing Cancelled, when asked.
GroupMap GroupsOf(const GroupedBands& bands, const std::vector<TColor>& colours,
                  const ExportSettings& settings, qint64 minRegion, Progress& progress);

// The pixels of each of k groups, as the settings group them.
std::vector<qint64> CountBands(const GroupedBands& bands, const std::vector<TColor>& colours,
                               const ExportSettings& settings, Progress& progress);

// The files an export writes for a picture named stem with k groups, in order: the quantised
// picture, each group's layer and film, the statistics, the groups' colours as a palette, and
// as the settings ask, the films as a PDF and the groups as vectors.
std::vector<std::string> ExportFileNames(const std::string& stem, int k,
                                         const ExportSettings& settings = {});

// What an export needs, fixed on the window's thread: the worker reads nothing else.
struct ExportJob {
    std::string folder;  // which must exist
    std::string stem;
    // The groups' colours, and those the quantised picture and the layers show (the nearest
    // inks' when the settings say so).
    std::vector<TColor> colours;
    std::vector<TColor> shownColours;
    // The statistics and the palette name each group's nearest ink of these, if it has any.
    InkTable inks;
    // A line a group for its film's label: the picture, the group and its colour (and ink).
    std::vector<QString> labels;
    ExportSettings settings;
};

// Writes every file of an export and returns each group's pixels. The files are made together,
// a band of the picture at a time on every core, each as a temporary in the folder, written and
// synced; only when all are complete do they take their names, in one pass in order. A failure
// or a stop before that pass leaves every file there as it was and no temporary; one during it
// leaves each file whole, old or new. A failure throws PictureError naming the file and its
// cause, and the files not written.
std::vector<qint64> WriteExport(const ExportJob& job, const GroupedBands& bands,
                                Progress& progress);

// A share of long work's progress: from to to of the whole, as done of total moves.
class ProgressShare : public Progress {
public:
    ProgressShare(Progress& whole, double from, double to) : whole_(whole), from_(from), to_(to) {}
    void Advance(qint64 done, qint64 total) override;
    bool StopRequested() const override { return whole_.StopRequested(); }

private:
    Progress& whole_;
    double from_;
    double to_;
};

}  // namespace colorsplit
