#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>
#include <exception>
#include <optional>

#include "session/texts.h"
#include "ui/tform1.h"

namespace {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

void ShowFatal(const QString& message) {
    if (QApplication::instance() != nullptr)
        QMessageBox::critical(nullptr, QStringLiteral("colorsplit"), message);
    else
        std::fprintf(stderr, "colorsplit: %s\n", message.toLocal8Bit().constData());
}

// What the command line may hold. It is read before any window system is reached, so that
// --help and --version work without a display.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            colorsplit::texts::HelpOption()};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               colorsplit::texts::VersionOption()};
};

void Describe(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(colorsplit::texts::WindowDescription());
    parser.addOption(options.help);
    parser.addOption(options.version);
    parser.addPositionalArgument(QStringLiteral("FILE"), colorsplit::texts::WindowFileArgument(),
                                 QStringLiteral("[FILE]"));
}

// Answers --help, --version and a malformed command line; nullopt when the window is to open.
std::optional<int> Answer(const QCommandLineParser& parser, bool parsed, const Options& options) {
    if (parsed && !parser.isSet(options.help) && !parser.isSet(options.version))
        return std::nullopt;
    // The help text names the program after the application's first argument.
    int argc = 1;
    char name[] = "colorsplit";
    char* argv[] = {name, nullptr};
    const QCoreApplication app(argc, argv);
    if (!parsed) {
        std::fprintf(stderr, "colorsplit: %s\n%s\nTry 'colorsplit --help' for more.\n",
                     parser.errorText().toLocal8Bit().constData(),
                     parser.helpText().section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData());
        return kExitUsage;
    }
    if (parser.isSet(options.help))
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
    else
        std::printf("colorsplit %s\n", COLORSPLIT_VERSION);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Options options;
    QCommandLineParser parser;
    Describe(parser, options);
    const bool parsed = parser.parse(arguments);
    if (const std::optional<int> status = Answer(parser, parsed, options))
        return *status;
    const QStringList files = parser.positionalArguments();

    // Qt is given the program name only: the command line is the program's own.
    int qtArgc = argc > 0 ? 1 : 0;
    int status = kExitOk;
    try {
        QApplication app(qtArgc, argv);
        // Docks and task bars match the running window to its launcher by this name.
        QGuiApplication::setDesktopFileName(QStringLiteral("io.github.colorsplit.Colorsplit"));
        // Every text of the window is Traditional Chinese; Qt's own dialogs and buttons follow
        // where its translations are installed.
        QTranslator qtTexts;
        if (qtTexts.load(QStringLiteral("qtbase_zh_TW"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&qtTexts);
        try {
            colorsplit::TForm1 form;
            form.show();
            if (!files.isEmpty())
                form.OpenFile(files.constFirst());
            QApplication::exec();
        } catch (const std::exception& e) {
            ShowFatal(QString::fromUtf8(e.what()));
            status = kExitFailed;
        } catch (...) {
            ShowFatal(QString());
            status = kExitFailed;
        }
    } catch (const std::exception& e) {
        ShowFatal(QString::fromUtf8(e.what()));
        status = kExitFailed;
    } catch (...) {
        ShowFatal(QString());
        status = kExitFailed;
    }
    return status;
}
