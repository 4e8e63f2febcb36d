#include "session/export.h"

#include <QDir>
#include <QString>
#include <new>

#include "core/group_pass.h"
#include "platform/grouped_picture.h"
#include "platform/picture.h"
#include "platform/picture_error.h"
#include "platform/png_writer.h"
#include "platform/safe_file.h"
#include "session/grouping.h"
#include "session/texts.h"

namespace colorsplit {

GroupedBands::GroupedBands(QImage picture, std::vector<std::uint8_t> groups)
    : picture_(std::move(picture)), groups_(std::move(groups)) {}

GroupedBands::GroupedBands(std::shared_ptr<const PictureFile> file,
                           const std::array<PixelRec, kMaxColors>& codeBook, int k,
                           qint64 maxPixels)
    : file_(std::move(file)), codeBook_(codeBook), k_(k), maxPixels_(maxPixels) {}

QSize GroupedBands::Size() const {
    return file_ ? file_->Size() : picture_.size();
}

void GroupedBands::Each(Progress& progress, const Take& take) const {
    const QSize size = Size();
    const auto w = static_cast<size_t>(size.width());
    std::vector<std::uint8_t> grouped;
    const BandSink band = [&](const QImage& pixels, int top) {
        progress.Check();
        const std::uint8_t* groups = nullptr;
        if (file_) {
            grouped.resize(w * static_cast<size_t>(pixels.height()));
            for (int y = 0; y < pixels.height(); ++y)
                GroupRow(reinterpret_cast<const RowPixel*>(pixels.constScanLine(y)), size.width(),
                         codeBook_, k_, grouped.data() + w * static_cast<size_t>(y));
            groups = grouped.data();
        } else {
            groups = groups_.data() + w * static_cast<size_t>(top);
        }
        take(pixels, groups, top);
        progress.Advance(top + pixels.height(), size.height());
        return true;
    };
    if (file_)
        file_->ShownBands(maxPixels_, BandRows(size.width()), band,
                          [&progress] { return !progress.StopRequested(); });
    else
        HandOutBands(picture_, BandRows(size.width()), band);
    // A stop asked for after the last band is a stop all the same: nothing is applied.
    progress.Check();
}

std::vector<qint64> CountBands(const GroupedBands& bands, int k, Progress& progress) {
    std::vector<qint64> counts(static_cast<size_t>(k));
    bands.Each(progress, [&](const QImage& pixels, const std::uint8_t* groups, int) {
        const size_t n = static_cast<size_t>(pixels.width()) * static_cast<size_t>(pixels.height());
        for (size_t i = 0; i < n; ++i)
            if (groups[i] < k)
                ++counts[groups[i]];
    });
    return counts;
}

namespace {

// The pictures an export writes, in order; those for each group are written group by group,
// all of a group's together, and the statistics come last. A new kind of picture is a new row.
struct PictureKind {
    const char* suffix;  // after STEM, with N for the group's number
    bool eachGroup;
    PngPixels pixels;
};

const PictureKind kPictureKinds[] = {
    {"-quantised.png", false, PngPixels::kRgb},
    {"-groupN.png", true, PngPixels::kRgba},
    {"-groupN-film.png", true, PngPixels::kBlackAndWhite},
};

constexpr char kStatisticsSuffix[] = "-groups.csv";
constexpr char kPaletteSuffix[] = "-groups.gpl";

// One picture of an export: its name, its layout and the group it is of.
struct ExportPicture {
    std::string name;
    PngPixels pixels;
    int group;
};

std::vector<ExportPicture> ExportPictures(const std::string& stem, int k) {
    std::vector<ExportPicture> pictures;
    const auto add = [&](const PictureKind& kind, int n) {
        std::string suffix = kind.suffix;
        if (const size_t at = suffix.find('N'); kind.eachGroup && at != std::string::npos)
            suffix.replace(at, 1, std::to_string(n + 1));
        pictures.push_back({stem + suffix, kind.pixels, n});
    };
    const auto* kind = std::begin(kPictureKinds);
    while (kind != std::end(kPictureKinds)) {
        if (!kind->eachGroup) {
            add(*kind++, 0);
            continue;
        }
        // A run of kinds for each group: the group outside, the kinds inside.
        const auto* end = kind;
        while (end != std::end(kPictureKinds) && end->eachGroup)
            ++end;
        for (int n = 0; n < k; ++n)
            for (const auto* each = kind; each != end; ++each)
                add(*each, n);
        kind = end;
    }
    return pictures;
}

// A picture of the export being written: the rows of a band made in its layout, filtered and
// compressed into its file as they come.
class PictureWriter {
public:
    PictureWriter(const ExportPicture& picture, QSize size, StagedFile& file)
        : picture_(picture),
          file_(file),
          png_(size.width(), size.height(), picture.pixels,
               [&file](const char* data, std::size_t n) { file.Write(data, n); }) {}

