// The execute command allocates nothing once the state exists: every operator new in this
// program is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/quantizer.h"
#include "support/photo.h"

namespace {
std::atomic<long> allocations{0};
}

// GCC pairs the free below with the new it sees inlined at call sites and warns of a
// mismatch; both sides are these replacements, which use malloc and free throughout.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace colorsplit {
namespace {

// A picture in memory and a log that keeps nothing, so that only the core could allocate.
class QuietHost : public QuantHost {
public:
    explicit QuietHost(std::vector<TColor> pixels) : pixels_(std::move(pixels)) {}
    int PictureWidth() const override { return kTableWidth; }
    int PictureHeight() const override { return kTableHeight; }
    TColor GetPixel(int x, int y) const override { return pixels_[size_t(y) * kTableWidth + x]; }
    void SetPixel(int, int, TColor) override {}
    void RestorePicture() override {}
    void Refresh() override {}
    void LogLine(const std::string& text) override { lines += text.empty() ? 0 : 1; }
    void ShowSwatch(int, TColor) override {}
    long lines = 0;

private:
    std::vector<TColor> pixels_;
};

TEST(Allocation, ExecuteAllocatesNothing) {
    QuietHost host(test::PhotoLike(kTableWidth, kTableHeight, 3));
    auto q = std::make_unique<Quantizer>();
    q->LastDistortion = kInitialLastDistortion;
    for (const TColor c : {host.GetPixel(10, 10), host.GetPixel(900, 100), host.GetPixel(300, 800),
                           host.GetPixel(1200, 900)}) {
        q->SelColor[q->ColorCount] = c;
        q->CodeBook[q->ColorCount] = {RedOf(c), GreenOf(c), BlueOf(c), 0};
        ++q->ColorCount;
    }
    std::vector<Kernel> kernels = CompiledKernels();
    kernels.push_back(kWidestKernel);
    for (const Kernel kernel : kernels) {
        if (!KernelAvailable(kernel))
            continue;
        q->GroupKernel = kernel;
        q->LastDistortion = kInitialLastDistortion;
        const long before = allocations.load();
        q->Button2Click(host);
        EXPECT_EQ(allocations.load() - before, 0) << KernelName(kernel);
        EXPECT_GE(q->RunCount, 1);
    }
    EXPECT_GT(host.lines, 0);
}

}  // namespace
}  // namespace colorsplit
