#include "session/session.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <thread>

#include "core/auto_seeds.h"
#include "platform/palette.h"
#include "platform/picture_error.h"
#include "platform/reduce.h"
#include "session/texts.h"

namespace colorsplit {

namespace {

bool FitsTable(const QSize& size) {
    return size.width() <= kTableWidth && size.height() <= kTableHeight;
}

}  // namespace

void SessionView::RunStarting() {
    LogLine(texts::RunStarting());
}

void SessionView::RunSampled() {
    LogLine(texts::RunSampled());
}

void SessionView::IterationStarting(int n) {
    LogLine(texts::Iteration(n));
}

void SessionView::GroupMoved(int g, TColor c) {
    ShowSwatch(g, c);
    LogLine(texts::GroupMoved(g, c));
}

void SessionView::RunEnded(int iterations) {
    LogLine(texts::RunEnded(iterations));
}

void SessionView::MaskPainted() {
    LogLine(texts::MaskPainted());
}

Session::Session(SessionView& view, FileDialog& openDialog, FileDialog& saveDialog,
                 FileDialog& exportDialog)
    : view_(view),
      openDialog_(openDialog),
      saveDialog_(saveDialog),
      exportDialog_(exportDialog),
      picture_([this] { view_.PictureChanged(); }) {}

void Session::FormCreate() {
    view_.LogLine(texts::NoPicture());
}

Opening Session::Button1Click() {
    // A cancelled dialog opens nothing.
    if (const std::optional<std::string> name = openDialog_.Execute())
        return OpenFile(*name);
    return {};
}

Opening Session::OpenFile(const std::string& name) {
    // Refused pictures change nothing: the size is checked from the headers, before anything
    // is decoded, and OpenFileName is only taken once the picture is shown.
    auto file = std::make_shared<const PictureFile>(name, applyProfiles_);
    const QSize size = file->Size();
    if (FitsTable(size)) {
        Show(file->Decode(Picture::kReadLimitPixels), name, file->Profile(), nullptr, {});
        return {Opening::kOpened, size, nullptr};
    }
    view_.LogLine(texts::TooLarge());
    if (static_cast<qint64>(size.width()) * size.height() > kMostPixelsToReduce)
        throw PictureError(PictureError::Action::kOpen, name,
                           {Problem::kTooLargeToReduce, size.width(), size.height(),
                            QString::number(kMostPixelsToReduce)});
    const QSize reduced = ReducedSize(size, QSize(kTableWidth, kTableHeight));
    if (!view_.OpenReduced(name, size, reduced))
        return {Opening::kTooLarge, size, nullptr};
    // The copy is made a band of the file's rows at a time, on whatever thread runs it.
    auto copy = std::make_shared<QImage>();
    auto work = std::make_shared<const LongWork>(
        LongWork::Kind::kOpen, QFileInfo(QString::fromStdString(name)).fileName(),
        [file, reduced, copy](Progress& progress) {
            *copy =
                ReducedCopy(*file, reduced, kMostPixelsToReduce, [&progress](int done, int all) {
                    progress.Advance(done, all);
                    return !progress.StopRequested();
                });
            progress.Check();
        },
        [this, copy, name, file, size, reduced] {
            Show(*copy, name, file->Profile(), file, texts::Reduced(size, reduced));
        },
        [this] { view_.LogLine(texts::OpenCancelled()); });
    return {Opening::kReduced, size, std::move(work)};
}

void Session::Show(const QImage& image, const std::string& name, const ProfileUse& profile,
                   std::shared_ptr<const PictureFile> original, const QString& line) {
    profile_ = profile;
    picture_.Open(image);
    openDialog_.Used(name);
    original_ = std::move(original);
    // Picks, groups and the mask of another picture mean nothing for this one.
    quantizer_.NewRound(name);
    BeginRound();
    if (!line.isEmpty())
        view_.LogLine(line);
    view_.LogLine(texts::Opened());
}

void Session::BeginRound() {
    picture_.RestorePicture();
    fullSizeCounts_.reset();
    quantizer_.NewRound();
    view_.ClearSwatches();
}

bool Session::RequirePicture() {
    // Without a picture the commands would run on nothing; they say so instead.
    if (HasPicture())
        return true;
    view_.LogLine(texts::NoPicture());
    return false;
}

bool Session::RequireGroups() {
    if (State().GroupCount > 0)
        return true;
    view_.LogLine(texts::NotRun());
    return false;
}

void Session::Button2Click() {
    if (!RequirePicture())
        return;
    // Without a code vector there is nothing to group by.
    if (State().ColorCount == 0) {
        view_.LogLine(texts::NoColourPicked());
        return;
    }
    quantizer_.Button2Click(picture_, view_);
}

std::optional<std::string> Session::Button4Click() {
    // Before the dialog: there is nothing to choose a name for.
    if (!HasPicture())
        throw PictureError(PictureError::Action::kSave, {}, {Problem::kNothingToSave});
    std::optional<std::string> name = saveDialog_.Execute();
    if (name) {
        // As the dialog does: a new name without an extension is a BMP's. What exists keeps
        // its name (a device, or a folder, which is refused).
        const QFileInfo chosen(QString::fromStdString(*name));
        if (chosen.suffix().isEmpty() && !chosen.exists())
            *name += ".bmp";
        picture_.Shown().SaveToFile(*name);
        saveDialog_.Used(*name);
    }
    return name;
}

void Session::Button5Click() {
    if (!RequirePicture())
        return;
    view_.ShowSwatch(kMeanRow, quantizer_.TakeMeanColor(picture_));
}

void Session::Button7Click(int itemIndex) {
    if (!RequirePicture())
        return;
    // Before an execute of this round the table holds no groups of this picture.
    if (!RequireGroups())
        return;
    quantizer_.Mask(picture_, view_, itemIndex);
}

void Session::Image1MouseDown(int x, int y) {
    if (!RequirePicture())
        return;
    // Image1 is larger than most pictures: a click beside the picture picks nothing.
    if (x < 0 || y < 0 || x >= picture_.PictureWidth() || y >= picture_.PictureHeight())
        return;
    PickColor(picture_.GetPixel(x, y));
}

void Session::EnterColourClick() {
    if (!RequirePicture())
        return;
    // As a click: with four picked, the line that says so, and nothing to ask.
    if (State().ColorCount >= kMaxColors) {
        view_.LogLine(texts::PickingDone());
        return;
    }
    if (const std::optional<TColor> c = view_.AskColour())
        PickColor(*c);
}

void Session::Seed(TColor c) {
    if (RequirePicture())
        PickColor(c);
}

void Session::LoadSeedsClick(FileDialog& dialog) {
    if (!RequirePicture())
        return;
    if (const std::optional<std::string> name = dialog.Execute())
        SeedsFromFile(*name);
}

void Session::SeedsFromFile(const std::string& file) {
    if (!RequirePicture())
        return;
    // The whole file first: a malformed one picks nothing.
    const std::vector<TColor> colours = ReadPalette(file);
    int taken = 0;
    if (State().ColorCount >= kMaxColors)
        view_.LogLine(texts::PickingDone());
    for (const TColor c : colours) {
        if (State().ColorCount >= kMaxColors)
            break;
        PickColor(c);
        ++taken;
    }
    view_.LogLine(texts::SeedsTaken(taken, static_cast<int>(colours.size())));
}

void Session::AutoSeedClick() {
    if (!RequirePicture())
        return;
    if (State().ColorCount >= kMaxColors) {
        view_.LogLine(texts::PickingDone());
        return;
    }
    std::vector<TColor> picked;
    for (int i = 0; i < State().ColorCount; ++i)
        picked.push_back(
            PackColor(State().CodeBook[i].R, State().CodeBook[i].G, State().CodeBook[i].B));
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (const TColor c : AutoSeeds(picture_, picked, kMaxColors, threads))
        PickColor(c);
}

std::optional<std::string> Session::LoadInksClick(FileDialog& dialog) {
    const std::optional<std::string> name = dialog.Execute();
    if (name)
        LoadInks(*name);
    return name;
}

void Session::LoadInks(const std::string& file, bool logged) {
    inks_ = std::make_shared<const InkTable>(ReadInks(file));
    if (logged)
        view_.LogLine(texts::InksLoaded(QFileInfo(QString::fromStdString(file)).fileName(),
                                        static_cast<int>(inks_->Inks().size())));
}

std::vector<TColor> Session::InkColours() const {
    return colorsplit::InkColours(GroupColours(), *inks_);
}

void Session::UnpickClick() {
    if (!quantizer_.Unpick())
        return;
    view_.ClearSwatch(State().ColorCount);
    view_.LogLine(texts::Unpicked(State().ColorCount + 1));
}

void Session::RepickClick() {
    if (!RequirePicture())
        return;
    BeginRound();
    view_.LogLine(texts::PicksStartedOver());
}

void Session::PickColor(TColor c) {
    if (quantizer_.Pick(c)) {
        view_.ShowSwatch(State().ColorCount - 1, c);
        view_.LogLine(texts::Picked(State().ColorCount));
    }
    if (State().ColorCount == kMaxColors)
        view_.LogLine(texts::PickingDone());
}

std::vector<TColor> Session::GroupColours() const {
    std::vector<TColor> colours;
    for (int g = 0; g < State().GroupCount; ++g) {
        const PixelRec& v = State().CodeBook[g];
        colours.push_back(PackColor(v.R, v.G, v.B));
    }
    return colours;
}

std::vector<TColor> Session::ShownColours() const {
    return exportSettings_.inkColours ? InkColours() : GroupColours();
}

std::vector<QString> Session::FilmLabels() const {
    const QString picture = QFileInfo(QString::fromStdString(State().OpenFileName)).fileName();
    std::vector<QString> labels;
    for (const GroupStatistic& g : Statistics(GroupColours(), {}, *inks_))
        labels.push_back(texts::FilmLabel(picture, g.group - 1, g.colour,
                                          g.ink ? QString::fromStdString(g.ink->name) : QString()));
    return labels;
}

GroupedBands Session::FullSizeBands() const {
    if (original_)
        return GroupedBands(original_, State().CodeBook, State().GroupCount, kMostPixelsToReduce);
    GroupedPicture shown = TableGrouping();
    return GroupedBands(std::move(shown.picture), std::move(shown.groups));
}

QSize Session::FileSize() const {
    return original_ ? original_->Size() : picture_.Shown().Image().size();
}

GroupedPicture Session::TableGrouping() const {
    GroupedPicture grouped;
    if (!HasGroups())
        return grouped;
    for (const TColor c : GroupColours())
        grouped.colours.push_back(qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
    // The groups the last grouping pass left in the table.
    const QuantState& s = State();
    grouped.picture = picture_.Opened();
    const int w = Quantizer::ClampedWidth(picture_);
    const int h = Quantizer::ClampedHeight(picture_);
    grouped.groups.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            grouped.groups[static_cast<size_t>(y) * w + x] =
                static_cast<std::uint8_t>(s.Pixels[x][y].Group);
    return grouped;
}

GroupedPicture Session::ShownGrouping() const {
    GroupedPicture grouped = TableGrouping();
    if (grouped.groups.empty() || !exportSettings_.ChangesGroups())
        return grouped;
    // Made as the export makes them, on the picture as shown: a reduced copy's cleanup removes
    // regions of what they would cover at full size.
    qint64 minRegion = exportSettings_.minRegion;
    if (original_ && minRegion > 0) {
        const QSize full = original_->Size();
        const double shown = static_cast<double>(grouped.picture.width()) *
                             static_cast<double>(grouped.picture.height());
        minRegion = std::llround(static_cast<double>(minRegion) * shown /
                                 (static_cast<double>(full.width()) * full.height()));
    }
    const GroupedBands bands(grouped.picture, grouped.groups);
    NoProgress quietly;
    const GroupMap map = GroupsOf(bands, ShownColours(), exportSettings_, minRegion, quietly);
    const auto w = static_cast<size_t>(map.Width());
    for (int y = 0; y < map.Height(); ++y)
        map.GetRow(y, grouped.groups.data() + w * static_cast<size_t>(y));
    if (exportSettings_.inkColours) {
        grouped.colours.clear();
        for (const TColor c : ShownColours())
            grouped.colours.push_back(qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
    }
    return grouped;
}

std::vector<double> Session::GroupingKey() const {
    std::vector<double> key;
    for (int g = 0; g < kMaxColors; ++g)
        key.push_back(
            PackColor(State().CodeBook[g].R, State().CodeBook[g].G, State().CodeBook[g].B));
    key.push_back(State().GroupCount);
    // What else changes the groups the export counts.
    const ExportSettings& s = exportSettings_;
    key.insert(key.end(), {static_cast<double>(s.minRegion), static_cast<double>(s.connectivity),
                           s.dither ? 1.0 : 0.0});
    if (s.dither)
        for (const TColor c : ShownColours())
            key.push_back(c);
    return key;
}

std::array<qint64, kMaxColors> Session::TableGroupCounts() const {
    // Counted in the table itself: nothing to copy.
    std::array<qint64, kMaxColors> counts{};
    const int w = Quantizer::ClampedWidth(picture_);
    const int h = Quantizer::ClampedHeight(picture_);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            if (const int g = State().Pixels[x][y].Group; g >= 0 && g < kMaxColors)
                ++counts[static_cast<size_t>(g)];
    return counts;
}

std::vector<GroupStatistic> Session::GroupStatistics() const {
    if (!HasGroups())
        return {};
    const int width = original_ ? original_->Size().width() : picture_.PictureWidth();
    const double cm2 = exportSettings_.AreaCm2(1, width);
    if (original_) {
        // Full-size counts are dear to make: the work of CountFullSize or of an export.
        if (!fullSizeCounts_ || fullSizeCounts_->key != GroupingKey())
            return {};
        return Statistics(GroupColours(), fullSizeCounts_->pixels, *inks_, cm2);
    }
    std::vector<qint64> counts(static_cast<size_t>(State().GroupCount));
    if (exportSettings_.ChangesGroups()) {
        for (const std::uint8_t g : ShownGrouping().groups)
            if (g < counts.size())
                ++counts[g];
    } else {
        const std::array<qint64, kMaxColors> table = TableGroupCounts();
        std::copy(table.begin(), table.begin() + State().GroupCount, counts.begin());
    }
    return Statistics(GroupColours(), counts, *inks_, cm2);
}

std::shared_ptr<const LongWork> Session::CountFullSize() {
    if (!original_ || !HasGroups() || (fullSizeCounts_ && fullSizeCounts_->key == GroupingKey()))
        return nullptr;
    const GroupedBands bands = FullSizeBands();
    const std::vector<TColor> colours = ShownColours();
    const ExportSettings settings = exportSettings_;
    const auto key = GroupingKey();
    auto counts = std::make_shared<std::vector<qint64>>();
    return std::make_shared<const LongWork>(
        LongWork::Kind::kCount, QFileInfo(QString::fromStdString(State().OpenFileName)).fileName(),
        [bands, colours, settings, counts](Progress& progress) {
            *counts = CountBands(bands, colours, settings, progress);
        },
        [this, key, counts] {
            fullSizeCounts_ = Counts{key, *counts};
        },
        [this] { view_.LogLine(texts::CountCancelled()); });
}

std::string Session::ExportStem() const {
    return QFileInfo(QString::fromStdString(State().OpenFileName)).completeBaseName().toStdString();
}

std::shared_ptr<const LongWork> Session::ExportClick() {
    if (!RequirePicture() || !RequireGroups())
        return nullptr;
    const std::optional<std::string> folder = exportDialog_.Execute();
    if (!folder)
        return nullptr;
    // Before any question: settings that cannot be used write nothing.
    exportSettings_.Check(original_ ? original_->Size() : picture_.Opened().size());
    std::vector<std::string> existing;
    const QDir dir(QString::fromStdString(*folder));
    for (const std::string& name :
         ExportFileNames(ExportStem(), State().GroupCount, exportSettings_))
        if (QFileInfo::exists(dir.filePath(QString::fromStdString(name))))
            existing.push_back(name);
    if (!existing.empty() && !view_.ConfirmReplace(*folder, existing))
        return nullptr;
    return ExportGroups(*folder);
}

std::shared_ptr<const LongWork> Session::ExportGroups(const std::string& folder) {
    if (!HasPicture())
        throw PictureError(PictureError::Action::kExport, {}, {Problem::kNothingToExport});
    if (!HasGroups())
        throw PictureError(PictureError::Action::kExport, {}, {Problem::kNotGrouped});
    exportSettings_.Check(original_ ? original_->Size() : picture_.Opened().size());
    const QString path = QFileInfo(QString::fromStdString(folder)).absoluteFilePath();
    if (!QDir().mkpath(path))
        throw PictureError(PictureError::Action::kExport, path.toStdString(),
                           {Problem::kCannotMakeFolder});
    // What the worker needs, fixed now: the state may not be read from its thread.
    const GroupedBands bands = FullSizeBands();
    ExportJob job;
    job.folder = path.toStdString();
    job.stem = ExportStem();
    job.colours = GroupColours();
    job.inks = *inks_;
    job.shownColours = ShownColours();
    job.labels = FilmLabels();
    job.settings = exportSettings_;
    const auto key = GroupingKey();
    const bool fullSize = original_ != nullptr;
    auto counts = std::make_shared<std::vector<qint64>>();
    return std::make_shared<const LongWork>(
        LongWork::Kind::kExport, path,
        [bands, job, counts](Progress& progress) { *counts = WriteExport(job, bands, progress); },
        [this, counts, key, path, fullSize] {
            exportDialog_.Used(path.toStdString());
            if (fullSize)
                fullSizeCounts_ = Counts{key, *counts};
            view_.LogLine(texts::Exported(path));
        },
        [this] { view_.LogLine(texts::ExportCancelled()); });
}

std::shared_ptr<const LongWork> Session::StatisticsClick() {
    if (!RequirePicture() || !RequireGroups())
        return nullptr;
    const std::shared_ptr<const LongWork> counting = CountFullSize();
    if (!counting) {
        view_.ShowStatistics(GroupStatistics());
        return nullptr;
    }
    // The counting, and the table once the pixels are counted.
    return std::make_shared<const LongWork>(
        counting->WhatFor(), counting->Subject(),
        [counting](Progress& progress) { counting->RunOn(progress); },
        [this, counting] {
            counting->Apply();
            view_.ShowStatistics(GroupStatistics());
        },
        [counting] { counting->WasCancelled(); });
}

}  // namespace colorsplit
