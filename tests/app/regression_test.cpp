// Inputs that once broke the program, kept from fuzzing, through the same path the fuzzer
// drives: open, four picks, execute, mask, save. (The broken-file corpus runs in the picture
// layer's tests, under the sanitizers too.)
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fuzz/one_input.h"
#include "support/watched_new.h"

namespace colorsplit {
namespace {

TEST(FuzzRegressions, KeptInputsRunToTheEnd) {
    // Pictures here stay under 4 million pixels, so no block of ours comes near 1 GiB; a size
    // claimed in a header and asked for before the data behind it is read would. Refused rather
    // than granted, so that such a fault fails the test instead of passing slowly.
    test::refuseAbove = std::size_t{1} << 30;
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
        EXPECT_EQ(test::refusedBlocks.exchange(0), 0) << "asked for more than 1 GiB at once";
        ++inputs;
    }
    EXPECT_GE(inputs, 1);
}

}  // namespace
}  // namespace colorsplit
