// Inputs that once broke the program, kept from fuzzing, through the same path the fuzzer
// drives: open, four picks, execute, mask, save. (The broken-file corpus runs in the picture
// layer's tests, under the sanitizers too.)
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cstdlib>
#include <new>

#include "fuzz/one_input.h"

namespace {
// Pictures here stay under 4 million pixels, so no block of ours comes near this; a claim in a
// header that is asked for before the data behind it is read would. Refused rather than
// granted, so that such a fault fails the test instead of passing slowly.
constexpr std::size_t kLargestBlock = std::size_t{1} << 30;
std::atomic<int> refusedBlocks{0};
}  // namespace

// GCC pairs the free below with the new it sees inlined at call sites and warns of a
// mismatch; both sides are these replacements, which use malloc and free throughout.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (size > kLargestBlock) {
        ++refusedBlocks;
        throw std::bad_alloc();
    }
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
#pragma GCC diagnostic pop

namespace colorsplit {
namespace {

TEST(FuzzRegressions, KeptInputsRunToTheEnd) {
    QTemporaryDir dir;
    const QDir kept(QStringLiteral(COLORSPLIT_FUZZ_REGRESSIONS));
    int inputs = 0;
    for (const QString& name : kept.entryList(QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        QFile file(kept.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        fuzz::RunOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()), dir.path().toStdString());
        EXPECT_EQ(refusedBlocks.exchange(0), 0) << "asked for more than 1 GiB at once";
        ++inputs;
    }
    EXPECT_GE(inputs, 1);
}

}  // namespace
}  // namespace colorsplit
