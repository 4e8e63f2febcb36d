#include "session/session.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "platform/picture_error.h"
#include "platform/reduce.h"

namespace colorsplit {

namespace {

const char* const kTooLarge = "圖片超過1280x960,無法載入";
const char* const kNoPicture = "尚未載入檔案";
const char* const kNoColour = "尚未選擇顏色";
const char* const kNotRun = "尚未執行運算";
const char* const kPickingDone = "選擇顏色完成";

bool FitsTable(const QSize& size) {
    return size.width() <= kTableWidth && size.height() <= kTableHeight;
}

}  // namespace

Session::Session(SessionView& view, FileDialog& openDialog, FileDialog& saveDialog,
                 FileDialog& exportDialog)
    : view_(view), openDialog_(openDialog), saveDialog_(saveDialog), exportDialog_(exportDialog) {}

void Session::FormCreate() {
    state_.MaskDone = false;
    LogLine(kNoPicture);
    state_.ColorCount = 0;
    state_.Distortion = 0.0f;
    state_.LastDistortion = kInitialLastDistortion;
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
    auto file = std::make_shared<const PictureFile>(name);
    const QSize size = file->Size();
    if (FitsTable(size)) {
        Show(file->Decode(Picture::kReadLimitPixels), name, nullptr, {});
        return {Opening::kOpened, size};
    }
    LogLine(kTooLarge);
    if (static_cast<qint64>(size.width()) * size.height() > kMostPixelsToReduce)
        throw PictureError(QStringLiteral("無法開啟「%1」:圖片太大(%2 x %3),最多可縮小開啟 %4 像素")
                               .arg(QString::fromStdString(name))
                               .arg(size.width())
                               .arg(size.height())
                               .arg(kMostPixelsToReduce)
                               .toStdString());
    const QSize reduced = ReducedSize(size, QSize(kTableWidth, kTableHeight));
    if (!view_.OpenReduced(name, size, reduced))
        return {Opening::kTooLarge, size};
    const QImage copy = Reduce(file->Decode(kMostPixelsToReduce), reduced);
    Show(copy, name, std::move(file),
         "原圖" + std::to_string(size.width()) + "x" + std::to_string(size.height()) + ",已縮小為" +
             std::to_string(reduced.width()) + "x" + std::to_string(reduced.height()));
    return {Opening::kReduced, size};
}

void Session::Show(const QImage& image, const std::string& name,
                   std::shared_ptr<const PictureFile> original, const std::string& line) {
    picture_.Assign(image);
    opened_ = picture_.Image();
    original_ = std::move(original);
    state_.OpenFileName = name;
    // Picks, groups and the mask of another picture mean nothing for this one.
    BeginRound();
    if (!line.empty())
        LogLine(line);
    LogLine("開檔完成,請選擇四種顏色");
}

bool Session::RequirePicture() {
    // Without a picture the commands would run on nothing; they say so instead.
    if (HasPicture())
        return true;
    LogLine(kNoPicture);
    return false;
}

bool Session::RequireGroups() {
    if (state_.GroupCount > 0)
        return true;
    LogLine(kNotRun);
    return false;
}

void Session::Button2Click() {
    if (!RequirePicture())
        return;
    // Without a code vector there is nothing to group by.
    if (state_.ColorCount == 0) {
        LogLine(kNoColour);
        return;
    }
    state_.Button2Click(*this);
}

void Session::Button4Click() {
    // Before the dialog: there is nothing to choose a name for.
    if (!HasPicture())
        throw PictureError("無法儲存:沒有可儲存的圖片");
    if (const std::optional<std::string> name = saveDialog_.Execute())
        picture_.SaveToFile(*name);
}

void Session::Button5Click() {
    if (!RequirePicture())
        return;
    state_.SparateColor(*this);
    state_.MeanColor = state_.Computer_Mean(*this);
    ShowSwatch(4, state_.MeanColor);
}

void Session::Button7Click(int itemIndex) {
    if (!RequirePicture())
        return;
    // Before an execute of this round the table holds no groups of this picture.
    if (!RequireGroups())
        return;
    state_.Mask(*this, itemIndex);
}

void Session::Image1MouseDown(int x, int y) {
    if (!RequirePicture())
        return;
    // Image1 is larger than most pictures: a click beside the picture picks nothing.
    if (x < 0 || y < 0 || x >= PictureWidth() || y >= PictureHeight())
        return;
    PickColor(GetPixel(x, y));
}

void Session::EnterColourClick() {
    if (!RequirePicture())
        return;
    // As a click: with four picked, the line that says so, and nothing to ask.
    if (state_.ColorCount >= kMaxColors) {
        LogLine(kPickingDone);
        return;
    }
    if (const std::optional<TColor> c = view_.AskColour())
        PickColor(*c);
}

void Session::Seed(TColor c) {
    if (RequirePicture())
        PickColor(c);
}

void Session::UnpickClick() {
    if (!state_.Unpick())
        return;
    view_.ClearSwatch(state_.ColorCount);
    LogLine("取消選擇顏色" + std::to_string(state_.ColorCount + 1));
}

void Session::RepickClick() {
    if (!RequirePicture())
        return;
    BeginRound();
    LogLine("請重新選擇四種顏色");
}

void Session::BeginRound() {
    picture_.Assign(opened_);
    fullSizeCounts_.reset();
    state_.NewRound();
    view_.ClearSwatches();
    view_.PictureChanged();
}

void Session::PickColor(TColor c) {
    if (state_.Pick(c)) {
        ShowSwatch(state_.ColorCount - 1, c);
        LogLine("選擇顏色" + std::to_string(state_.ColorCount));
    }
    if (state_.ColorCount == kMaxColors)
        LogLine(kPickingDone);
}

GroupedPicture Session::Grouping() const {
    GroupedPicture grouped;
    if (!HasGroups())
        return grouped;
    const int k = state_.GroupCount;
    for (int g = 0; g < k; ++g) {
        const PixelRec& v = state_.CodeBook[g];
        grouped.colours.push_back(qRgb(v.R, v.G, v.B));
    }
    if (original_) {
        grouped.picture = original_->Decode(kMostPixelsToReduce);
        grouped.groups = GroupPixels(grouped.picture, state_.CodeBook, k);
        return grouped;
    }
    // The groups the last grouping pass left in the table.
    grouped.picture = opened_;
    const int w = Quantizer::ClampedWidth(*this);
    const int h = Quantizer::ClampedHeight(*this);
    grouped.groups.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            grouped.groups[static_cast<size_t>(y) * w + x] =
                static_cast<std::uint8_t>(state_.Pixels[x][y].Group);
    return grouped;
}

std::array<TColor, kMaxColors + 1> Session::GroupingKey() const {
    std::array<TColor, kMaxColors + 1> key{};
    for (int g = 0; g < kMaxColors; ++g)
        key[g] = PackColor(state_.CodeBook[g].R, state_.CodeBook[g].G, state_.CodeBook[g].B);
    key[kMaxColors] = state_.GroupCount;
    return key;
}

std::vector<qint64> Session::GroupCounts() const {
    const int k = state_.GroupCount;
    if (original_) {
        if (!fullSizeCounts_ || fullSizeCounts_->key != GroupingKey())
            fullSizeCounts_ = Counts{GroupingKey(), CountGroups(Grouping().groups, k)};
        return fullSizeCounts_->pixels;
    }
    // Counted in the table itself: nothing to copy.
    std::vector<qint64> counts(static_cast<size_t>(k));
    const int w = Quantizer::ClampedWidth(*this);
    const int h = Quantizer::ClampedHeight(*this);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            if (const int g = state_.Pixels[x][y].Group; g >= 0 && g < k)
                ++counts[static_cast<size_t>(g)];
    return counts;
}

std::vector<GroupStatistic> Session::GroupStatistics() const {
    if (!HasGroups())
        return {};
    std::vector<TColor> colours;
    for (int g = 0; g < state_.GroupCount; ++g)
        colours.push_back(
            PackColor(state_.CodeBook[g].R, state_.CodeBook[g].G, state_.CodeBook[g].B));
    return Statistics(colours, GroupCounts());
}

std::string Session::ExportStem() const {
    return QFileInfo(QString::fromStdString(state_.OpenFileName)).completeBaseName().toStdString();
}

void Session::ExportClick() {
    if (!RequirePicture() || !RequireGroups())
        return;
    const std::optional<std::string> folder = exportDialog_.Execute();
    if (!folder)
        return;
    std::vector<std::string> existing;
    const QDir dir(QString::fromStdString(*folder));
    for (const std::string& name : ExportFileNames(ExportStem(), state_.GroupCount))
        if (QFileInfo::exists(dir.filePath(QString::fromStdString(name))))
            existing.push_back(name);
    if (!existing.empty() && !view_.ConfirmReplace(*folder, existing))
        return;
    ExportGroups(*folder);
}

void Session::ExportGroups(const std::string& folder) {
    if (!HasPicture())
        throw PictureError("無法匯出:沒有可匯出的圖片");
    if (!HasGroups())
        throw PictureError("無法匯出:尚未執行運算");
    const QString path = QFileInfo(QString::fromStdString(folder)).absoluteFilePath();
    if (!QDir().mkpath(path))
        throw PictureError(QStringLiteral("無法匯出「%1」:無法建立資料夾").arg(path).toStdString());
    const GroupedPicture grouped = Grouping();
    std::vector<TColor> colours;
    for (const QRgb c : grouped.colours)
        colours.push_back(PackColor(qRed(c), qGreen(c), qBlue(c)));
    const std::vector<qint64> counts = CountGroups(grouped.groups, state_.GroupCount);
    if (original_)
        fullSizeCounts_ = Counts{GroupingKey(), counts};
    WriteExport(path.toStdString(), ExportStem(), grouped, Statistics(colours, counts));
    LogLine("匯出完成,檔案存於" + path.toStdString());
}

void Session::StatisticsClick() {
    if (RequirePicture() && RequireGroups())
        view_.ShowStatistics(GroupStatistics());
}

void Session::RestorePicture() {
    picture_.Assign(opened_);
    view_.PictureChanged();
}

}  // namespace colorsplit
