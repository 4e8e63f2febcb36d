// Repainting the picture's frame of the real window at every zoom, a 1280 x 960 photo-like
// picture scrolled to its middle, offscreen. The display scale is the environment's:
//   colorsplit_view_bench
//   QT_SCALE_FACTOR=2 colorsplit_view_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGroupBox>
#include <QMenuBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdlib>
#include <iterator>

#include "support/bmp_builder.h"
#include "support/photo.h"
#include "ui/picture_view.h"
#include "ui/tform1.h"
#include "ui/zoom.h"

namespace colorsplit {
namespace {

TForm1& Window() {
    static QTemporaryDir dir;
    static TForm1* form = [] {
        constexpr int kW = 1280, kH = 960;
        const std::vector<TColor> pixels = test::PhotoLike(kW, kH, 2026);
        test::RgbImage image{kW, kH, {}};
        for (const TColor c : pixels)
            image.rgb.push_back(
                static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)));
        const std::string path = dir.filePath(QStringLiteral("photo.bmp")).toStdString();
        test::WriteFile(path, test::EncodeBmp(image, 24));
        auto* window =
            new TForm1(std::make_unique<ScriptedDialog>(), std::make_unique<ScriptedDialog>());
        window->show();
        // The designed size, even on the offscreen screen's 400 x 400 at scale 2.
        window->resize(788, 528 + window->menuBar()->height());
        window->OpenFile(QString::fromStdString(path));
        // A grouping, for the preview.
        for (const auto& [x, y] : {std::pair{100, 100}, {900, 200}, {400, 700}, {1200, 900}})
            window->Image1MouseDown(x, y);
        window->Button2Click();
        QApplication::processEvents();
        return window;
    }();
    return *form;
}

// range(0): the zoom step, or one past the last for 符合視窗; range(1): 1 with a group previewed.
void BM_RepaintFrame(benchmark::State& state) {
    TForm1& form = Window();
    const auto step = static_cast<size_t>(state.range(0));
    if (step < std::size(kZoomSteps))
        form.Image1->SetZoom(kZoomSteps[step]);
    else
        form.FitClick();
    form.Hshift->setValue((form.Hshift->maximum() + 1) / 2);
    form.Vshift->setValue((form.Vshift->maximum() + 1) / 2);
    form.Image1->SetPreviewGroup(state.range(1) != 0 ? std::optional<int>(1) : std::nullopt);
    QApplication::processEvents();
    for (auto _ : state)
        form.GroupBox1->repaint();
    state.SetLabel(ZoomPercent(form.Image1->Zoom()).toStdString() +
                   (state.range(1) != 0 ? " preview" : ""));
    form.Image1->SetPreviewGroup(std::nullopt);
}
BENCHMARK(BM_RepaintFrame)
    ->ArgsProduct({benchmark::CreateDenseRange(0, static_cast<int>(std::size(kZoomSteps)), 1),
                   {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace colorsplit

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The zoom the window remembers goes to a folder of this run's own.
    const QTemporaryDir settings;
    setenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
