#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include <sys/resource.h>

#include <hwy/targets.h>

#include "core/quantizer.h"
#include "core/trace.h"
#include "platform/grouped_picture.h"
#include "platform/picture.h"
#include "platform/png_writer.h"
#include "platform/svg_writer.h"
#include "session/export.h"
#include "session/grouping.h"
#include "session/picture_stage.h"
#include "session/session.h"
#include "specks.h"
#include "support/photo.h"
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
    std::vector<TColor> colours;
    for (const PixelRec& v : q->View().CodeBook)
        colours.push_back(PackColor(v.R, v.G, v.B));
    const std::string folder = OutputFolder().path().toStdString();
    NoProgress quietly;
    for (auto _ : state)
        WriteExport(folder, "photo", bands, colours, quietly);
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
// at full size. Peak memory is the process's; run this benchmark alone to read it:
//   colorsplit_bench --benchmark_filter=BM_ExportFullSize
void BM_ExportFullSize(benchmark::State& state) {
    PhoneSession phone;
    const std::string out = OutputFolder().filePath(QStringLiteral("full")).toStdString();
    NoProgress quietly;
    for (auto _ : state)
        RunToEnd(*phone.session.ExportGroups(out), quietly);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_ExportFullSize)->Unit(benchmark::kMillisecond);

// The same photo's groups at full size, as the export groups them, with regions of fewer than
// Arg pixels given to their neighbours' group (a plain stand-in for the cleanup, specks.h):
// traced and written as STEM-groups.svg and each STEM-groupN.svg, smoothed by default, against
// the export above. The files' sizes are counted beside the quantised PNG's.
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
        test::RemoveSpecks(map, static_cast<int>(state.range(0)));
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

}  // namespace
}  // namespace colorsplit

BENCHMARK_MAIN();
