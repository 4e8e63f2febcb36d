// Inputs that once broke the program, kept from fuzzing, through the same path the fuzzer
// drives: open, four picks, execute, mask, save. (The broken-file corpus runs in the picture
// layer's tests, under the sanitizers too.)
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fuzz/one_input.h"

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
        ++inputs;
    }
    EXPECT_GE(inputs, 1);
}

}  // namespace
}  // namespace colorsplit
