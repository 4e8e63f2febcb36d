// Runs GoogleTest inside a QApplication. Offscreen unless a platform is chosen, so the same
// binary also runs under a real X server.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // What the window remembers between runs goes to a folder of this run's own, never to the
    // user's settings, and starts empty.
    char settings[] = "/tmp/colorsplit-tests-XXXXXX";
    if (mkdtemp(settings) != nullptr)
        setenv("XDG_CONFIG_HOME", settings, 1);
    // So does the desktop's list of recently used files.
    char data[] = "/tmp/colorsplit-tests-XXXXXX";
    if (mkdtemp(data) != nullptr)
        setenv("XDG_DATA_HOME", data, 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
    std::filesystem::remove_all(settings);
    std::filesystem::remove_all(data);
    return status;
}
