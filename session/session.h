#pragma once

#include <QSize>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/delta_e.h"
#include "core/picture_access.h"
#include "core/quantizer.h"
#include "platform/grouped_picture.h"
#include "platform/picture.h"
#include "session/export.h"
#include "session/export_settings.h"
#include "session/file_dialog.h"
#include "session/grouping.h"
#include "session/long_work.h"
#include "session/picture_stage.h"

namespace colorsplit {

// The window's picture control: as large as the design makes it, whatever picture it shows. A
// click is a point on it; the picture lies in its top-left corner.
inline constexpr QSize kPickArea(1575, 1181);

// What the commands show, and what they ask: the window draws and asks the user, the batch
// front end prints, records and answers for itself. It hears the core's events and words them
// for the log (texts.h), so that every front end logs the same lines.
class SessionView : public QuantObserver {
public:
    virtual void LogLine(const QString& text) = 0;
    virtual void ShowSwatch(int row, TColor c) = 0;
    // Every swatch row blank again, as at start-up.
    virtual void ClearSwatches() = 0;
    // One row blank again.
    virtual void ClearSwatch(int row) = 0;
    // The shown picture was replaced or painted on.
    virtual void PictureChanged() = 0;

    // Whether to open a reduced copy of a picture larger than the table.
    virtual bool OpenReduced(const std::string& file, QSize original, QSize reduced) = 0;
    // Whether these files (names within the folder) may be replaced.
    virtual bool ConfirmReplace(const std::string& folder,
                                const std::vector<std::string>& files) = 0;
    // A colour to pick by value; nullopt when the user cancels.
    virtual std::optional<TColor> AskColour() = 0;
    virtual void ShowStatistics(const std::vector<GroupStatistic>& statistics) = 0;

    // QuantObserver, worded.
    void RunStarting() final;
    void RunSampled() final;
    void IterationStarting(int n) final;
    void GroupMoved(int g, TColor c) final;
    void RunEnded(int iterations) final;
    void MaskPainted() final;
};

// What an open command came to.
struct Opening {
    enum Result {
        kCancelled,  // no file was chosen
        kOpened,     // the picture is shown and a new round has begun
        kReduced,    // as kOpened, with a reduced copy of a picture larger than the table
        kTooLarge,   // larger than the table, and no copy wanted: logged, nothing changed
    };
    Result result = kCancelled;
    // The picture's size as its file declares it (for kOpened, kReduced and kTooLarge).
    QSize size;
    // For kReduced: the work that makes the copy and shows it. Until it is applied, the
    // picture and the round before stay.
    std::shared_ptr<const LongWork> work;
};

// The window's commands on its state, without any widget: the window calls these from its
// handlers and the batch front end replays them, so both follow one set of rules.
class Session {
public:
    // The largest picture a reduced copy is made of, in pixels; larger ones are refused from
    // their headers.
    static constexpr qint64 kMostPixelsToReduce = 100'000'000;

    Session(SessionView& view, FileDialog& openDialog, FileDialog& saveDialog,
            FileDialog& exportDialog);

    // The log's part of start-up; the state starts as the core makes it, and the window
    // selects "color1" and resets its scroll bars.
    void FormCreate();
    Opening Button1Click();  // open
    // The open command after the dialog: a picture that opens starts a new round. A picture
    // larger than the table opens as a reduced copy when the view wants one.
    Opening OpenFile(const std::string& name);
    void Button2Click();  // execute
    // Save: the name written, which the window shows; none when the dialog was cancelled.
    std::optional<std::string> Button4Click();
    void Button5Click();  // mean colour
    // Mask, keeping the group of the selected item of RadioGroup1 (0 is "color1").
    void Button7Click(int itemIndex);
    void Image1MouseDown(int x, int y);
    // 輸入顏色…: a colour asked for by value, picked as a click on a pixel of it would be.
    void EnterColourClick();
    // The same without asking: the batch program's seed.
    void Seed(TColor c);
    // 載入種子顏色…: a palette file from dialog, its colours then picked as SeedsFromFile picks.
    void LoadSeedsClick(FileDialog& dialog);
    // A palette file's colours picked in order, as seeds are, until four are picked; the rest
    // are left, and the log says how many were taken. A file that cannot be read or is
    // malformed throws PictureError, and nothing is picked.
    void SeedsFromFile(const std::string& file);
    // 自動選色: the colours still to be picked chosen from the picture as shown (AutoSeeds, around
    // those already picked), each then picked as by value. With four picked, the line that
    // says so, as a click.
    void AutoSeedClick();
    // 載入油墨色表…: a palette file from dialog, then LoadInks; the file loaded, to remember.
    std::optional<std::string> LoadInksClick(FileDialog& dialog);
    // A palette file's colours as the inks every grouping from now on is matched to, until
    // another is loaded; the log says how many. A file that cannot be read, is malformed or
    // holds no colour throws PictureError, and the table before stays.
    void LoadInks(const std::string& file, bool logged = true);
    // An ink table read already, used as LoadInks uses its file's, without a word.
    void UseInks(std::shared_ptr<const InkTable> inks) { inks_ = std::move(inks); }
    const InkTable& Inks() const { return *inks_; }
    // The last grouping's colours as their nearest inks' (as they are without inks): what an
    // export in the inks' colours paints the groups with.
    std::vector<TColor> InkColours() const;
    // 復原選色: the last pick taken back while no execute has run since it, its swatch blank
    // again. With none to take back, nothing happens at all.
    void UnpickClick();
    // 重新選色: a new round on the picture as opened, as an open of it would begin.
    void RepickClick();
    // 匯出群組…: a folder from the dialog and a question before files are replaced; then the
    // work that writes the files, or none when there is nothing to write.
    std::shared_ptr<const LongWork> ExportClick();
    // The work that writes the last grouping's files into folder, made if missing, replacing
    // what is there. Throws PictureError when there is no picture or grouping, or the folder
    // cannot be made; the work throws when a file cannot be written.
    std::shared_ptr<const LongWork> ExportGroups(const std::string& folder);
    // 群組統計…: the table at once where its pixels are counted; else the work that counts
    // them at full size first, and then shows it.
    std::shared_ptr<const LongWork> StatisticsClick();
    // The work that counts a reduced copy's groups at full size, when the last grouping's
    // counts are not known yet; none otherwise.
    std::shared_ptr<const LongWork> CountFullSize();

