#include "core/quantizer.h"

#include <algorithm>
#include <cmath>

namespace colorsplit {

namespace {

constexpr double kStopThreshold = 0.001;

}  // namespace

Quantizer::Quantizer() : Pixels(std::make_unique<Column[]>(kTableWidth)) {}

int Quantizer::ClampedWidth(const QuantHost& host) {
    return std::clamp(host.PictureWidth(), 0, kTableWidth);
}

int Quantizer::ClampedHeight(const QuantHost& host) {
    return std::clamp(host.PictureHeight(), 0, kTableHeight);
}

void Quantizer::SparateColor(QuantHost& host) {
    const int w = ClampedWidth(host);
    const int h = ClampedHeight(host);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            const TColor c = host.GetPixel(x, y);
            PixelRec& p = Pixels[x][y];
            p.R = RedOf(c);
            p.G = GreenOf(c);
            p.B = BlueOf(c);
        }
    }
}

TColor Quantizer::Computer_Mean(const QuantHost& host) const {
    const int w = ClampedWidth(host);
    const int h = ClampedHeight(host);
    // 1280 x 960 x 255 fits in 32 bits.
    std::int32_t r = 0, g = 0, b = 0;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            r += Pixels[x][y].R;
            g += Pixels[x][y].G;
            b += Pixels[x][y].B;
        }
    }
    const std::int32_t n = w * h;
    if (n == 0)
        return 0;
    return PackColor(r / n, g / n, b / n);
}

void Quantizer::Computer_Group(const QuantHost& host) {
    const int w = ClampedWidth(host);
    const int h = ClampedHeight(host);
    const int k = std::clamp(ColorCount, 0, kMaxColors);
    Distortion = 0.0f;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            PixelRec& p = Pixels[x][y];
            // With no colour picked every pixel stays in group 0 and adds nothing.
            if (k == 0) {
                p.Group = 0;
                continue;
            }
            float dist[kMaxColors];
            for (int i = 0; i < k; ++i)
                dist[i] = static_cast<float>(GroupDistance(p, CodeBook[i]));
            // Strictly smaller wins, so equal distances keep the lower index.
            int best = 0;
            for (int i = 1; i < k; ++i) {
                if (dist[best] > dist[i])
                    best = i;
            }
            p.Group = best;
            // One float add per pixel in this order: the result depends on it to the last bit.
            Distortion += dist[best];
        }
    }
}

void Quantizer::Computer_Cenproid(QuantHost& host) {
    const int w = ClampedWidth(host);
    const int h = ClampedHeight(host);
    const int k = std::clamp(ColorCount, 0, kMaxColors);
    for (int g = 0; g < k; ++g) {
        std::int32_t r = 0, gr = 0, b = 0, n = 0;
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                const PixelRec& p = Pixels[x][y];
                if (p.Group == g) {
                    r += p.R;
                    gr += p.G;
                    b += p.B;
                    ++n;
                }
            }
        }
        // An empty group keeps its code vector and colour, and is neither shown nor logged.
        if (n == 0)
            continue;
        CodeBook[g].R = r / n;
        CodeBook[g].G = gr / n;
        CodeBook[g].B = b / n;
        SelColor[g] = PackColor(CodeBook[g].R, CodeBook[g].G, CodeBook[g].B);
        host.ShowSwatch(g, SelColor[g]);
        host.LogLine("代表顏色" + std::to_string(g + 1) + "值為" + std::to_string(SelColor[g]));
    }
}

bool Quantizer::RunOver() {
    // Compared in double; a change of exactly 0.001 or less ends the run.
    const bool more = std::fabs(static_cast<double>(Distortion) -
                                static_cast<double>(LastDistortion)) > kStopThreshold;
    LastDistortion = Distortion;
    return more;
}

void Quantizer::Button2Click(QuantHost& host) {
    host.LogLine("初始化運算開始");
    SparateColor(host);
    host.LogLine("初始化完成,VQ運算開始");
    RunCount = 0;
    // The pair is not reset here: a second execute finds it equal and makes no iteration.
    while (RunOver()) {
        host.LogLine("***********運算執行第" + std::to_string(RunCount + 1) + "回********");
        Computer_Group(host);
        Computer_Cenproid(host);
        ++RunCount;
    }
    host.LogLine("運算完成,請執行Mask,共計執行" + std::to_string(RunCount) + "回");
}

void Quantizer::Mask(QuantHost& host, int keep) {
    // Undo an earlier mask by reloading the picture before painting the new one.
    if (MaskDone && !OpenFileName.empty())
        host.LoadFromFile(OpenFileName);
    const int w = ClampedWidth(host);
    const int h = ClampedHeight(host);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            if (Pixels[x][y].Group != keep)
                host.SetPixel(x, y, 0);
        }
    }
    host.Refresh();
    MaskDone = true;
    host.LogLine("處理完成");
}

}  // namespace colorsplit
