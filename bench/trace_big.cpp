// Traces a photo-like map of any size into its SVG files and tells the time and the memory the
// tracing took (the process's peak from the moment the map is made):
//   colorsplit_trace_big W H [SPECKS [TOLERANCE [NOISE]]]
// SPECKS: regions of fewer pixels cleaned up first, as the export's cleanup does.
// NOISE: each channel moved by up to that much at random before grouping, for a grainy photo.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/cleanup.h"
#include "core/trace.h"
#include "platform/svg_writer.h"
#include "support/photo.h"

namespace {

// The process's resident peak in MB since the last Reset (Linux).
double PeakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024;
    return 0;
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: colorsplit_trace_big WIDTH HEIGHT [SPECKS [TOLERANCE [NOISE]]]\n");
        return 2;
    }
    using namespace colorsplit;
    const int w = std::atoi(argv[1]), h = std::atoi(argv[2]);
    const int specks = argc > 3 ? std::atoi(argv[3]) : 0;
    const double tolerance = argc > 4 ? std::atof(argv[4]) : kDefaultSmoothing;
    const int noise = argc > 5 ? std::atoi(argv[5]) : 0;
    std::vector<TColor> colours;
    GroupMap map = test::PhotoGroups(w, h, 7, &colours, noise);
    if (specks > 0)
        CleanUp(map, specks, Connectivity::Four, {});
    ResetPeak();
    const double before = PeakMb();
    std::int64_t bytes = 0;
    const SvgOut count = [&](const char*, std::size_t n) { bytes += static_cast<std::int64_t>(n); };
    const auto start = std::chrono::steady_clock::now();
    const Tracing tracing(map, kMaxColors, tolerance);
    WriteShapes(tracing, colours, PageAt(w, h), count, std::vector<SvgOut>(kMaxColors, count));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "%d x %d, noise %d, specks under %d removed, tolerance %g: %.2f s, %.1f MB written, "
        "peak %.0f MB (the map and what was resident before: %.0f MB)\n",
        w, h, noise, specks, tolerance, seconds, bytes / 1e6, PeakMb(), before);
}
