#include "session/export.h"

#include <QDir>
#include <QString>
#include <algorithm>
#include <new>
#include <optional>

#include "core/cleanup.h"
#include "core/dither.h"
#include "core/group_pass.h"
#include "core/trace.h"
#include "core/trap.h"
#include "platform/film_marks.h"
#include "platform/films_pdf.h"
#include "platform/grouped_picture.h"
#include "platform/picture.h"
#include "platform/picture_error.h"
#include "platform/png_writer.h"
#include "platform/safe_file.h"
#include "platform/svg_writer.h"
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

void GroupedBands::Each(Progress& progress, const Take& take, bool grouped) const {
    const QSize size = Size();
    const auto w = static_cast<size_t>(size.width());
    std::vector<std::uint8_t> grouping;
    const BandSink band = [&](const QImage& pixels, int top) {
        progress.Check();
        const std::uint8_t* groups = nullptr;
        if (file_ && grouped) {
            grouping.resize(w * static_cast<size_t>(pixels.height()));
            for (int y = 0; y < pixels.height(); ++y)
                GroupRow(reinterpret_cast<const RowPixel*>(pixels.constScanLine(y)), size.width(),
                         codeBook_, k_, grouping.data() + w * static_cast<size_t>(y));
            groups = grouping.data();
        } else if (!file_) {
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

void ProgressShare::Advance(qint64 done, qint64 total) {
    if (total <= 0)
        return;
    constexpr qint64 kSteps = 10000;
    const double at =
        from_ + (to_ - from_) * static_cast<double>(done) / static_cast<double>(total);
    whole_.Advance(static_cast<qint64>(at * kSteps), kSteps);
}

namespace {

// The core's operations report how far they are and ask whether to go on through this.
std::function<bool(std::int64_t, std::int64_t)> Going(Progress& progress) {
    return [&progress](std::int64_t done, std::int64_t total) {
        progress.Advance(done, total);
        return !progress.StopRequested();
    };
}

void Count(const std::uint8_t* groups, size_t n, std::vector<qint64>& counts) {
    const auto k = counts.size();
    for (size_t i = 0; i < n; ++i)
        if (groups[i] < k)
            ++counts[groups[i]];
}

// The dithered groups of successive bands, top to bottom.
class BandDither {
public:
    BandDither(int width, const std::vector<TColor>& colours) : dither_(width, colours) {}
    const std::uint8_t* Groups(const QImage& pixels) {
        groups_.resize(static_cast<size_t>(pixels.width()) * static_cast<size_t>(pixels.height()));
        dither_.Rows(reinterpret_cast<const RowPixel*>(pixels.constBits()),
                     pixels.bytesPerLine() / 4, pixels.height(), groups_.data());
        return groups_.data();
    }

private:
    IndexDither dither_;
    std::vector<std::uint8_t> groups_;
};

}  // namespace

GroupMap GroupsOf(const GroupedBands& bands, const std::vector<TColor>& colours,
                  const ExportSettings& settings, qint64 minRegion, Progress& progress) {
    const QSize size = bands.Size();
    GroupMap map(size.width(), size.height());
    const double grouped = minRegion > 0 ? 0.6 : 1.0;
    ProgressShare grouping(progress, 0, grouped);
    std::optional<BandDither> dither;
    if (settings.dither)
        dither.emplace(size.width(), colours);
    const auto w = static_cast<size_t>(size.width());
    bands.Each(
        grouping,
        [&](const QImage& pixels, const std::uint8_t* groups, int top) {
            if (dither)
                groups = dither->Groups(pixels);
            for (int y = 0; y < pixels.height(); ++y)
                map.SetRow(top + y, groups + w * static_cast<size_t>(y));
        },
        !dither);
    if (minRegion > 0) {
        ProgressShare cleaning(progress, grouped, 1);
        if (!CleanUp(map, minRegion, static_cast<Connectivity>(settings.connectivity),
                     Going(cleaning)))
            throw Cancelled{};
    }
    return map;
}

std::vector<qint64> CountBands(const GroupedBands& bands, const std::vector<TColor>& colours,
                               const ExportSettings& settings, Progress& progress) {
    std::vector<qint64> counts(colours.size());
    if (settings.minRegion > 0) {
        const GroupMap map = GroupsOf(bands, colours, settings, settings.minRegion, progress);
        std::vector<std::uint8_t> row(static_cast<size_t>(map.Width()));
        for (int y = 0; y < map.Height(); ++y) {
            map.GetRow(y, row.data());
            Count(row.data(), row.size(), counts);
        }
        return counts;
    }
    std::optional<BandDither> dither;
    if (settings.dither)
        dither.emplace(bands.Size().width(), colours);
    bands.Each(
        progress,
        [&](const QImage& pixels, const std::uint8_t* groups, int) {
            if (dither)
                groups = dither->Groups(pixels);
            Count(groups,
                  static_cast<size_t>(pixels.width()) * static_cast<size_t>(pixels.height()),
                  counts);
        },
        !dither);
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
constexpr char kFilmsSuffix[] = "-films.pdf";
constexpr char kVectorsSuffix[] = "-groups.svg";

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

// Group n's film row y, in FilmRow's layout, from that row's groups.
using FilmMaker = std::function<void(int y, const std::uint8_t* groups, std::uint8_t* out)>;

// A picture of the export being written: the rows of a band made in its layout, filtered and
// compressed into its file as they come.
class PictureWriter {
public:
    // A film is made by film; with marked, on its sheet, the marks and label around it.
    PictureWriter(const ExportPicture& picture, QSize size, double dpi, StagedFile& file,
                  FilmMaker film, std::unique_ptr<MarkedFilmRows> marked)
        : picture_(picture),
          file_(file),
          film_(std::move(film)),
          marked_(std::move(marked)),
          png_(
              marked_ ? marked_->Width() : size.width(),
              marked_ ? marked_->Height() : size.height(), picture.pixels,
              [&file](const char* data, std::size_t n) { file.Write(data, n); }, dpi),
          filmRow_(marked_ ? PngRowBytes(size.width(), PngPixels::kBlackAndWhite) : 0) {
        if (marked_)
            png_.Add(marked_->Top(), marked_->Margin());
    }

    // flat: layers in their group's colour of colours, not the pixels' own.
    void Add(const QImage& band, const std::uint8_t* groups, int top,
             const std::vector<QRgb>& colours, bool flat) {
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
                    if (flat) {
                        flat_.assign(static_cast<std::size_t>(w), colours[picture_.group]);
                        LayerRow(flat_.data(), g, w, picture_.group, out);
                    } else {
                        LayerRow(reinterpret_cast<const QRgb*>(band.constScanLine(y)), g, w,
                                 picture_.group, out);
                    }
                    break;
                case PngPixels::kBlackAndWhite:
                    if (marked_) {
                        film_(top + y, g, filmRow_.data());
                        marked_->Row(top + y, filmRow_.data(), out);
                    } else {
                        film_(top + y, g, out);
                    }
                    break;
            }
        }
        png_.Add(rows_.data(), band.height());
    }
    void Finish() {
        if (marked_)
            png_.Add(marked_->Bottom(), marked_->Margin());
        png_.Finish();
    }
    const std::string& Path() const { return file_.Target(); }
    // The heavier a picture is to compress, the sooner it starts.
    int Weight() const {
        return picture_.pixels == PngPixels::kRgba ? 2 : picture_.pixels == PngPixels::kRgb ? 1 : 0;
    }

private:
    ExportPicture picture_;
    StagedFile& file_;
    FilmMaker film_;
    std::unique_ptr<MarkedFilmRows> marked_;
    PngStream png_;
    std::vector<std::uint8_t> rows_;
    std::vector<QRgb> flat_;
    // A marked film's picture row, before its margins go round it.
    std::vector<std::uint8_t> filmRow_;
};

// A step of one file's writing, its file named where it fails.
template <class Step>
void OfFile(const std::string& path, const Step& step) {
    try {
        step();
    } catch (const EncodeError&) {
        throw PictureError(PictureError::Action::kExport, path, {Problem::kNoMemory});
    } catch (const std::bad_alloc&) {
        throw PictureError(PictureError::Action::kExport, path, {Problem::kNoMemory});
    }
}

// Each group's film rows, trapped when the settings say so: a maker a film, as the films are
// written at once on several threads.
FilmMaker MakeFilmRows(int n, int width, const GroupMap* map, const std::vector<TColor>& colours,
                       int trap) {
    if (map == nullptr || trap == 0)
        return [n, width](int, const std::uint8_t* groups, std::uint8_t* out) {
            FilmRow(groups, width, n, out);
        };
    auto film = std::make_shared<Trap>(*map, colours, trap);
    auto ink = std::make_shared<std::vector<std::uint8_t>>(static_cast<size_t>(width));
    return [film, ink, width, n](int y, const std::uint8_t*, std::uint8_t* out) {
        film->FilmRow(n, y, ink->data());
        FilmRowOfInk(ink->data(), width, out);
    };
}

// The proof: the quantised picture at the proof's size, each of its pixels in the group of the
// picture's pixel under its centre.
void PaintProof(const GroupMap& map, const std::vector<QRgb>& colours, QImage& proof) {
    const qint64 w = map.Width(), h = map.Height();
    const qint64 pw = proof.width(), ph = proof.height();
    std::vector<std::uint8_t> row(static_cast<size_t>(w));
    for (qint64 py = 0; py < ph; ++py) {
        map.GetRow(static_cast<int>((2 * py + 1) * h / (2 * ph)), row.data());
        auto* out = reinterpret_cast<QRgb*>(proof.scanLine(static_cast<int>(py)));
        for (qint64 px = 0; px < pw; ++px)
            out[px] = colours[row[static_cast<size_t>((2 * px + 1) * w / (2 * pw))]] | 0xFF000000u;
    }
}

// STEM-films.pdf: the proof, then each group's film, trapped as the PNG films are.
void WriteFilms(StagedFile& file, const GroupMap& map, const ExportJob& job, double dpi,
                const std::vector<QRgb>& colours, int trap, Progress& progress) {
    const int w = map.Width();
    std::vector<std::uint8_t> groups(static_cast<size_t>(w));
    std::vector<FilmPage> pages;
    for (int n = 0; n < static_cast<int>(job.colours.size()); ++n) {
        FilmMaker film = MakeFilmRows(n, w, &map, job.colours, trap);
        pages.push_back({n < static_cast<int>(job.labels.size()) ? job.labels[n] : QString(),
                         [&map, &groups, film](int y, std::uint8_t* row) {
                             map.GetRow(y, groups.data());
                             film(y, groups.data(), row);
                         }});
    }
    SinkDevice device([&file](const char* data, std::size_t n) { file.Write(data, n); });
    OfFile(file.Target(), [&] {
        if (!WriteFilmsPdf(
                device, FilmSheet(QSize(w, map.Height()), dpi),
                [&](QImage& proof) { PaintProof(map, colours, proof); }, pages,
                [&progress] { return !progress.StopRequested(); }))
            throw Cancelled{};
    });
    progress.Advance(1, 1);
}

// STEM-groups.svg and STEM-groupN.svg, from one tracing of the map.
void WriteVectors(StagedFile* files, const GroupMap& map, const std::vector<TColor>& colours,
                  double tolerance, double dpi, Progress& progress) {
    const Tracing tracing(map, static_cast<int>(colours.size()), tolerance);
    const auto into = [](StagedFile& file) {
        return [&file](const char* data, std::size_t n) { file.Write(data, n); };
    };
    std::vector<SvgOut> each;
    for (size_t n = 0; n < colours.size(); ++n)
        each.push_back(into(files[1 + n]));
    OfFile(files[0].Target(), [&] {
        if (!WriteShapes(tracing, colours, PageAt(map.Width(), map.Height(), dpi), into(files[0]),
                         each, Going(progress)))
            throw Cancelled{};
    });
}

}  // namespace

std::vector<std::string> ExportFileNames(const std::string& stem, int k,
                                         const ExportSettings& settings) {
    std::vector<std::string> names;
    for (const ExportPicture& picture : ExportPictures(stem, k))
        names.push_back(picture.name);
    names.push_back(stem + kStatisticsSuffix);
    names.push_back(stem + kPaletteSuffix);
    if (settings.pdf)
        names.push_back(stem + kFilmsSuffix);
    if (settings.svg) {
        names.push_back(stem + kVectorsSuffix);
        for (int n = 0; n < k; ++n)
            names.push_back(stem + "-group" + std::to_string(n + 1) + ".svg");
    }
    return names;
}

std::vector<qint64> WriteExport(const ExportJob& job, const GroupedBands& bands,
                                Progress& progress) {
    const ExportSettings& settings = job.settings;
    const int k = static_cast<int>(job.colours.size());
    const QSize size = bands.Size();
    const double dpi = settings.Resolution(size.width());
    const std::vector<std::string> names = ExportFileNames(job.stem, k, settings);
    const std::vector<ExportPicture> pictures = ExportPictures(job.stem, k);
    const QDir dir(QString::fromStdString(job.folder));
    const auto from = [&names](size_t first) {
        return std::vector<std::string>(names.begin() + static_cast<std::ptrdiff_t>(first),
                                        names.end());
    };
    std::vector<QRgb> rgb;
    for (const TColor c : job.shownColours)
        rgb.push_back(qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
    std::vector<qint64> counts(static_cast<size_t>(k));
    std::vector<StagedFile> files;
    try {
        // Every file starts as a temporary of its own in the folder.
        files.reserve(names.size());
        for (const std::string& name : names)
            files.emplace_back(dir.filePath(QString::fromStdString(name)).toStdString(),
                               PictureError::Action::kExport);
        // With a map, every pixel's group is settled first and the files are written from it.
        std::optional<GroupMap> map;
        const double grouped = settings.NeedsMap() ? 0.4 : 0;
        const double pictured = settings.pdf || settings.svg ? 0.8 : 1;
        if (settings.NeedsMap()) {
            ProgressShare grouping(progress, 0, grouped);
            map = GroupsOf(bands, job.shownColours, settings, settings.minRegion, grouping);
        }
        const int trap = settings.TrapPixels(size.width());
        std::vector<std::unique_ptr<PictureWriter>> writers;
        for (size_t i = 0; i < pictures.size(); ++i) {
            const ExportPicture& picture = pictures[i];
            std::unique_ptr<MarkedFilmRows> marked;
            if (settings.marks && picture.pixels == PngPixels::kBlackAndWhite)
                marked = std::make_unique<MarkedFilmRows>(
                    FilmSheet(size, dpi), picture.group < static_cast<int>(job.labels.size())
                                              ? job.labels[picture.group]
                                              : QString());
            writers.push_back(std::make_unique<PictureWriter>(
                picture, size, dpi, files[i],
                MakeFilmRows(picture.group, size.width(), map ? &*map : nullptr, job.colours, trap),
                std::move(marked)));
        }
        std::vector<PictureWriter*> heaviestFirst;
        for (const auto& writer : writers)
            heaviestFirst.push_back(writer.get());
        std::stable_sort(heaviestFirst.begin(), heaviestFirst.end(),
                         [](const PictureWriter* a, const PictureWriter* b) {
                             return a->Weight() > b->Weight();
                         });
        std::optional<BandDither> dither;
        if (settings.dither && !map)
            dither.emplace(size.width(), job.shownColours);
        std::vector<std::uint8_t> mapped;
        const auto w = static_cast<size_t>(size.width());
        // A band's rows into every picture at once, on every core, beside one more job.
        const auto write = [&](const QImage& pixels, const std::uint8_t* groups, int top,
                               const std::function<void()>& alongside) {
            Count(groups, w * static_cast<size_t>(pixels.height()), counts);
            std::vector<std::function<void()>> jobs;
            if (alongside)
                jobs.push_back(alongside);
            for (PictureWriter* writer : heaviestFirst)
                jobs.push_back([&, writer] {
                    OfFile(writer->Path(),
                           [&] { writer->Add(pixels, groups, top, rgb, settings.inkColours); });
                });
            RunTogether(jobs);
        };
        // Dithering goes from pixel to pixel on one core: each band is dithered while the one
        // before it is written, from a copy of its pixels.
        struct Held {
            QImage pixels;
            std::vector<std::uint8_t> groups;
            int top = -1;
        } held;
        ProgressShare writing(progress, grouped, pictured);
        bands.Each(
            writing,
            [&](const QImage& pixels, const std::uint8_t* groups, int top) {
                if (map) {
                    mapped.resize(w * static_cast<size_t>(pixels.height()));
                    for (int y = 0; y < pixels.height(); ++y)
                        map->GetRow(top + y, mapped.data() + w * static_cast<size_t>(y));
                    write(pixels, mapped.data(), top, {});
                } else if (dither) {
                    const std::uint8_t* dithered = nullptr;
                    const auto next = [&] { dithered = dither->Groups(pixels); };
                    if (held.top >= 0)
                        write(held.pixels, held.groups.data(), held.top, next);
                    else
                        next();
                    held.pixels = pixels.copy();
                    held.groups.assign(dithered,
                                       dithered + w * static_cast<size_t>(pixels.height()));
                    held.top = top;
                } else {
                    write(pixels, groups, top, {});
                }
            },
            !map && !dither);
        if (held.top >= 0)
            write(held.pixels, held.groups.data(), held.top, {});
        for (const auto& writer : writers)
            OfFile(writer->Path(), [&] { writer->Finish(); });
        const std::vector<GroupStatistic> statistics =
            Statistics(job.colours, counts, job.inks, settings.AreaCm2(1, size.width()));
        size_t next = pictures.size();
        files[next++].Write(GroupsCsv(statistics));
        files[next++].Write(GroupsPalette(job.stem, statistics));
        // The films as a PDF and the groups as shapes, from the map, at once.
        std::vector<std::function<void()>> jobs;
        const double filmed = settings.pdf && settings.svg ? (pictured + 1) / 2 : pictured;
        ProgressShare pdf(progress, pictured, filmed), svg(progress, filmed, 1);
        if (settings.pdf) {
            StagedFile& file = files[next++];
            jobs.push_back([&] { WriteFilms(file, *map, job, dpi, rgb, trap, pdf); });
        }
        if (settings.svg) {
            StagedFile* shapes = &files[next];
            next += 1 + static_cast<size_t>(k);
            jobs.push_back([&, shapes] {
                WriteVectors(shapes, *map, job.shownColours, settings.smooth, dpi, svg);
            });
        }
        RunTogether(jobs);
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
