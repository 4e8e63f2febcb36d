#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/picture_access.h"

namespace colorsplit::test {

// A picture held in memory, row by row.
struct FakePicture {
    int width = 0;
    int height = 0;
    std::vector<TColor> pixels;

    FakePicture() = default;
    FakePicture(int w, int h, TColor fill = 0) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    TColor& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    TColor at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// The core's picture and observer without a window: a picture in memory, the picture as
// opened, and a record of every event, as "run", "sampled", "iteration N", "group G C",
// "ended N" and "masked", and of each group's colour shown.
class FakeHost : public PictureAccess, public QuantObserver {
public:
    FakePicture picture;
    // What RestorePicture shows again; nullopt makes it fail.
    std::optional<FakePicture> opened;
    std::vector<std::string> log;
    std::vector<std::pair<int, TColor>> swatches;
    int refreshes = 0;
    int restores = 0;
    // The size reported, when it should differ from the picture's own.
    std::optional<int> reportedWidth;
    std::optional<int> reportedHeight;

    int PictureWidth() const override { return reportedWidth.value_or(picture.width); }
    int PictureHeight() const override { return reportedHeight.value_or(picture.height); }
    TColor GetPixel(int x, int y) const override {
        if (x < 0 || y < 0 || x >= picture.width || y >= picture.height)
            return -1;
        return picture.at(x, y);
    }
    void SetPixel(int x, int y, TColor c) override {
        if (x < 0 || y < 0 || x >= picture.width || y >= picture.height)
            return;
        picture.at(x, y) = c;
    }
    void RestorePicture() override {
        if (!opened)
            throw std::runtime_error("nothing to restore");
        picture = *opened;
        ++restores;
    }
    void Refresh() override { ++refreshes; }

    void RunStarting() override { log.push_back("run"); }
    void RunSampled() override { log.push_back("sampled"); }
    void IterationStarting(int n) override { log.push_back("iteration " + std::to_string(n)); }
    void GroupMoved(int g, TColor c) override {
        swatches.emplace_back(g, c);
        log.push_back("group " + std::to_string(g) + " " + std::to_string(c));
    }
    void RunEnded(int n) override { log.push_back("ended " + std::to_string(n)); }
    void MaskPainted() override { log.push_back("masked"); }
};

}  // namespace colorsplit::test
