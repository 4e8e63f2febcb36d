#include "core/quantizer.h"

#include <algorithm>
#include <cmath>

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

Quantizer::Quantizer() {
    s_.Pixels = std::make_unique<Column[]>(kTableWidth);
}

void Quantizer::NewRound(std::string fileName) {
    s_.OpenFileName = std::move(fileName);
    NewRound();
}

void Quantizer::NewRound() {
    // The start state, as the constructor leaves it, with the table's colours kept.
    QuantState start;
    start.Pixels = std::move(s_.Pixels);
    start.OpenFileName = std::move(s_.OpenFileName);
    for (int x = 0; x < kTableWidth; ++x)
        for (PixelRec& p : start.Pixels[x])
            p.Group = 0;
    s_ = std::move(start);
}

bool Quantizer::Pick(TColor c) {
    if (s_.ColorCount < 0 || s_.ColorCount >= kMaxColors)
        return false;
    s_.SelColor[s_.ColorCount] = c;
    s_.CodeBook[s_.ColorCount] = {RedOf(c), GreenOf(c), BlueOf(c), 0};
    ++s_.ColorCount;
    return true;
}

bool Quantizer::Unpick() {
    if (s_.ColorCount <= s_.PicksAtRun || s_.ColorCount > kMaxColors)
        return false;
    --s_.ColorCount;
    s_.SelColor[s_.ColorCount] = 0;
    s_.CodeBook[s_.ColorCount] = {};
    return true;
}

int Quantizer::ClampedWidth(const PictureAccess& picture) {
    return std::clamp(picture.PictureWidth(), 0, kTableWidth);
}

int Quantizer::ClampedHeight(const PictureAccess& picture) {
    return std::clamp(picture.PictureHeight(), 0, kTableHeight);
}

void Quantizer::SparateColor(const PictureAccess& picture) {
    const int w = ClampedWidth(picture);
    const int h = ClampedHeight(picture);
    const PictureAccess::ConstPixelRows rows = picture.ReadRows();
    if (rows.pixels != nullptr) {
        // Reading has no side effect, so the order of the reads is free; Group is not touched.
        for (int x0 = 0; x0 < w; x0 += kColumnBlock) {
            const int x1 = std::min(w, x0 + kColumnBlock);
            for (int y = 0; y < h; ++y) {
                const RowPixel* row = rows.pixels + y * rows.stride;
                for (int x = x0; x < x1; ++x) {
                    PixelRec& p = s_.Pixels[x][y];
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
            const TColor c = picture.GetPixel(x, y);
            PixelRec& p = s_.Pixels[x][y];
            p.R = RedOf(c);
            p.G = GreenOf(c);
            p.B = BlueOf(c);
        }
    }
}

TColor Quantizer::TakeMeanColor(const PictureAccess& picture) {
    SparateColor(picture);
    s_.MeanColor = Computer_Mean(picture);
    return s_.MeanColor;
}

TColor Quantizer::Computer_Mean(const PictureAccess& picture) const {
    const int w = ClampedWidth(picture);
    const int h = ClampedHeight(picture);
    // 1280 x 960 x 255 fits in 32 bits.
    std::int32_t r = 0, g = 0, b = 0;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            r += s_.Pixels[x][y].R;
            g += s_.Pixels[x][y].G;
            b += s_.Pixels[x][y].B;
        }
    }
    const std::int32_t n = w * h;
    if (n == 0)
        return 0;
    return PackColor(r / n, g / n, b / n);
}

void Quantizer::Computer_Group(const PictureAccess& picture) {
    GroupSums unused;
    s_.GroupCount = std::clamp(s_.ColorCount, 0, kMaxColors);
    s_.Distortion = GroupPass(s_.Pixels.get(), ClampedWidth(picture), ClampedHeight(picture),
                              s_.CodeBook, s_.ColorCount, unused);
}

void Quantizer::Computer_Cenproid(const PictureAccess& picture, QuantObserver& observer) {
    // All groups' sums in one scan: integer sums do not depend on the order they are taken in.
    const int w = ClampedWidth(picture);
    const int h = ClampedHeight(picture);
    const int k = std::clamp(s_.ColorCount, 0, kMaxColors);
    GroupSums sums;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            const PixelRec& p = s_.Pixels[x][y];
            if (p.Group < 0 || p.Group >= k)
                continue;
            sums.r[p.Group] += p.R;
            sums.g[p.Group] += p.G;
            sums.b[p.Group] += p.B;
            ++sums.n[p.Group];
        }
    }
    ApplyUpdate(observer, sums);
}