    const QuantState& State() const { return quantizer_.View(); }
    const Picture& ShownPicture() const { return picture_.Shown(); }
    bool HasPicture() const { return !picture_.IsEmpty(); }
    // Whether an execute of this round has grouped the picture.
    bool HasGroups() const { return HasPicture() && State().GroupCount > 0; }
    // Whether the picture shown is a reduced copy of the one in the file.
    bool IsReducedCopy() const { return original_ != nullptr; }
    // The picture's size in its file: larger than the shown one's for a reduced copy.
    QSize FileSize() const;
    // The picture as shown, its groups as the export makes them (the groups the last grouping
    // left in the table, dithered or cleaned up as the export settings say, the cleanup's
    // size scaled for a reduced copy) and the groups' colours as the swatches show them; no
    // groups before an execute of this round.
    GroupedPicture ShownGrouping() const;
    // How exports make their files, and how the groups are shown and counted for them.
    const ExportSettings& Settings() const { return exportSettings_; }
    void SetExportSettings(const ExportSettings& settings) { exportSettings_ = settings; }
    // A row a group of the last grouping, pixels counted as the export counts them: at full
    // size for a reduced copy, and so none for one until they are counted (CountFullSize).
    // None before an execute of this round.
    std::vector<GroupStatistic> GroupStatistics() const;
    // Each of the table's groups, 0 to kMaxColors - 1, counted over the picture's area.
    std::array<qint64, kMaxColors> TableGroupCounts() const;

    // Whether pictures open with their colour profiles applied (at first they do). A change
    // holds from the next open: the picture shown stays as it was opened.
    void SetApplyProfiles(bool apply) { applyProfiles_ = apply; }
    bool AppliesProfiles() const { return applyProfiles_; }
    // What came of the shown picture's colour profile when it was opened.
    const ProfileUse& PictureProfile() const { return profile_; }

private:
    // True when a picture is shown; otherwise logs that none is and returns false.
    bool RequirePicture();
    // True when an execute of this round has grouped the picture; otherwise logs why not.
    bool RequireGroups();
    // The next pick, or the line that says all four are picked.
    void PickColor(TColor c);
    // The name the export's files begin with: the opened file's, without folder and extension.
    std::string ExportStem() const;
    // A new round on the picture as opened: no picks, groups, mask or swatches.
    void BeginRound();
    // Shows a picture that opened and begins a new round; line, if any, is logged first.
    void Show(const QImage& image, const std::string& name, const ProfileUse& profile,
              std::shared_ptr<const PictureFile> original, const QString& line);
    // The last grouping's picture at its full size, a band at a time, as the export writes it:
    // the picture as opened with the table's groups, or a reduced copy's file grouped again.
    GroupedBands FullSizeBands() const;
    // The picture as shown and the groups the last grouping left in the table.
    GroupedPicture TableGrouping() const;
    // The code book and K of the last grouping and the settings that change its groups, for
    // knowing when counts are stale.
    std::vector<double> GroupingKey() const;
    std::vector<TColor> GroupColours() const;
    // The colours the quantised picture and the layers show, and dithering chooses among.
    std::vector<TColor> ShownColours() const;
    // A line a group for its film's label.
    std::vector<QString> FilmLabels() const;

    SessionView& view_;
    FileDialog& openDialog_;
    FileDialog& saveDialog_;
    FileDialog& exportDialog_;
    Quantizer quantizer_;
    PictureStage picture_;
    // For a reduced copy, the file it was made from, read whole: decoded again for full-size
    // exports and statistics, so that the full picture is held only while they are made.
    std::shared_ptr<const PictureFile> original_;
    // Full-size counts are dear to make: kept for the grouping they were made for.
    struct Counts {
        std::vector<double> key;
        std::vector<qint64> pixels;
    };
    std::optional<Counts> fullSizeCounts_;
    // Shared with the export's worker, which reads it while the window may load another.
    std::shared_ptr<const InkTable> inks_ = std::make_shared<const InkTable>();
    ExportSettings exportSettings_;
    bool applyProfiles_ = true;
    ProfileUse profile_;
};

}  // namespace colorsplit
