#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/colors.h"
#include "core/delta_e.h"
#include "platform/colour_profile.h"
#include "session/export_settings.h"
#include "session/grouping.h"

namespace colorsplit {

// The same seed colours over many pictures, or each picture's own (自動選色), each treated as one
// run of the batch program would treat it: opened (a reduced copy of one larger than the table
// when fit says so), the seeds picked, executed, and its files exported into a folder, if one
// is given; its groups matched to inks, if there are any.
struct BatchOptions {
    bool fit = false;
    bool applyProfiles = true;  // colour profiles applied on opening
    std::vector<TColor> seeds;
    bool autoSeeds = false;  // instead of seeds
    std::shared_ptr<const InkTable> inks = std::make_shared<const InkTable>();
    std::string exportFolder;  // none when empty
    int jobs = 1;              // pictures worked on at once, each in a session of its own
    // How each export is made, and the groups counted.
    ExportSettings exportSettings;
};

// What came of one picture: its groups, counted at full size, or the one line that says why
// it failed; and a line on a colour profile passed over, if one was.
struct BatchOutcome {
    std::vector<GroupStatistic> groups;
    std::optional<QString> failure;
    std::optional<QString> note;
};

// Every picture, jobs of them at once and no more in memory; the outcomes in the pictures'
// order, whatever order they finish in. done() is told after each picture, from any thread.
std::vector<BatchOutcome> RunBatch(const std::vector<std::string>& pictures,
                                   const BatchOptions& options, const std::function<void()>& done);

// file,group,hex,red,green,blue,pixels,percent,ink,delta_e: a row a group of each picture that did
// not fail, in the pictures' order; the file as given, quoted where it must be.
QByteArray BatchCsv(const std::vector<std::string>& pictures,
                    const std::vector<BatchOutcome>& outcomes);

// The line that says a picture's colour profile was passed over (broken, or not for its
// colours); none when it was applied, or there was none, or profiles are off.
std::optional<QString> ProfileNote(const std::string& picture, const ProfileUse& use);

// Two pictures whose exports would have the same file names (the same name without folder and
// extension), the first such pair; none when every name is its own.
std::optional<std::pair<std::string, std::string>> SharedExportNames(
    const std::vector<std::string>& pictures);

}  // namespace colorsplit
