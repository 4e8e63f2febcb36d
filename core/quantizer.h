#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/colors.h"
#include "core/group_pass.h"
#include "core/picture_access.h"

namespace colorsplit {

// What a new round sets LastDistortion to, so that its first execute makes an iteration.
inline constexpr float kInitialLastDistortion = 65536.0f;

// The stop test's rule: another iteration while the distortion moved by more than 0.001,
// compared in double precision; a move of exactly 0.001 or less ends the run.
bool DistortionMoved(float distortion, float lastDistortion);

// The quantisation state, by the design's names. Only Quantizer changes it; everyone else
// reads it through Quantizer::View().
struct QuantState {
    // Indexed [x][y], x outer; one block of 1280 x 960 records, zero at creation, never
    // reallocated or cleared.
    std::unique_ptr<Column[]> Pixels;
    std::array<PixelRec, kMaxColors> CodeBook{};
    std::array<TColor, kMaxColors> SelColor{};
    TColor MeanColor = 0;
    std::int32_t ColorCount = 0;
    // The file the shown picture was opened from.
    std::string OpenFileName;
    std::int32_t RunCount = 0;
    // The number of colours the last grouping pass of this round grouped by: the groups in the
    // table are 0 to GroupCount - 1. 0 until an execute of this round has grouped the pixels.
    std::int32_t GroupCount = 0;
    // The picks the last execute of this round ran with: those cannot be taken back.
    std::int32_t PicksAtRun = 0;
    float Distortion = 0.0f;
    float LastDistortion = kInitialLastDistortion;
    bool MaskDone = false;
};

// The quantisation state and the operations on it: picking, sampling the picture, the
// grouping and update passes, the stop test, the execute command, the mean colour and the
// mask. It reaches the picture through PictureAccess and tells what happens to a
// QuantObserver.
class Quantizer {
public:
    // The start state: no picks, no code book, every table entry zero, no grouping, no mask,
    // the distortion pair (0, 65536) and the counters zero.
    Quantizer();

    const QuantState& View() const { return s_; }

    // A new round, on the picture opened from fileName or on the same one again: the start
    // state, but the table's colours are left to the next sampling.
    void NewRound(std::string fileName);
    void NewRound();

    // Takes c as the next picked colour: SelColor, the code vector and ColorCount. False, and
    // nothing changes, once four have been picked.
    bool Pick(TColor c);
    // Takes the last pick back while no execute has run since it: ColorCount, SelColor and the
    // code vector as before it. False, and nothing changes, when there is none to take back.
    // (Entries past ColorCount are always as a new round leaves them: only a pick writes them.)
    bool Unpick();

    // Copies the shown picture into Pixels; records outside it keep what they held.
    void SparateColor(const PictureAccess& picture);
    // Mean colour of the table over the picture's area; 0 for a picture of no pixels.
    TColor Computer_Mean(const PictureAccess& picture) const;
    // The mean colour command's part: samples the picture and keeps its mean as MeanColor.
    TColor TakeMeanColor(const PictureAccess& picture);
    void Computer_Group(const PictureAccess& picture);
    void Computer_Cenproid(const PictureAccess& picture, QuantObserver& observer);
    bool RunOver();
    // The execute command.
    void Button2Click(const PictureAccess& picture, QuantObserver& observer);
    // One iteration of it: Computer_Group then Computer_Cenproid, with the group sums taken
    // in the grouping scan instead of one more scan per group.
    void Iterate(const PictureAccess& picture, QuantObserver& observer);
    void Mask(PictureAccess& picture, QuantObserver& observer, int keep);

    // The picture's size as the table can hold it: whatever the picture reports, no operation
    // reads or writes outside the table.
    static int ClampedWidth(const PictureAccess& picture);
    static int ClampedHeight(const PictureAccess& picture);

private:
    void ApplyUpdate(QuantObserver& observer, const GroupSums& sums);

    QuantState s_;
};

}  // namespace colorsplit
