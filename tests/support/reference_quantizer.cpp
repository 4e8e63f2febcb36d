#include "support/reference_quantizer.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <random>

namespace colorsplit::test {

QuantState ReferenceState() {
    QuantState s;
    s.Pixels = std::make_unique<Column[]>(kTableWidth);
    return s;
}

void ReferenceSample(QuantState& s, const PictureAccess& picture) {
    for (int x = 0; x < Quantizer::ClampedWidth(picture); ++x) {
        for (int y = 0; y < Quantizer::ClampedHeight(picture); ++y) {
            const TColor c = picture.GetPixel(x, y);
            s.Pixels[x][y].R = RedOf(c);
            s.Pixels[x][y].G = GreenOf(c);
            s.Pixels[x][y].B = BlueOf(c);
        }
    }
}

bool ReferenceRunOver(QuantState& s) {
    const bool more = DistortionMoved(s.Distortion, s.LastDistortion);
    s.LastDistortion = s.Distortion;
    return more;
}

void ReferenceGroup(QuantState& q, const PictureAccess& host) {
    const int w = Quantizer::ClampedWidth(host);
    const int h = Quantizer::ClampedHeight(host);
    const int k = std::clamp(q.ColorCount, 0, kMaxColors);
    q.Distortion = 0.0f;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            PixelRec& p = q.Pixels[x][y];
            if (k == 0) {
                p.Group = 0;
                continue;
            }
            float dist[kMaxColors];
            for (int i = 0; i < k; ++i) {
                const std::int32_t dR = q.CodeBook[i].R - p.R;
                const std::int32_t dG = q.CodeBook[i].G - p.G;
                const std::int32_t dB = q.CodeBook[i].B - p.B;
                dist[i] = static_cast<float>((dR * dR + dG * dG + dB * dB) / 3);
            }
            int best = 0;
            for (int i = 1; i < k; ++i)
                if (dist[best] > dist[i])
                    best = i;
            p.Group = best;
            q.Distortion = q.Distortion + dist[best];
        }
    }
}

void ReferenceCenproid(QuantState& q, const PictureAccess& host, QuantObserver& observer) {
    const int w = Quantizer::ClampedWidth(host);
    const int h = Quantizer::ClampedHeight(host);
    const int k = std::clamp(q.ColorCount, 0, kMaxColors);
    for (int g = 0; g < k; ++g) {
        std::int32_t r = 0, gr = 0, b = 0, n = 0;
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                const PixelRec& p = q.Pixels[x][y];
                if (p.Group == g) {
                    r += p.R;
                    gr += p.G;
                    b += p.B;
                    ++n;
                }
            }
        }
        if (n == 0)
            continue;
        q.CodeBook[g].R = r / n;
        q.CodeBook[g].G = gr / n;
        q.CodeBook[g].B = b / n;
        q.SelColor[g] = PackColor(q.CodeBook[g].R, q.CodeBook[g].G, q.CodeBook[g].B);
        observer.GroupMoved(g, q.SelColor[g]);
    }
}

}  // namespace colorsplit::test

namespace colorsplit::test {

namespace {

class Unheard : public QuantObserver {
public:
    void RunStarting() override {}
    void RunSampled() override {}
    void IterationStarting(int) override {}
    void GroupMoved(int, TColor) override {}
    void RunEnded(int) override {}
    void MaskPainted() override {}
};

}  // namespace

float ExecutedFrom(const PictureAccess& picture, const std::vector<TColor>& seeds) {
    auto q = std::make_unique<Quantizer>();
    for (const TColor c : seeds)
        q->Pick(c);
    Unheard unheard;
    q->Button2Click(picture, unheard);
    return q->View().Distortion;
}

float BestOfKMeansPlusPlus(const PictureAccess& picture, int draws, unsigned seed) {
    std::vector<PixelRec> pixels;
    for (int y = 0; y < Quantizer::ClampedHeight(picture); ++y)
        for (int x = 0; x < Quantizer::ClampedWidth(picture); ++x) {
            const TColor c = picture.GetPixel(x, y);
            pixels.push_back({RedOf(c), GreenOf(c), BlueOf(c), 0});
        }
    std::mt19937 rng(seed);
    float best = std::numeric_limits<float>::infinity();
    for (int draw = 0; draw < draws && !pixels.empty(); ++draw) {
        std::vector<PixelRec> picks = {pixels[rng() % pixels.size()]};
        std::vector<double> nearest(pixels.size(), std::numeric_limits<double>::infinity());
        while (picks.size() < kMaxColors) {
            for (size_t i = 0; i < pixels.size(); ++i) {
                const PixelRec& p = pixels[i];
                const PixelRec& s = picks.back();
                const double d = (p.R - s.R) * (p.R - s.R) + (p.G - s.G) * (p.G - s.G) +
                                 (p.B - s.B) * (p.B - s.B);
                nearest[i] = std::min(nearest[i], d);
            }
            std::discrete_distribution<size_t> odds(nearest.begin(), nearest.end());
            picks.push_back(pixels[odds(rng)]);
        }
        std::vector<TColor> seeds;
        for (const PixelRec& p : picks)
            seeds.push_back(PackColor(p.R, p.G, p.B));
        best = std::min(best, ExecutedFrom(picture, seeds));
    }
    return best;
}

}  // namespace colorsplit::test