    void Add(const QImage& band, const std::uint8_t* groups, const std::vector<QRgb>& colours) {
        const int w = band.width();
        const std::size_t bytes = png_.RowBytes();
        rows_.resize(bytes * static_cast<std::size_t>(band.height()));
        for (int y = 0; y < band.height(); ++y) {
            const std::uint8_t* g =
                groups + static_cast<std::size_t>(w) * static_cast<std::size_t>(y);
            std::uint8_t* out = rows_.data() + bytes * static_cast<std::size_t>(y);
            switch (picture_.pixels) {
                case PngPixels::kRgb:
                    QuantisedRow(g, w, colours, out);
                    break;
                case PngPixels::kRgba:
                    LayerRow(reinterpret_cast<const QRgb*>(band.constScanLine(y)), g, w,
                             picture_.group, out);
                    break;
                case PngPixels::kBlackAndWhite:
                    FilmRow(g, w, picture_.group, out);
                    break;
            }
        }
        png_.Add(rows_.data(), band.height());
    }
    void Finish() { png_.Finish(); }
    const std::string& Path() const { return file_.Target(); }
    // The heavier a picture is to compress, the sooner it starts.
    int Weight() const {
        return picture_.pixels == PngPixels::kRgba ? 2 : picture_.pixels == PngPixels::kRgb ? 1 : 0;
    }

private:
    ExportPicture picture_;
    StagedFile& file_;
    PngStream png_;
    std::vector<std::uint8_t> rows_;
};

// A step of one picture's writing, its file named where it fails.
template <class Step>
void OfPicture(const PictureWriter& writer, const Step& step) {
    try {
        step();
    } catch (const EncodeError&) {
        throw PictureError(PictureError::Action::kExport, writer.Path(), {Problem::kNoMemory});
    } catch (const std::bad_alloc&) {
        throw PictureError(PictureError::Action::kExport, writer.Path(), {Problem::kNoMemory});
    }
}

}  // namespace

std::vector<std::string> ExportFileNames(const std::string& stem, int k) {
    std::vector<std::string> names;
    for (const ExportPicture& picture : ExportPictures(stem, k))
        names.push_back(picture.name);
    names.push_back(stem + kStatisticsSuffix);
    names.push_back(stem + kPaletteSuffix);
    return names;
}

std::vector<qint64> WriteExport(const std::string& folder, const std::string& stem,
                                const GroupedBands& bands, const std::vector<TColor>& colours,
                                const InkTable& inks, Progress& progress) {
    const int k = static_cast<int>(colours.size());
    const std::vector<std::string> names = ExportFileNames(stem, k);
    const std::vector<ExportPicture> pictures = ExportPictures(stem, k);
    const QDir dir(QString::fromStdString(folder));
    const auto from = [&names](size_t first) {
        return std::vector<std::string>(names.begin() + static_cast<std::ptrdiff_t>(first),
                                        names.end());
    };
    std::vector<QRgb> rgb;
    for (const TColor c : colours)
        rgb.push_back(qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
    std::vector<qint64> counts(static_cast<size_t>(k));
    std::vector<StagedFile> files;
    try {
        // Every file starts as a temporary of its own in the folder.
        files.reserve(names.size());
        for (const std::string& name : names)
            files.emplace_back(dir.filePath(QString::fromStdString(name)).toStdString(),
                               PictureError::Action::kExport);
        std::vector<std::unique_ptr<PictureWriter>> writers;
        for (size_t i = 0; i < pictures.size(); ++i)
            writers.push_back(std::make_unique<PictureWriter>(pictures[i], bands.Size(), files[i]));
        std::vector<PictureWriter*> heaviestFirst;
        for (const auto& writer : writers)
            heaviestFirst.push_back(writer.get());
        std::stable_sort(heaviestFirst.begin(), heaviestFirst.end(),
                         [](const PictureWriter* a, const PictureWriter* b) {
                             return a->Weight() > b->Weight();
                         });
        // Band after band, every picture's rows of it at once, on every core.
        bands.Each(progress, [&](const QImage& pixels, const std::uint8_t* groups, int) {
            const size_t n =
                static_cast<size_t>(pixels.width()) * static_cast<size_t>(pixels.height());
            for (size_t i = 0; i < n; ++i)
                if (groups[i] < k)
                    ++counts[groups[i]];
            std::vector<std::function<void()>> jobs;
            for (PictureWriter* writer : heaviestFirst)
                jobs.push_back(
                    [&, writer] { OfPicture(*writer, [&] { writer->Add(pixels, groups, rgb); }); });
            RunTogether(jobs);
        });
        for (const auto& writer : writers)
            OfPicture(*writer, [&] { writer->Finish(); });
        const std::vector<GroupStatistic> statistics = Statistics(colours, counts, inks);
        files[files.size() - 2].Write(GroupsCsv(statistics));
        files.back().Write(GroupsPalette(stem, statistics));
        for (StagedFile& file : files)
            file.Complete();
        // The last moment to stop: from here on the files take their places.
        progress.Check();
    } catch (const PictureError& e) {
        // Nothing has taken its place yet.
        throw e.WithNotWritten(from(0));
    }
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            files[i].Commit();
        } catch (const PictureError& e) {
            // Those before are new and whole; this one and those after are as they were.
            throw e.WithNotWritten(from(i));
        }
    }
    return counts;
}

}  // namespace colorsplit
