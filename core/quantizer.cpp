#include "core/quantizer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace colorsplit {

namespace {

constexpr double kStopThreshold = 0.001;
// Columns handled together when the picture is reached row by row: the rows are read (or
// written) a cache line at a time while the table is written (or read) column by column.
constexpr int kColumnBlock = 64;

// Watches the code books an execute command starts its iterations from, with Brent's method:
// no memory beyond one saved code book, and a repeat is seen within about twice the length of
// the cycle after the run enters it.
class RepeatWatch {
public:
    explicit RepeatWatch(const std::array<PixelRec, kMaxColors>& start) : saved_(start) {}

    // The code book the next iteration starts from; true once it equals an earlier one.
    bool Repeats(const std::array<PixelRec, kMaxColors>& codeBook) {
        ++steps_;
        if (Same(codeBook, saved_))
            return true;
        if (steps_ == power_) {
            saved_ = codeBook;
            power_ *= 2;
            steps_ = 0;
        }
        return false;
    }

private:
    static bool Same(const std::array<PixelRec, kMaxColors>& a,
                     const std::array<PixelRec, kMaxColors>& b) {
        for (int i = 0; i < kMaxColors; ++i)
            if (a[i].R != b[i].R || a[i].G != b[i].G || a[i].B != b[i].B)
                return false;
        return true;
    }

    std::array<PixelRec, kMaxColors> saved_;
    long power_ = 1;
    long steps_ = 0;
};

}  // namespace

Quantizer::Quantizer() : Pixels(std::make_unique<Column[]>(kTableWidth)) {
    message_.reserve(64);
}

void Quantizer::NewRound() {
    ColorCount = 0;
    CodeBook = {};
    SelColor = {};
    MeanColor = 0;
    for (int x = 0; x < kTableWidth; ++x)
        for (PixelRec& p : Pixels[x])
            p.Group = 0;
    GroupCount = 0;
    PicksAtRun = 0;
    MaskDone = false;
    Distortion = 0.0f;
    LastDistortion = kInitialLastDistortion;
    RunCount = 0;
}

bool Quantizer::Pick(TColor c) {
    if (ColorCount < 0 || ColorCount >= kMaxColors)
        return false;
    SelColor[ColorCount] = c;
    CodeBook[ColorCount] = {RedOf(c), GreenOf(c), BlueOf(c), 0};
    ++ColorCount;
    return true;
}

bool Quantizer::Unpick() {
    if (ColorCount <= PicksAtRun || ColorCount > kMaxColors)
        return false;
    --ColorCount;
    SelColor[ColorCount] = 0;
    CodeBook[ColorCount] = {};
    return true;
}

int Quantizer::ClampedWidth(const QuantHost& host) {
    return std::clamp(host.PictureWidth(), 0, kTableWidth);
}

int Quantizer::ClampedHeight(const QuantHost& host) {
    return std::clamp(host.PictureHeight(), 0, kTableHeight);
}

void Quantizer::SparateColor(QuantHost& host) {
    const int w = ClampedWidth(host);
    const int h = ClampedHeight(host);
    const QuantHost::ConstPixelRows rows = host.ReadRows();
    if (rows.pixels != nullptr) {
        // Reading has no side effect, so the order of the reads is free; Group is not touched.
        for (int x0 = 0; x0 < w; x0 += kColumnBlock) {
            const int x1 = std::min(w, x0 + kColumnBlock);
            for (int y = 0; y < h; ++y) {
                const RowPixel* row = rows.pixels + y * rows.stride;
                for (int x = x0; x < x1; ++x) {
                    PixelRec& p = Pixels[x][y];
                    p.R = RowRed(row[x]);
                    p.G = RowGreen(row[x]);
                    p.B = RowBlue(row[x]);
                }
            }
        }
        return;
    }
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
    GroupSums unused;
    GroupCount = std::clamp(ColorCount, 0, kMaxColors);
    Distortion = GroupPass(GroupKernel, Pixels.get(), ClampedWidth(host), ClampedHeight(host),
                           CodeBook, ColorCount, unused);
}

void Quantizer::Computer_Cenproid(QuantHost& host) {
    // All groups' sums in one scan: integer sums do not depend on the order they are taken in.
    const int w = ClampedWidth(host);
    const int h = ClampedHeight(host);
    const int k = std::clamp(ColorCount, 0, kMaxColors);
    GroupSums sums;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            const PixelRec& p = Pixels[x][y];
            if (p.Group < 0 || p.Group >= k)
                continue;
            sums.r[p.Group] += p.R;
            sums.g[p.Group] += p.G;
            sums.b[p.Group] += p.B;
            ++sums.n[p.Group];
        }
    }
    ApplyUpdate(host, sums);
}

