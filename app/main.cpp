#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>
#include <exception>

#include "ui/tform1.h"

colorsplit::TForm1* Form1 = nullptr;

namespace {

void ShowFatal(const QString& message) {
    if (QApplication::instance() != nullptr)
        QMessageBox::critical(nullptr, QStringLiteral("colorsplit"), message);
    else
        std::fprintf(stderr, "colorsplit: %s\n", message.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
    // The window takes no arguments: Qt is given the program name only.
    int qtArgc = argc > 0 ? 1 : 0;
    try {
        QApplication app(qtArgc, argv);
        // Every text of the window is Traditional Chinese; Qt's own dialogs and buttons follow
        // where its translations are installed.
        QTranslator qtTexts;
        if (qtTexts.load(QStringLiteral("qtbase_zh_TW"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&qtTexts);
        try {
            colorsplit::TForm1 form;
            Form1 = &form;
            form.show();
            QApplication::exec();
            Form1 = nullptr;
        } catch (const std::exception& e) {
            ShowFatal(QString::fromUtf8(e.what()));
        } catch (...) {
            ShowFatal(QString());
        }
    } catch (const std::exception& e) {
        ShowFatal(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowFatal(QString());
    }
    return 0;
}
