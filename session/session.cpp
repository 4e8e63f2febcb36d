#include "session/session.h"

#include <optional>

#include "platform/picture_error.h"

namespace colorsplit {

namespace {

const char* const kTooLarge = "圖片超過1280x960,無法載入";
const char* const kNoPicture = "尚未載入檔案";
const char* const kNoColour = "尚未選擇顏色";
const char* const kNotRun = "尚未執行運算";

bool FitsTable(const QSize& size) {
    return size.width() <= kTableWidth && size.height() <= kTableHeight;
}

}  // namespace

Session::Session(SessionView& view, FileDialog& openDialog, FileDialog& saveDialog)
    : view_(view), openDialog_(openDialog), saveDialog_(saveDialog) {}

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
    const PictureFile file(name);
    const QSize size = file.Size();
    if (!FitsTable(size)) {
        LogLine(kTooLarge);
        return {Opening::kTooLarge, size};
    }
    picture_.Assign(file.Decode(Picture::kReadLimitPixels));
    opened_ = picture_.Image();
    state_.OpenFileName = name;
    // Picks, groups and the mask of another picture mean nothing for this one.
    state_.NewRound();
    view_.ClearSwatches();
    view_.PictureChanged();
    LogLine("開檔完成,請選擇四種顏色");
    return {Opening::kOpened, size};
}

bool Session::RequirePicture() {
    // Without a picture the commands would run on nothing; they say so instead.
    if (HasPicture())
        return true;
    LogLine(kNoPicture);
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
    if (state_.GroupCount == 0) {
        LogLine(kNotRun);
        return;
    }
    state_.Mask(*this, itemIndex);
}

void Session::Image1MouseDown(int x, int y) {
    if (!RequirePicture())
        return;
    // Image1 is larger than most pictures: a click beside the picture picks nothing.
    if (x < 0 || y < 0 || x >= PictureWidth() || y >= PictureHeight())
        return;
    Quantizer& s = state_;
    if (s.ColorCount < kMaxColors) {
        const TColor c = GetPixel(x, y);
        s.SelColor[s.ColorCount] = c;
        ShowSwatch(s.ColorCount, c);
        PixelRec& v = s.CodeBook[s.ColorCount];
        v.R = RedOf(c);
        v.G = GreenOf(c);
        v.B = BlueOf(c);
        ++s.ColorCount;
        LogLine("選擇顏色" + std::to_string(s.ColorCount));
    }
    if (s.ColorCount == kMaxColors)
        LogLine("選擇顏色完成");
}

void Session::RestorePicture() {
    picture_.Assign(opened_);
    view_.PictureChanged();
}

}  // namespace colorsplit
