#include "support/reference_quantizer.h"

#include <algorithm>

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
