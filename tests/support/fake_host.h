#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/quant_host.h"

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

// The core's host without a window: a picture in memory, the picture as opened, and a record
// of everything logged and shown.
class FakeHost : public QuantHost {
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
    void LogLine(const std::string& text) override { log.push_back(text); }
    void ShowSwatch(int row, TColor c) override { swatches.emplace_back(row, c); }
};

}  // namespace colorsplit::test
