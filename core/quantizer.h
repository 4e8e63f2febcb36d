#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/colors.h"
#include "core/group_pass.h"
#include "core/quant_host.h"

namespace colorsplit {

// What start-up sets LastDistortion to, so that the first execute makes at least one iteration.
inline constexpr float kInitialLastDistortion = 65536.0f;

// The quantisation state and the operations on it: sampling the picture, the grouping and
// update passes, the stop test, the execute command, the mean colour and the mask.
// The window (and the batch front end) holds one and passes itself as the host.
class Quantizer {
public:
    // Every field starts zero; start-up then sets the distortion pair (see FormCreate).
    Quantizer();

    // A new picture starts a new round: no picks, no code book, every table entry in group 0,
    // no grouping, no mask, and the distortion pair and counters as at start-up. The file name
    // and the table's colours are left to the open command and the next sampling.
    void NewRound();

    // Takes c as the next picked colour: SelColor, the code vector and ColorCount. False, and
    // nothing changes, once four have been picked.
    bool Pick(TColor c);
    // Takes the last pick back while no execute has run since it: ColorCount, SelColor and the
    // code vector as before it. False, and nothing changes, when there is none to take back.
    // (Entries past ColorCount are always as a new round leaves them: only a pick writes them.)
    bool Unpick();

    // Copies the shown picture into Pixels; records outside it keep what they held.
    void SparateColor(QuantHost& host);
    // Mean colour of the table over the picture's area; 0 for a picture of no pixels.
    TColor Computer_Mean(const QuantHost& host) const;
    void Computer_Group(const QuantHost& host);
    void Computer_Cenproid(QuantHost& host);
    bool RunOver();
    // The execute command.
    void Button2Click(QuantHost& host);
    // One iteration of it: Computer_Group then Computer_Cenproid, with the group sums taken
    // in the grouping scan instead of one more scan per group.
    void Iterate(QuantHost& host);
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
    // The number of colours the last grouping pass of this round grouped by: the groups in the
    // table are 0 to GroupCount - 1. 0 until an execute of this round has grouped the pixels.
    std::int32_t GroupCount = 0;
    // The picks the last execute of this round ran with: those cannot be taken back.
    std::int32_t PicksAtRun = 0;
    float Distortion = 0.0f;
    float LastDistortion = 0.0f;
    bool MaskDone = false;

    // The grouping kernel: the widest this CPU runs. Every kernel gives the same results.
    Kernel GroupKernel = kWidestKernel;

private:
    std::string message_;

    // A log line: fixed texts joined with numbers in signed decimal.
    template <class... Parts>
    const std::string& Message(const Parts&... parts);
    void ApplyUpdate(QuantHost& host, const GroupSums& sums);
};

}  // namespace colorsplit
