#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include <sys/resource.h>

#include <hwy/targets.h>

#include "core/auto_seeds.h"
#include "core/cleanup.h"
#include "core/dither.h"
#include "core/quantizer.h"
#include "core/trace.h"
#include "core/trap.h"
#include "platform/film_marks.h"
#include "platform/films_pdf.h"
#include "platform/grouped_picture.h"
#include "platform/picture.h"
#include "platform/png_writer.h"
#include "platform/svg_writer.h"
#include "session/export.h"
#include "session/grouping.h"
#include "session/picture_stage.h"
#include "session/session.h"
#include "support/bmp_builder.h"
#include "support/gui_app.h"
#include "support/photo.h"
#include "support/profiles.h"
#include "support/quiet_view.h"
#include "support/reference_quantizer.h"

namespace colorsplit {
namespace {

constexpr int kW = kTableWidth;
constexpr int kH = kTableHeight;

// An observer that keeps nothing.
class Quiet : public QuantObserver {
public:
    void RunStarting() override {}
    void RunSampled() override {}
    void IterationStarting(int) override {}
    void GroupMoved(int, TColor) override {}
    void RunEnded(int) override {}
    void MaskPainted() override {}
};

// The picture as the commands hold it, a photo-like one of the table's size.
struct Bench {
    Bench() {
        const std::vector<TColor> pixels = test::PhotoLike(kW, kH, 2026);
        QImage image(kW, kH, QImage::Format_RGB32);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const TColor c = pixels[static_cast<size_t>(y) * kW + x];
                image.setPixel(x, y, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
            }
        picture.Open(image);
    }
    PictureStage picture;
    Quiet quiet;
};

Bench& Host() {
    static Bench bench;
    return bench;
}

// Four picks spread over the picture, as a user would click them.
void PickFour(Quantizer& q, const PictureAccess& picture) {
    const int points[4][2] = {{100, 100}, {900, 200}, {400, 700}, {1200, 900}};
    for (const auto& p : points)
        q.Pick(picture.GetPixel(p[0], p[1]));
}

void BM_Execute(benchmark::State& state) {
    Bench& host = Host();
    auto q = std::make_unique<Quantizer>();
    std::int64_t iterations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        q->NewRound();
        PickFour(*q, host.picture);
        state.ResumeTiming();
        q->Button2Click(host.picture, host.quiet);
        iterations += q->View().RunCount;
    }
    state.counters["iterations"] =
        benchmark::Counter(static_cast<double>(iterations) / state.iterations());
    state.counters["seconds_per_iteration"] = benchmark::Counter(
        static_cast<double>(iterations), benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
        benchmark::Counter::kIs1000);
    state.counters["pixels_per_second"] =
        benchmark::Counter(static_cast<double>(iterations) * kW * kH, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Execute)->Unit(benchmark::kMillisecond);

// One grouping and update iteration, K = 4, on the sampled picture, with the instruction set
// Highway chooses.
void BM_Iteration(benchmark::State& state) {
    Bench& host = Host();
    auto q = std::make_unique<Quantizer>();
    PickFour(*q, host.picture);
    q->SparateColor(host.picture);
    for (auto _ : state) {
        q->Iterate(host.picture, host.quiet);
        benchmark::DoNotOptimize(q->View().Distortion);
    }
    state.SetLabel(GroupPassTarget());
    state.counters["pixels_per_second"] = benchmark::Counter(
        static_cast<double>(kW) * kH, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Iteration)->Unit(benchmark::kMillisecond);

// The same with each instruction set this CPU runs, by its place in Highway's list; Highway's
// own switch for tests picks it, and the label names it.
void BM_IterationTarget(benchmark::State& state) {
    const std::vector<std::int64_t> targets = hwy::SupportedAndGeneratedTargets();
    if (static_cast<size_t>(state.range(0)) >= targets.size()) {
        state.SkipWithError("no such instruction set on this CPU");
        return;
    }
    hwy::SetSupportedTargetsForTest(targets[static_cast<size_t>(state.range(0))]);
    BM_Iteration(state);
    hwy::SetSupportedTargetsForTest(0);
}
BENCHMARK(BM_IterationTarget)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The passes written plainly, as the tests hold the fast path to them.
void BM_IterationReference(benchmark::State& state) {
    Bench& host = Host();
    QuantState s = test::ReferenceState();
    for (const auto& p : {std::pair{100, 100}, {900, 200}, {400, 700}, {1200, 900}}) {
        const TColor c = host.picture.GetPixel(p.first, p.second);
        s.CodeBook[s.ColorCount] = {RedOf(c), GreenOf(c), BlueOf(c), 0};
        s.SelColor[s.ColorCount++] = c;
    }
    test::ReferenceSample(s, host.picture);
    for (auto _ : state) {
        test::ReferenceGroup(s, host.picture);
        test::ReferenceCenproid(s, host.picture, host.quiet);
        benchmark::DoNotOptimize(s.Distortion);
    }
    state.counters["pixels_per_second"] = benchmark::Counter(
        static_cast<double>(kW) * kH, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_IterationReference)->Unit(benchmark::kMillisecond);

void BM_SparateColor(benchmark::State& state) {
    Bench& host = Host();
    auto q = std::make_unique<Quantizer>();
    for (auto _ : state) {
        q->SparateColor(host.picture);
        benchmark::DoNotOptimize(q->View().Pixels[kW - 1][kH - 1].B);
    }
}
BENCHMARK(BM_SparateColor)->Unit(benchmark::kMillisecond);

void BM_Mask(benchmark::State& state) {
    Bench& host = Host();
    auto q = std::make_unique<Quantizer>();
    PickFour(*q, host.picture);
    q->SparateColor(host.picture);
    q->Computer_Group(host.picture);
    for (auto _ : state) {
        state.PauseTiming();
        host.picture.RestorePicture();
        state.ResumeTiming();
        q->Mask(host.picture, host.quiet, 1);
    }
    host.picture.RestorePicture();
}
BENCHMARK(BM_Mask)->Unit(benchmark::kMillisecond);

// 自動選色 on the table's 1280 x 960, counting with 1 or 2 threads.
void BM_AutoSeeds(benchmark::State& state) {
    Bench& host = Host();
    const auto threads = static_cast<unsigned>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(AutoSeeds(host.picture, {}, kMaxColors, threads));
}
BENCHMARK(BM_AutoSeeds)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// How good the seeds are: the distortion execute reaches from them over the best of ten
// k-means++ draws (each run to its end by execute), on the bundled sample and on photo-like
// pictures of the table's size; 1.02 is the most allowed. Timed: the reference's ten runs.
void AutoSeedsQuality(benchmark::State& state, const PictureAccess& picture) {
    const float reached = test::ExecutedFrom(picture, AutoSeeds(picture, {}, kMaxColors, 2));
    float reference = 0;
    for (auto _ : state)
        reference = test::BestOfKMeansPlusPlus(picture, 10, 7);
    state.counters["over_best_of_ten"] = reached / reference;
}

void BM_AutoSeedsQualityPhoto(benchmark::State& state) {
    PictureStage photo;
    const std::vector<TColor> pixels =
        test::PhotoLike(kW, kH, static_cast<unsigned>(state.range(0)));
    QImage image(kW, kH, QImage::Format_RGB32);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const TColor c = pixels[static_cast<size_t>(y) * kW + x];
            image.setPixel(x, y, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
        }
    photo.Open(image);
    AutoSeedsQuality(state, photo);
}
BENCHMARK(BM_AutoSeedsQualityPhoto)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Arg(2026)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_AutoSeedsQualitySample(benchmark::State& state) {
    PictureStage sample;
    sample.Open(Picture::ReadFile(COLORSPLIT_SAMPLES_DIR "/landscape.bmp"));
    AutoSeedsQuality(state, sample);
}
BENCHMARK(BM_AutoSeedsQualitySample)->Iterations(1)->Unit(benchmark::kMillisecond);

// The picture as a 1280 x 960 24-bit BMP file, written once.
const QString& BmpFile() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("photo.bmp"));
        if (!Host().picture.Opened().save(file, "bmp"))
            std::abort();
        return file;
    }();
    return path;
}

// Opening it as the program does: read, check and decode with its own BMP reader.
void BM_OpenBmp(benchmark::State& state) {
    const std::string file = BmpFile().toStdString();
    for (auto _ : state) {
        const QImage image = Picture::ReadFile(file);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_OpenBmp)->Unit(benchmark::kMillisecond);

// The same file through Qt's reader, for comparison.
void BM_OpenBmpQt(benchmark::State& state) {
    const QString& file = BmpFile();
    for (auto _ : state) {
        QImageReader reader(file);
        const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
        if (image.isNull())
            state.SkipWithError("Qt could not read the file");
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_OpenBmpQt)->Unit(benchmark::kMillisecond);

// A temporary folder for what the benchmarks write.
const QTemporaryDir& OutputFolder() {
    static QTemporaryDir dir;
    return dir;
}

// Saving the shown picture as the save command does: a 24-bit BMP, written safely (synced).
void BM_Save(benchmark::State& state) {
    const std::string file = OutputFolder().filePath(QStringLiteral("saved.bmp")).toStdString();
    for (auto _ : state)
        Host().picture.Shown().SaveToFile(file);
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

// Every file of an export after a run with four picks: the quantised picture, four layers,
// four films and the statistics, each written safely.
void BM_Export(benchmark::State& state) {
    Bench& host = Host();
    auto q = std::make_unique<Quantizer>();
    PickFour(*q, host.picture);
    q->Button2Click(host.picture, host.quiet);
    std::vector<std::uint8_t> groups(static_cast<size_t>(kW) * kH);
    for (int x = 0; x < kW; ++x)
        for (int y = 0; y < kH; ++y)
            groups[static_cast<size_t>(y) * kW + x] =
                static_cast<std::uint8_t>(q->View().Pixels[x][y].Group);
    const GroupedBands bands(host.picture.Opened(), std::move(groups));
    ExportJob job;
    for (const PixelRec& v : q->View().CodeBook)
        job.colours.push_back(PackColor(v.R, v.G, v.B));
    job.shownColours = job.colours;
    job.folder = OutputFolder().path().toStdString();
    job.stem = "photo";
    const std::string& folder = job.folder;
    NoProgress quietly;
    for (auto _ : state)
        WriteExport(job, bands, quietly);
    // What the files come to, by kind.
    for (const std::string& name : ExportFileNames("photo", kMaxColors)) {
        const qint64 size = QFileInfo(QString::fromStdString(folder + "/" + name)).size();
        const char* kind = name.ends_with("-film.png")       ? "films_bytes"
                           : name.ends_with("quantised.png") ? "quantised_bytes"
                           : name.ends_with(".png")          ? "layers_bytes"
                                                             : "csv_bytes";
        state.counters[kind] += static_cast<double>(size);
    }
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

// A phone's photo, 4032 x 3024 as a JPEG, written once.
const QString& PhoneFile() {
    static const QString photo = [] {
        constexpr int kPhotoW = 4032, kPhotoH = 3024;
        const QString path = OutputFolder().filePath(QStringLiteral("photo.jpg"));
        const std::vector<TColor> pixels = test::PhotoLike(kPhotoW, kPhotoH, 7);
        QImage image(kPhotoW, kPhotoH, QImage::Format_RGB32);
        for (int y = 0; y < kPhotoH; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < kPhotoW; ++x) {
                const TColor c = pixels[static_cast<size_t>(y) * kPhotoW + x];
                row[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
            }
        }
        if (!image.save(path, "jpeg", 90))
            std::abort();
        return path;
    }();
    return photo;
}

// The photo with an Adobe RGB profile, decoded whole: as stored (0), converted to sRGB (1).
void BM_OpenPhotoWithProfile(benchmark::State& state) {
    static const std::string file = [] {
        QFile photo(PhoneFile());
        if (!photo.open(QIODevice::ReadOnly))
            std::abort();
        const QByteArray jpeg = photo.readAll();
        const std::string path = OutputFolder().filePath(QStringLiteral("adobe.jpg")).toStdString();
        test::WriteFile(path, test::WithJpegIcc({jpeg.begin(), jpeg.end()},
                                                test::Profile(test::Icc::kAdobeRgb)));
        return path;
    }();
    for (auto _ : state) {
        const QImage image =
            PictureFile(file, state.range(0) != 0).Decode(Session::kMostPixelsToReduce);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_OpenPhotoWithProfile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The photo opened as a reduced copy, four picks, execute.
struct PhoneSession {
    PhoneSession() : session(view, open, save, folder) {
        NoProgress quietly;
        RunToEnd(*session.OpenFile(PhoneFile().toStdString()).work, quietly);
        for (const auto& [x, y] : {std::pair{100, 100}, {900, 200}, {400, 700}, {1200, 900}})
            session.Image1MouseDown(x, y);
        session.Button2Click();
    }
    test::QuietView view;
    ScriptedDialog open, save, folder;
    Session session;
};

// The export then decodes the photo again, groups its 12 million pixels and writes every file
// at full size: plainly, and with each of the print shop's settings, in the same run so that
// each can be held against the plain one. Peak memory is the process's; run one alone to read
// it:
//   colorsplit_bench --benchmark_filter=BM_ExportFullSize
//   colorsplit_bench --benchmark_filter='BM_ExportFullSize/cleanup'
ExportSettings Settings(int which) {
    ExportSettings s;
    switch (which) {
        case 1:
            s.minRegion = 20;
            break;
        case 2:
            s.dither = true;
            break;
        case 3:
            s.pdf = true;
            break;
        case 4:
            s.minRegion = 20;
            s.svg = true;
            break;
        case 5:
            s.trap = 2;
            break;
    }
    return s;
}

void BM_ExportFullSize(benchmark::State& state) {
    test::NeedGui();
    PhoneSession phone;
    phone.session.SetExportSettings(Settings(static_cast<int>(state.range(0))));
    const std::string out = OutputFolder().filePath(QStringLiteral("full")).toStdString();
    NoProgress quietly;
    for (auto _ : state)
        RunToEnd(*phone.session.ExportGroups(out), quietly);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
// Named by what each adds: BM_ExportFullSize/plain, /cleanup, /dither, /pdf, /cleanup_svg, /trap.
[[maybe_unused]] const bool kExportsRegistered = [] {
    const char* const names[] = {"plain", "cleanup", "dither", "pdf", "cleanup_svg", "trap"};
    for (int which = 0; which < static_cast<int>(std::size(names)); ++which)
        benchmark::RegisterBenchmark((std::string("BM_ExportFullSize/") + names[which]).c_str(),
                                     BM_ExportFullSize)
            ->Arg(which)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

// The same photo's groups at full size, as the export groups them, cleaned up of regions of
// fewer than Arg pixels: traced and written as STEM-groups.svg and each STEM-groupN.svg, smoothed
// by default, against the export above. The files' sizes are counted beside the quantised PNG's.
void BM_ShapesFullSize(benchmark::State& state) {
    PhoneSession phone;
    const QuantState& s = phone.session.State();
    const GroupedBands bands(std::make_shared<PictureFile>(PhoneFile().toStdString()), s.CodeBook,
                             s.GroupCount, Session::kMostPixelsToReduce);
    const int w = bands.Size().width(), h = bands.Size().height();
    GroupMap map(w, h);
    NoProgress quietly;
    bands.Each(quietly, [&](const QImage& pixels, const std::uint8_t* groups, int top) {
        for (int r = 0; r < pixels.height(); ++r)
            map.SetRow(top + r, groups + static_cast<size_t>(r) * w);
    });
    if (state.range(0) > 0)
        CleanUp(map, state.range(0), Connectivity::Four, {});
    std::vector<TColor> colours;
    std::vector<QRgb> rgb;
    for (int g = 0; g < s.GroupCount; ++g) {
        colours.push_back(PackColor(s.CodeBook[g].R, s.CodeBook[g].G, s.CodeBook[g].B));
        rgb.push_back(qRgb(s.CodeBook[g].R, s.CodeBook[g].G, s.CodeBook[g].B));
    }
    const Tracing tracing(map, s.GroupCount, kDefaultSmoothing);
    const std::string folder = OutputFolder().path().toStdString();
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::vector<std::FILE*> files;
        const auto open = [&](const std::string& name) {
            files.push_back(std::fopen((folder + "/" + name).c_str(), "wb"));
            std::FILE* f = files.back();
            return SvgOut([f, &bytes](const char* data, std::size_t n) {
                std::fwrite(data, 1, n, f);
                bytes += static_cast<std::int64_t>(n);
            });
        };
        const SvgOut all = open("photo-groups.svg");
        std::vector<SvgOut> each;
        for (int g = 0; g < s.GroupCount; ++g)
            each.push_back(open("photo-group" + std::to_string(g + 1) + ".svg"));
        WriteShapes(tracing, colours, PageAt(w, h), all, each);
        for (std::FILE* f : files)
            std::fclose(f);
    }
    state.counters["svg_bytes"] =
        static_cast<double>(QFileInfo(QString::fromStdString(folder + "/photo-groups.svg")).size());
    std::vector<std::uint8_t> groups(static_cast<size_t>(w));
    state.counters["quantised_png_bytes"] =
        static_cast<double>(EncodePng(w, h, PngPixels::kRgb, [&](int y, std::uint8_t* row) {
                                map.GetRow(y, groups.data());
                                QuantisedRow(groups.data(), w, rgb, row);
                            }).size());
}
BENCHMARK(BM_ShapesFullSize)->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond);

// How soon 取消 stops long work: it runs on a thread of its own, a stop is asked for once it
// is a third of its way, and the time from then until its thread ends is what is measured.
class StopAThird : public Progress {
public:
    void Advance(qint64 done, qint64 total) override {
        if (3 * done >= total)
            reached = true;
    }
    bool StopRequested() const override { return stop; }
    std::atomic<bool> reached{false}, stop{false};
};

void StopLatency(benchmark::State& state,
                 const std::function<std::shared_ptr<const LongWork>()>& make) {
    for (auto _ : state) {
        const std::shared_ptr<const LongWork> work = make();
        StopAThird progress;
        std::thread worker([&] {
            try {
                work->RunOn(progress);
            } catch (const Cancelled&) {
            }
        });
        while (!progress.reached)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const auto asked = std::chrono::steady_clock::now();
        progress.stop = true;
        worker.join();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count());
    }
}

void BM_StopExportFullSize(benchmark::State& state) {
    PhoneSession phone;
    const std::string out = OutputFolder().filePath(QStringLiteral("stopped")).toStdString();
    StopLatency(state, [&] { return phone.session.ExportGroups(out); });
}
BENCHMARK(BM_StopExportFullSize)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_StopReducing(benchmark::State& state) {
    PhoneSession phone;
    StopLatency(state, [&] { return phone.session.OpenFile(PhoneFile().toStdString()).work; });
}
BENCHMARK(BM_StopReducing)->UseManualTime()->Unit(benchmark::kMillisecond);

constexpr int kPhoneW = 4032, kPhoneH = 3024;
const std::vector<TColor> kPhoneColours = {0x783C28, 0x3CB4C8, 0x46965A, 0xDCE6E6};

// A photo-like picture grouped by the nearest of those colours, made a row at a time: large
// smooth regions with ragged edges, and specks where the noise crosses a boundary.
GroupMap PhotoMap(int w, int h) {
    std::vector<std::uint8_t> groups(static_cast<size_t>(w));
    GroupMap map(w, h);
    int y = 0;
    test::PhotoRows(w, h, 7, [&](const TColor* row) {
        for (int x = 0; x < w; ++x) {
            int best = 1 << 30;
            for (int g = 0; g < kMaxColors; ++g) {
                const TColor c = row[x], m = kPhoneColours[static_cast<size_t>(g)];
                const int dr = RedOf(c) - RedOf(m), dg = GreenOf(c) - GreenOf(m),
                          db = BlueOf(c) - BlueOf(m);
                if (dr * dr + dg * dg + db * db < best) {
                    best = dr * dr + dg * dg + db * db;
                    groups[static_cast<size_t>(x)] = static_cast<std::uint8_t>(g);
                }
            }
        }
        map.SetRow(y++, groups.data());
    });
    return map;
}

const GroupMap& PhoneMap() {
    static const GroupMap map = PhotoMap(kPhoneW, kPhoneH);
    return map;
}

std::int64_t PixelsChanged(const GroupMap& a, const GroupMap& b) {
    std::int64_t changed = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            changed += a.At(x, y) != b.At(x, y);
    return changed;
}

// Removing the regions under N pixels (the first argument) from it at a connectivity (the
// second); copying the map is not timed.
void BM_Cleanup(benchmark::State& state) {
    const Connectivity c = state.range(1) == 8 ? Connectivity::Eight : Connectivity::Four;
    GroupMap map;
    for (auto _ : state) {
        state.PauseTiming();
        map = PhoneMap();
        state.ResumeTiming();
        CleanUp(map, state.range(0), c, {});
    }
    state.counters["pixels_changed"] = static_cast<double>(PixelsChanged(map, PhoneMap()));
}
BENCHMARK(BM_Cleanup)->Args({20, 4})->Args({20, 8})->Args({1000, 4})->Unit(benchmark::kMillisecond);

double PeakMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The same at 12000 x 8000 (96 MP, the map alone 24 MB), once, and how far the cleanup raises
// the process's peak memory above what it was with the map made. Run it alone to read that:
//   colorsplit_bench --benchmark_filter=BM_Cleanup96MP
void BM_Cleanup96MP(benchmark::State& state) {
    GroupMap map = PhotoMap(12000, 8000);
    const double before = PeakMB();
    for (auto _ : state)
        CleanUp(map, state.range(0), Connectivity::Four, {});
    state.counters["peak_MB"] = PeakMB();
    state.counters["extra_MB"] = PeakMB() - before;
}
BENCHMARK(BM_Cleanup96MP)
    ->Arg(20)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Dithering the phone photo among four colours, in the export's bands of rows.
void BM_Dither(benchmark::State& state) {
    static const std::vector<RowPixel> pixels = [] {
        std::vector<RowPixel> all;
        test::PhotoRows(kPhoneW, kPhoneH, 7, [&](const TColor* row) {
            for (int x = 0; x < kPhoneW; ++x)
                all.push_back(0xFF000000u | RedOf(row[x]) << 16 | GreenOf(row[x]) << 8 |
                              BlueOf(row[x]));
        });
        return all;
    }();
    const int band = (1 << 20) / kPhoneW;
    std::vector<std::uint8_t> groups(static_cast<size_t>(band) * kPhoneW);
    for (auto _ : state) {
        IndexDither dither(kPhoneW, kPhoneColours);
        for (int y = 0; y < kPhoneH; y += band)
            dither.Rows(pixels.data() + static_cast<size_t>(y) * kPhoneW, kPhoneW,
                        std::min(band, kPhoneH - y), groups.data());
        benchmark::DoNotOptimize(groups.data());
    }
}
BENCHMARK(BM_Dither)->Unit(benchmark::kMillisecond);

// Every row of the phone photo's four films, trapped by the argument's width in pixels.
void BM_Trap(benchmark::State& state) {
    std::vector<std::uint8_t> ink(kPhoneW);
    for (auto _ : state) {
        Trap trap(PhoneMap(), kPhoneColours, static_cast<int>(state.range(0)));
        for (int g = 0; g < kMaxColors; ++g)
            for (int y = 0; y < kPhoneH; ++y)
                trap.FilmRow(g, y, ink.data());
        benchmark::DoNotOptimize(ink.data());
    }
}
BENCHMARK(BM_Trap)->Arg(0)->Arg(2)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
// Films: a photo's groups at any size, a tile of a photo-like picture's four groups repeated,
// so that a 96-megapixel run holds no map of its own.
class TiledGroups {
public:
    TiledGroups() : groups_(static_cast<size_t>(kTileW) * kTileH) {
        const std::vector<TColor> pixels = test::PhotoLike(kTileW, kTileH, 11);
        const TColor seeds[] = {PackColor(75, 122, 211), PackColor(250, 206, 74),
                                PackColor(66, 136, 45), PackColor(175, 30, 30)};
        for (size_t i = 0; i < pixels.size(); ++i) {
            int best = 0, nearest = 1 << 30;
            for (int n = 0; n < 4; ++n) {
                const int dr = RedOf(pixels[i]) - RedOf(seeds[n]);
                const int dg = GreenOf(pixels[i]) - GreenOf(seeds[n]);
                const int db = BlueOf(pixels[i]) - BlueOf(seeds[n]);
                if (const int d = dr * dr + dg * dg + db * db; d < nearest) {
                    nearest = d;
                    best = n;
                }
            }
            groups_[i] = static_cast<std::uint8_t>(best);
        }
    }
    // Row y's groups across width.
    void Row(int y, int width, std::uint8_t* out) const {
        const std::uint8_t* tile = groups_.data() + static_cast<size_t>(y % kTileH) * kTileW;
        for (int x = 0; x < width; x += kTileW)
            std::memcpy(out + x, tile, static_cast<size_t>(std::min(kTileW, width - x)));
    }

private:
    static constexpr int kTileW = 1008, kTileH = 756;
    std::vector<std::uint8_t> groups_;
};

const TiledGroups& Tiles() {
    static const TiledGroups tiles;
    return tiles;
}

// The PDF of films, k = 4, at 300 dpi, written to nothing: the proof reduced from the groups
// as the export would, then each film from its rows. Arguments: width, height. Peak memory is
// the process's; run one size alone to read it:
//   colorsplit_bench --benchmark_filter=BM_FilmsPdf/12000
void BM_FilmsPdf(benchmark::State& state) {
    test::NeedGui();
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const FilmSheet sheet({w, h}, 300);
    const std::vector<QRgb> colours = {qRgb(75, 122, 211), qRgb(250, 206, 74), qRgb(66, 136, 45),
                                       qRgb(175, 30, 30)};
    std::vector<std::uint8_t> groups(static_cast<size_t>(w));
    std::vector<FilmPage> pages;
    for (int n = 0; n < 4; ++n)
        pages.push_back(
            {QStringLiteral("photo 群組%1").arg(n + 1), [&, n](int y, std::uint8_t* row) {
                 Tiles().Row(y, w, groups.data());
                 FilmRow(groups.data(), w, n, row);
             }});
    const ProofPicture proof = [&](QImage& picture) {
        std::vector<std::uint8_t> full(static_cast<size_t>(w));
        for (int y = 0; y < picture.height(); ++y) {
            Tiles().Row(static_cast<int>(static_cast<qint64>(y) * h / picture.height()), w,
                        full.data());
            auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                out[x] = colours[full[static_cast<size_t>(static_cast<qint64>(x) * w /
                                                          picture.width())]];
        }
    };
    double bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        SinkDevice nothing(
            [&bytes](const char*, std::size_t n) { bytes += static_cast<double>(n); });
        WriteFilmsPdf(nothing, sheet, proof, pages, [] { return true; });
    }
    state.counters["pdf_MB"] = bytes / 1e6;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_FilmsPdf)->Args({4032, 3024})->Args({12000, 8000})->Unit(benchmark::kMillisecond);

// The rows of four marked PNG films, 12 MP at 300 dpi, as the export hands them to PngStream:
// the margins rasterised once a film, then every picture row put between its side margins.
void BM_MarkedFilmRows(benchmark::State& state) {
    test::NeedGui();
    constexpr int w = 4032, h = 3024;
    const FilmSheet sheet({w, h}, 300);
    std::vector<std::uint8_t> groups(w), film((w + 7) / 8);
    std::uint64_t check = 0;
    for (auto _ : state) {
        for (int n = 0; n < 4; ++n) {
            const MarkedFilmRows marked(sheet, QStringLiteral("photo 群組%1").arg(n + 1));
            std::vector<std::uint8_t> row(marked.RowBytes());
            for (int y = 0; y < h; ++y) {
                Tiles().Row(y, w, groups.data());
                FilmRow(groups.data(), w, n, film.data());
                marked.Row(y, film.data(), row.data());
                check += row[row.size() / 2];
            }
        }
    }
    benchmark::DoNotOptimize(check);
}
BENCHMARK(BM_MarkedFilmRows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace colorsplit

BENCHMARK_MAIN();
