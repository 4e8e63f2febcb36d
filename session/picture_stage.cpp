#include "session/picture_stage.h"

namespace colorsplit {

PictureStage::PictureStage(std::function<void()> changed) : changed_(std::move(changed)) {}

void PictureStage::Open(const QImage& image) {
    shown_.Assign(image);
    opened_ = shown_.Image();
    Refresh();
}

void PictureStage::RestorePicture() {
    shown_.Assign(opened_);
    Refresh();
}

void PictureStage::Refresh() {
    if (changed_)
        changed_();
}

PictureAccess::ConstPixelRows PictureStage::ReadRows() const {
    return {shown_.ConstBits(), shown_.WordsPerLine()};
}

PictureAccess::PixelRows PictureStage::WriteRows() {
    return {shown_.Bits(), shown_.WordsPerLine()};
}

}  // namespace colorsplit
