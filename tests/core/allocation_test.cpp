// The execute command allocates nothing once the state exists: every operator new in this
// program is counted.
#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include "core/quantizer.h"
#include "support/photo.h"
#include "support/watched_new.h"

namespace colorsplit {
namespace {

// A picture in memory and an observer that keeps nothing, so that only the core could allocate.
class QuietHost : public PictureAccess, public QuantObserver {
public:
    explicit QuietHost(std::vector<TColor> pixels) : pixels_(std::move(pixels)) {}
    int PictureWidth() const override { return kTableWidth; }
    int PictureHeight() const override { return kTableHeight; }
    TColor GetPixel(int x, int y) const override { return pixels_[size_t(y) * kTableWidth + x]; }
    void SetPixel(int, int, TColor) override {}
    void RestorePicture() override {}
    void Refresh() override {}
    void RunStarting() override {}
    void RunSampled() override {}
    void IterationStarting(int) override { ++iterations; }
    void GroupMoved(int, TColor) override {}
    void RunEnded(int) override {}
    void MaskPainted() override {}
    long iterations = 0;

private:
    std::vector<TColor> pixels_;
};

// On every instruction set this CPU runs (Highway's own per-target test support).
class Allocation : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(Allocation);

TEST_P(Allocation, ExecuteAllocatesNothing) {
    QuietHost host(test::PhotoLike(kTableWidth, kTableHeight, 3));
    auto q = std::make_unique<Quantizer>();
    for (const TColor c : {host.GetPixel(10, 10), host.GetPixel(900, 100), host.GetPixel(300, 800),
                           host.GetPixel(1200, 900)})
        q->Pick(c);
    const long before = test::newCalls.load();
    q->Button2Click(host, host);
    EXPECT_EQ(test::newCalls.load() - before, 0);
    EXPECT_GE(q->View().RunCount, 1);
    EXPECT_GT(host.iterations, 0);
}

}  // namespace
}  // namespace colorsplit