void Quantizer::ApplyUpdate(QuantObserver& observer, const GroupSums& sums) {
    const int k = std::clamp(s_.ColorCount, 0, kMaxColors);
    for (int g = 0; g < k; ++g) {
        // An empty group keeps its code vector and colour, and is neither shown nor logged.
        if (sums.n[g] == 0)
            continue;
        s_.CodeBook[g].R = static_cast<std::int32_t>(sums.r[g] / sums.n[g]);
        s_.CodeBook[g].G = static_cast<std::int32_t>(sums.g[g] / sums.n[g]);
        s_.CodeBook[g].B = static_cast<std::int32_t>(sums.b[g] / sums.n[g]);
        s_.SelColor[g] = PackColor(s_.CodeBook[g].R, s_.CodeBook[g].G, s_.CodeBook[g].B);
        observer.GroupMoved(g, s_.SelColor[g]);
    }
}

void Quantizer::Iterate(const PictureAccess& picture, QuantObserver& observer) {
    // The update reads the groups the grouping pass just wrote, over the same area, so sums
    // taken while grouping are the sums the update's own scan would find.
    GroupSums sums;
    s_.GroupCount = std::clamp(s_.ColorCount, 0, kMaxColors);
    s_.Distortion = GroupPass(s_.Pixels.get(), ClampedWidth(picture), ClampedHeight(picture),
                              s_.CodeBook, s_.ColorCount, sums);
    ApplyUpdate(observer, sums);
}

bool DistortionMoved(float distortion, float lastDistortion) {
    return std::fabs(static_cast<double>(distortion) - static_cast<double>(lastDistortion)) >
           kStopThreshold;
}

bool Quantizer::RunOver() {
    const bool more = DistortionMoved(s_.Distortion, s_.LastDistortion);
    s_.LastDistortion = s_.Distortion;
    return more;
}

void Quantizer::Button2Click(const PictureAccess& picture, QuantObserver& observer) {
    observer.RunStarting();
    SparateColor(picture);
    observer.RunSampled();
    s_.RunCount = 0;
    s_.PicksAtRun = s_.ColorCount;
    // The pair is not reset here: a second execute finds it equal and makes no iteration.
    //
    // A run can cycle forever: truncated means need not lower the distortion, so a code book
    // can come back with the distortions around the cycle further apart than the threshold
    // (seen with two picks of one colour on a 6 x 2 picture: 1, 2, 1, 2, ...). Once the code
    // book repeats, the distortions repeat too, and every step of the cycle but the one that
    // closes it has passed the stop test already. So one more iteration closes the cycle;
    // if the test still asks for another, none will ever stop the run, and it ends there.
    // A run that ends by itself ends exactly as before.
    RepeatWatch watch(s_.CodeBook);
    int sinceRepeat = -1;
    while (RunOver()) {
        if (sinceRepeat == 1)
            break;
        observer.IterationStarting(s_.RunCount + 1);
        Iterate(picture, observer);  // Computer_Group, then Computer_Cenproid
        ++s_.RunCount;
        if (sinceRepeat >= 0)
            ++sinceRepeat;
        else if (watch.Repeats(s_.CodeBook))
            sinceRepeat = 0;
    }
    observer.RunEnded(s_.RunCount);
}

void Quantizer::Mask(PictureAccess& picture, QuantObserver& observer, int keep) {
    // Undo an earlier mask by restoring the picture as opened before painting the new one.
    // Not from its file: that may have been saved over, changed or removed since.
    if (s_.MaskDone)
        picture.RestorePicture();
    const int w = ClampedWidth(picture);
    const int h = ClampedHeight(picture);
    const PictureAccess::PixelRows rows = picture.WriteRows();
    if (rows.pixels != nullptr) {
        // Every pixel is set at most once, so the order of the writes is free.
        for (int x0 = 0; x0 < w; x0 += kColumnBlock) {
            const int x1 = std::min(w, x0 + kColumnBlock);
            for (int y = 0; y < h; ++y) {
                RowPixel* row = rows.pixels + y * rows.stride;
                for (int x = x0; x < x1; ++x)
                    if (s_.Pixels[x][y].Group != keep)
                        row[x] = kRowBlack;
            }
        }
    } else {
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                if (s_.Pixels[x][y].Group != keep)
                    picture.SetPixel(x, y, 0);
            }
        }
    }
    picture.Refresh();
    s_.MaskDone = true;
    observer.MaskPainted();
}

}  // namespace colorsplit
