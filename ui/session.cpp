#include "ui/session.h"

#include <optional>

#include "platform/picture_error.h"

namespace colorsplit {

namespace {

const char* const kTooLarge = "圖片超過1280x960,無法載入";

bool FitsTable(const QSize& size) {
    return size.width() <= kTableWidth && size.height() <= kTableHeight;
}

// The picture in the file, or nullopt when it is larger than the table. The declared size is
// checked before anything is decoded; the decoded one again, for readers that declare none.
std::optional<QImage> ReadFitting(const std::string& name) {
    if (!FitsTable(Picture::ReadSize(name)))
        return std::nullopt;
    QImage image = Picture::ReadFile(name);
    if (!FitsTable(image.size()))
        return std::nullopt;
    return image;
}

}  // namespace

Session::Session(SessionView& view, FileDialog& openDialog, FileDialog& saveDialog)
    : view_(view), openDialog_(openDialog), saveDialog_(saveDialog) {}

void Session::FormCreate() {
    state_.MaskDone = false;
    LogLine("尚未載入檔案");
    state_.ColorCount = 0;
    state_.Distortion = 0.0f;
    state_.LastDistortion = kInitialLastDistortion;
}

void Session::Button1Click() {
    openDialog_.Execute();
    OpenChosenFile();
}

void Session::OpenChosenFile() {
    const std::string name = openDialog_.FileName();
    if (name.empty())
        return;
    // Refused pictures change nothing: OpenFileName is only taken once the picture is shown,
    // so a later mask never reloads a file that could not be opened.
    std::optional<QImage> image = ReadFitting(name);
    if (!image) {
        LogLine(kTooLarge);
        return;
    }
    picture_.Assign(*image);
    state_.OpenFileName = name;
    view_.PictureChanged();
    LogLine("開檔完成,請選擇四種顏色");
}

void Session::Button2Click() {
    state_.Button2Click(*this);
}

void Session::Button4Click() {
    saveDialog_.Execute();
    const std::string name = saveDialog_.FileName();
    if (name.empty())
        return;
    picture_.SaveToFile(name);
}

void Session::Button5Click() {
    state_.SparateColor(*this);
    state_.MeanColor = state_.Computer_Mean(*this);
    ShowSwatch(4, state_.MeanColor);
}

void Session::Button7Click(int itemIndex) {
    state_.Mask(*this, itemIndex);
}

void Session::Image1MouseDown(int x, int y) {
    Quantizer& s = state_;
    if (s.ColorCount < kMaxColors) {
        // Outside the picture, or with none open, the read gives -1: stored as it is, shown
        // as -1 and split into (255, 255, 255).
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

void Session::LoadFromFile(const std::string& fileName) {
    std::optional<QImage> image = ReadFitting(fileName);
    if (!image)
        throw PictureError(kTooLarge);
    picture_.Assign(*image);
    view_.PictureChanged();
}

}  // namespace colorsplit