void Quantizer::ApplyUpdate(QuantHost& host, const GroupSums& sums) {
    const int k = std::clamp(ColorCount, 0, kMaxColors);
    for (int g = 0; g < k; ++g) {
        // An empty group keeps its code vector and colour, and is neither shown nor logged.
        if (sums.n[g] == 0)
            continue;
        CodeBook[g].R = static_cast<std::int32_t>(sums.r[g] / sums.n[g]);
        CodeBook[g].G = static_cast<std::int32_t>(sums.g[g] / sums.n[g]);
        CodeBook[g].B = static_cast<std::int32_t>(sums.b[g] / sums.n[g]);
        SelColor[g] = PackColor(CodeBook[g].R, CodeBook[g].G, CodeBook[g].B);
        host.ShowSwatch(g, SelColor[g]);
        host.LogLine(Message("代表顏色", g + 1, "值為", SelColor[g]));
    }
}

void Quantizer::Iterate(QuantHost& host) {
    // The update reads the groups the grouping pass just wrote, over the same area, so sums
    // taken while grouping are the sums the update's own scan would find.
    GroupSums sums;
    GroupCount = std::clamp(ColorCount, 0, kMaxColors);
    Distortion = GroupPass(GroupKernel, Pixels.get(), ClampedWidth(host), ClampedHeight(host),
                           CodeBook, ColorCount, sums);
    ApplyUpdate(host, sums);
}

template <class... Parts>
const std::string& Quantizer::Message(const Parts&... parts) {
    // One buffer for every line: once it has grown, logging allocates nothing here.
    message_.clear();
    const auto append = [this](const auto& part) {
        if constexpr (std::is_integral_v<std::decay_t<decltype(part)>>) {
            char digits[16];
            const auto end = std::to_chars(digits, digits + sizeof digits, part).ptr;
            message_.append(digits, end);
        } else {
            message_ += part;
        }
    };
    (append(parts), ...);
    return message_;
}

bool Quantizer::RunOver() {
    // Compared in double; a change of exactly 0.001 or less ends the run.
    const bool more = std::fabs(static_cast<double>(Distortion) -
                                static_cast<double>(LastDistortion)) > kStopThreshold;
    LastDistortion = Distortion;
    return more;
}

void Quantizer::Button2Click(QuantHost& host) {
    host.LogLine(Message("初始化運算開始"));
    SparateColor(host);
    host.LogLine(Message("初始化完成,VQ運算開始"));
    RunCount = 0;
    PicksAtRun = ColorCount;
    // The pair is not reset here: a second execute finds it equal and makes no iteration.
    //
    // A run can cycle forever: truncated means need not lower the distortion, so a code book
    // can come back with the distortions around the cycle further apart than the threshold
    // (seen with two picks of one colour on a 6 x 2 picture: 1, 2, 1, 2, ...). Once the code
    // book repeats, the distortions repeat too, and every step of the cycle but the one that
    // closes it has passed the stop test already. So one more iteration closes the cycle;
    // if the test still asks for another, none will ever stop the run, and it ends there.
    // A run that ends by itself ends exactly as before.
    RepeatWatch watch(CodeBook);
    int sinceRepeat = -1;
    while (RunOver()) {
        if (sinceRepeat == 1)
            break;
        host.LogLine(Message("***********運算執行第", RunCount + 1, "回********"));
        Iterate(host);  // Computer_Group, then Computer_Cenproid
        ++RunCount;
        if (sinceRepeat >= 0)
            ++sinceRepeat;
        else if (watch.Repeats(CodeBook))
            sinceRepeat = 0;
    }
    host.LogLine(Message("運算完成,請執行Mask,共計執行", RunCount, "回"));
}

void Quantizer::Mask(QuantHost& host, int keep) {
    // Undo an earlier mask by restoring the picture as opened before painting the new one.
    // Not from its file: that may have been saved over, changed or removed since.
    if (MaskDone)
        host.RestorePicture();
    const int w = ClampedWidth(host);
    const int h = ClampedHeight(host);
    const QuantHost::PixelRows rows = host.WriteRows();
    if (rows.pixels != nullptr) {
        // Every pixel is set at most once, so the order of the writes is free.
        for (int x0 = 0; x0 < w; x0 += kColumnBlock) {
            const int x1 = std::min(w, x0 + kColumnBlock);
            for (int y = 0; y < h; ++y) {
                RowPixel* row = rows.pixels + y * rows.stride;
                for (int x = x0; x < x1; ++x)
                    if (Pixels[x][y].Group != keep)
                        row[x] = kRowBlack;
            }
        }
    } else {
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                if (Pixels[x][y].Group != keep)
                    host.SetPixel(x, y, 0);
            }
        }
    }
    host.Refresh();
    MaskDone = true;
    host.LogLine(Message("處理完成"));
}

}  // namespace colorsplit
