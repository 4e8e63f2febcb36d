#pragma once

#include <QImage>
#include <functional>

#include "core/picture_access.h"
#include "platform/picture.h"

namespace colorsplit {

// The picture the commands work on: the one shown, which masks paint on, and the one as it
// was opened, which a mask starts again from. It is the core's PictureAccess.
class PictureStage : public PictureAccess {
public:
    // changed runs whenever the shown picture is replaced or painted on.
    explicit PictureStage(std::function<void()> changed = {});

    // A newly opened picture, shown and kept as opened.
    void Open(const QImage& image);
    const Picture& Shown() const { return shown_; }
    const QImage& Opened() const { return opened_; }
    bool IsEmpty() const { return shown_.IsEmpty(); }

    // PictureAccess
    int PictureWidth() const override { return shown_.Width(); }
    int PictureHeight() const override { return shown_.Height(); }
    TColor GetPixel(int x, int y) const override { return shown_.GetPixel(x, y); }
    void SetPixel(int x, int y, TColor c) override { shown_.SetPixel(x, y, c); }
    void RestorePicture() override;
    void Refresh() override;
    ConstPixelRows ReadRows() const override;
    PixelRows WriteRows() override;

private:
    std::function<void()> changed_;
    Picture shown_;
    // A shared copy: it costs nothing until the shown picture is painted on.
    QImage opened_;
};

}  // namespace colorsplit
