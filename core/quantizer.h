#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/colors.h"
#include "core/quant_host.h"

namespace colorsplit {

// The pixel table's fixed capacity; pictures are never larger (the open command refuses them).
inline constexpr int kTableWidth = 1280;
inline constexpr int kTableHeight = 960;
inline constexpr int kMaxColors = 4;
// What start-up sets LastDistortion to, so that the first execute makes at least one iteration.
inline constexpr float kInitialLastDistortion = 65536.0f;

// The quantisation state and the operations on it: sampling the picture, the grouping and
// update passes, the stop test, the execute command, the mean colour and the mask.
// The window (and the batch front end) holds one and passes itself as the host.
class Quantizer {
public:
    using Column = PixelRec[kTableHeight];

    // Every field starts zero; start-up then sets the distortion pair (see FormCreate).
    Quantizer();

    // Copies the shown picture into Pixels; records outside it keep what they held.
    void SparateColor(QuantHost& host);
    // Mean colour of the table over the picture's area; 0 for a picture of no pixels.
    TColor Computer_Mean(const QuantHost& host) const;
    void Computer_Group(const QuantHost& host);
    void Computer_Cenproid(QuantHost& host);
    bool RunOver();
    // The execute command.
    void Button2Click(QuantHost& host);
    void Mask(QuantHost& host, int keep);

    // The picture's size as the table can hold it: whatever the host reports, no operation
    // reads or writes outside the table.
    static int ClampedWidth(const QuantHost& host);
    static int ClampedHeight(const QuantHost& host);

    // Indexed [x][y], x outer; one block of 1280 x 960 records, zero at creation, never
    // reallocated or cleared.
    std::unique_ptr<Column[]> Pixels;
    std::array<PixelRec, kMaxColors> CodeBook{};
    std::array<TColor, kMaxColors> SelColor{};
    TColor MeanColor = 0;
    std::int32_t ColorCount = 0;
    std::string OpenFileName;
    std::int32_t RunCount = 0;
    float Distortion = 0.0f;
    float LastDistortion = 0.0f;
    bool MaskDone = false;
};

// The distance the grouping pass compares: the squared distance divided by 3, truncated
// before any comparison, so squared distances that differ by less than 3 may tie.
inline std::int32_t GroupDistance(const PixelRec& p, const PixelRec& v) {
    const std::int32_t dR = v.R - p.R;
    const std::int32_t dG = v.G - p.G;
    const std::int32_t dB = v.B - p.B;
    return (dR * dR + dG * dG + dB * dB) / 3;
}

}  // namespace colorsplit
