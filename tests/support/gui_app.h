#pragma once

#include <QCoreApplication>
#include <QGuiApplication>

namespace colorsplit::test {

// Films' labels need fonts, and fonts a QGuiApplication: an offscreen one, made once, for test
// programs that run without a window.
inline void NeedGui() {
    static int argc = 1;
    static char name[] = "colorsplit-tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

}  // namespace colorsplit::test
