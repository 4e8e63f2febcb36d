// colorsplit-cli: replays a use of the window without a display and prints its message log.
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/palette.h"
#include "platform/picture_error.h"
#include "platform/safe_file.h"
#include "session/batch.h"
#include "session/file_dialog.h"
#include "session/session.h"
#include "session/texts.h"

namespace {

using colorsplit::TColor;

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct Command {
    enum Kind {
        kOpen,
        kPick,
        kExecute,
        kMask,
        kSave,
        kMean,
        kSeed,
        kExport,
        kUnpick,
        kRepick,
        kSeeds,
        kAutoSeed
    } kind;
    std::string path;
    int x = 0;
    int y = 0;
    TColor colour = 0;
};

struct Options {
    std::optional<std::string> summaryFile;
    std::optional<std::string> inksFile;
    bool fit = false;
    colorsplit::ExportSettings exportSettings;
    bool applyProfiles = true;
    std::vector<Command> commands;
};

struct UsageError {
    std::string message;
};

std::optional<int> ParseInt(const char* text) {
    int value = 0;
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || ptr == text)
        return std::nullopt;
    return value;
}

int IntArgument(const std::vector<std::string>& args, size_t& i, const char* what, int low,
                int high) {
    if (i >= args.size())
        throw UsageError{std::string("missing ") + what};
    const std::optional<int> value = ParseInt(args[i].c_str());
    if (!value)
        throw UsageError{std::string(what) + " is not a whole number: " + args[i]};
    if (*value < low || *value > high)
        throw UsageError{std::string(what) + " must be from " + std::to_string(low) + " to " +
                         std::to_string(high) + ": " + args[i]};
    ++i;
    return *value;
}

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// RRGGBB in hex, '#' optional, either case.
TColor ColourArgument(const std::vector<std::string>& args, size_t& i) {
    if (i >= args.size())
        throw UsageError{"seed needs a colour RRGGBB"};
    std::string_view text = args[i];
    if (!text.empty() && text.front() == '#')
        text.remove_prefix(1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 6 || ec != std::errc() || end != text.data() + text.size())
        throw UsageError{"the colour is not RRGGBB in hex: " + args[i]};
    ++i;
    return colorsplit::PackColor(static_cast<int>(value >> 16), static_cast<int>(value >> 8),
                                 static_cast<int>(value));
}

// A count of pixels, 0 or more.
qint64 PixelsArgument(const std::vector<std::string>& args, size_t& i, const char* what) {
    if (i >= args.size())
        throw UsageError{std::string(what) + " needs a number of pixels"};
    const std::string& text = args[i];
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value < 0)
        throw UsageError{std::string(what) + " is not a number of pixels: " + text};
    ++i;
    return value;
}

// A decimal number from low to high.
double NumberArgument(const std::vector<std::string>& args, size_t& i, const char* what, double low,
                      double high) {
    if (i >= args.size())
        throw UsageError{std::string(what) + " needs a number"};
    const std::string& text = args[i];
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        throw UsageError{std::string(what) + " is not a number: " + text};
    if (!(value >= low && value <= high))
        throw UsageError{std::string(what) + " must be from " + Decimal(low) + " to " +
                         Decimal(high) + ": " + text};
    ++i;
    return value;
}

// The export's settings, options before the commands of a run or of batch: true when args[i]
// was one (i then past its value).
bool ExportOption(const std::vector<std::string>& args, size_t& i,
                  colorsplit::ExportSettings& settings) {
    using colorsplit::ExportSettings;
    const std::string& option = args[i];
    size_t at = i + 1;
    if (option == "--min-region") {
        settings.minRegion = PixelsArgument(args, at, "--min-region");
    } else if (option == "--connect") {
        settings.connectivity = IntArgument(args, at, "--connect", 4, 8);
        if (settings.connectivity != 4 && settings.connectivity != 8)
            throw UsageError{"--connect must be 4 or 8: " + args[i + 1]};
    } else if (option == "--dither") {
        settings.dither = true;
    } else if (option == "--trap") {
        settings.trap = NumberArgument(args, at, "--trap", 0, ExportSettings::kMostTrapPixels);
        settings.trapInMillimetres = false;
    } else if (option == "--dpi") {
        settings.dpi =
            NumberArgument(args, at, "--dpi", ExportSettings::kLeastDpi, ExportSettings::kMostDpi);
        settings.printWidthMm = 0;
    } else if (option == "--print-width") {
        settings.printWidthMm = NumberArgument(args, at, "--print-width", 1, 1e6);
    } else if (option == "--marks") {
        settings.marks = true;
    } else if (option == "--pdf") {
        settings.pdf = true;
    } else if (option == "--svg") {
        settings.svg = true;
    } else if (option == "--smooth") {
        settings.smooth = NumberArgument(args, at, "--smooth", 0, ExportSettings::kMostSmoothing);
    } else if (option == "--ink-colours") {
        settings.inkColours = true;
    } else {
        return false;
    }
    if (settings.dither && settings.minRegion > 0)
        throw UsageError{"--dither and --min-region exclude each other"};
    i = at - 1;
    return true;
}

std::string PathArgument(const std::vector<std::string>& args, size_t& i, const char* command) {
    if (i >= args.size())
        throw UsageError{std::string(command) + " needs a PATH"};
    return args[i++];
}

Options Parse(const std::vector<std::string>& args) {
    Options options;
    size_t i = 0;
    for (; i < args.size() && args[i].starts_with("--"); ++i) {
        if (args[i] == "--fit") {
            options.fit = true;
        } else if (args[i] == "--no-profile") {
            options.applyProfiles = false;
        } else if (args[i] == "--summary") {
            if (++i >= args.size())
                throw UsageError{"--summary needs a FILE"};
            options.summaryFile = args[i];
        } else if (args[i] == "--inks") {
            if (++i >= args.size())
                throw UsageError{"--inks needs a FILE"};
            options.inksFile = args[i];
        } else if (ExportOption(args, i, options.exportSettings)) {
            continue;
        } else {
            throw UsageError{"unknown option: " + args[i]};
        }
    }
    while (i < args.size()) {
        const std::string word = args[i++];
        Command c{Command::kMean, {}, 0, 0, 0};
        if (word == "open") {
            c.kind = Command::kOpen;
            c.path = PathArgument(args, i, "open");
        } else if (word == "save") {
            c.kind = Command::kSave;
            c.path = PathArgument(args, i, "save");
        } else if (word == "pick") {
            c.kind = Command::kPick;
            c.x = IntArgument(args, i, "X", 0, colorsplit::kPickArea.width() - 1);
            c.y = IntArgument(args, i, "Y", 0, colorsplit::kPickArea.height() - 1);
        } else if (word == "seed") {
            c.kind = Command::kSeed;
            c.colour = ColourArgument(args, i);
        } else if (word == "export") {
            c.kind = Command::kExport;
            c.path = PathArgument(args, i, "export");
        } else if (word == "mask") {
            c.kind = Command::kMask;
            c.x = IntArgument(args, i, "N", 1, colorsplit::kMaxColors);
        } else if (word == "unpick") {
            c.kind = Command::kUnpick;
        } else if (word == "repick") {
            c.kind = Command::kRepick;
        } else if (word == "seeds") {
            c.kind = Command::kSeeds;
            c.path = PathArgument(args, i, "seeds");
        } else if (word == "autoseed") {
            c.kind = Command::kAutoSeed;
        } else if (word == "execute") {
            c.kind = Command::kExecute;
        } else if (word == "mean") {
            c.kind = Command::kMean;
        } else {
            throw UsageError{"unknown command: " + word};
        }
        options.commands.push_back(std::move(c));
    }
    return options;
}

// Prints the log as it is logged and remembers what each swatch row last showed.
class BatchView : public colorsplit::SessionView {
public:
    void LogLine(const QString& text) override {
        const QByteArray line = text.toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    void ShowSwatch(int row, TColor c) override {
        if (row >= 0 && row < static_cast<int>(swatches.size()))
            swatches[row] = c;
    }
    void ClearSwatches() override { swatches = {}; }
    void ClearSwatch(int row) override {
        if (row >= 0 && row < static_cast<int>(swatches.size()))
            swatches[row].reset();
    }
    void PictureChanged() override {}
    // A batch run asks the user nothing: reduced copies as --fit says, and what it exports
    // over is replaced.
    bool OpenReduced(const std::string&, QSize, QSize) override { return fit; }
    bool ConfirmReplace(const std::string&, const std::vector<std::string>&) override {
        return true;
    }
    std::optional<TColor> AskColour() override { return std::nullopt; }
    void ShowStatistics(const std::vector<colorsplit::GroupStatistic>&) override {}

    std::array<std::optional<TColor>, colorsplit::kSwatchRows> swatches;
    bool fit = false;
};

// Long work's progress on standard error when it is a terminal: one line, rewritten as the
// work goes and cleared at its end; nothing when it is not, so that logs and pipes stay clean.
class TerminalProgress : public colorsplit::Progress {
public:
    explicit TerminalProgress(const QString& title)
        : title_(title.toUtf8()), shown_(isatty(STDERR_FILENO) == 1) {}
    ~TerminalProgress() override {
        if (printed_)
            std::fputs("\r\033[K", stderr);
    }
    void Advance(qint64 done, qint64 total) override {
        if (!shown_ || total <= 0)
            return;
        const std::lock_guard<std::mutex> guard(lock_);
        const auto now = std::chrono::steady_clock::now();
        if (printed_ && now - last_ < std::chrono::milliseconds(100))
            return;
        last_ = now;
        printed_ = true;
        std::fprintf(stderr, "\rcolorsplit-cli: %s %lld%%", title_.constData(),
                     static_cast<long long>(100 * done / total));
        std::fflush(stderr);
    }
    bool StopRequested() const override { return false; }

private:
    QByteArray title_;
    bool shown_;
    bool printed_ = false;
    std::mutex lock_;
    std::chrono::steady_clock::time_point last_;
};

// Work a command left, run to its end here.
void RunWork(const std::shared_ptr<const colorsplit::LongWork>& work) {
    if (!work)
        return;
    TerminalProgress progress(colorsplit::texts::WorkTitle(static_cast<int>(work->WhatFor())));
    colorsplit::RunToEnd(*work, progress);
}

// The final state as one JSON object.
QByteArray Summary(const colorsplit::Session& session, const BatchView& view) {
    const colorsplit::QuantState& s = session.State();
    QJsonArray swatches, codeBook, selColor, groupCounts;
    for (const std::optional<TColor>& swatch : view.swatches)
        swatches.append(swatch ? QJsonValue(*swatch) : QJsonValue());
    for (const colorsplit::PixelRec& v : s.CodeBook)
        codeBook.append(QJsonArray{v.R, v.G, v.B});
    for (const TColor c : s.SelColor)
        selColor.append(c);
    for (const qint64 n : session.TableGroupCounts())
        groupCounts.append(n);
    QJsonArray grouped;
    for (const colorsplit::GroupStatistic& g : session.GroupStatistics())
        grouped.append(QJsonObject{
            {"group", g.group},
            {"hex", colorsplit::texts::Hex(g.colour)},
            {"pixels", g.pixels},
            {"percent", static_cast<double>(g.hundredths) / 100.0},
        });
    // A float widened to double is written with the digits that bring it back exactly.
    const QJsonObject summary{
        {"swatches", swatches},
        {"code_book", codeBook},
        {"sel_color", selColor},
        {"mean_color", s.MeanColor},
        {"color_count", s.ColorCount},
        {"run_count", s.RunCount},
        {"distortion", static_cast<double>(s.Distortion)},
        {"last_distortion", static_cast<double>(s.LastDistortion)},
        {"mask_done", s.MaskDone},
        {"group_counts", groupCounts},
        {"groups", grouped},
    };
    return QJsonDocument(summary).toJson(QJsonDocument::Indented);
}

void WriteSummary(const std::string& fileName, const QByteArray& json) {
    colorsplit::WriteFileSafely(fileName, json, colorsplit::PictureError::Action::kSummary);
}

void Run(colorsplit::Session& session, colorsplit::ScriptedDialog& openDialog,
         colorsplit::ScriptedDialog& saveDialog, const Command& c) {
    switch (c.kind) {
        case Command::kOpen: {
            openDialog.Answer(c.path);
            const colorsplit::Opening opening = session.Button1Click();
            RunWork(opening.work);
            if (opening.result != colorsplit::Opening::kCancelled &&
                opening.result != colorsplit::Opening::kTooLarge)
                if (const auto note = colorsplit::ProfileNote(c.path, session.PictureProfile()))
                    std::fprintf(stderr, "colorsplit-cli: %s\n", note->toUtf8().constData());
            // The window goes on with the picture it had; a batch run would process that
            // picture as if it were this one.
            if (opening.result == colorsplit::Opening::kTooLarge)
                throw colorsplit::PictureError(colorsplit::PictureError::Action::kOpen, c.path,
                                               {colorsplit::Problem::kLargerThanTable,
                                                opening.size.width(), opening.size.height()});
            break;
        }
        case Command::kPick:
            session.Image1MouseDown(c.x, c.y);
            break;
        case Command::kExecute:
            session.Button2Click();
            break;
        case Command::kMask:
            session.Button7Click(c.x - 1);
            break;
        case Command::kSave:
            saveDialog.Answer(c.path);
            session.Button4Click();
            break;
        case Command::kMean:
            session.Button5Click();
            break;
        case Command::kSeed:
            session.Seed(c.colour);
            break;
        case Command::kExport:
            RunWork(session.ExportGroups(c.path));
            break;
        case Command::kUnpick:
            session.UnpickClick();
            break;
        case Command::kSeeds:
            session.SeedsFromFile(c.path);
            break;
        case Command::kRepick:
            session.RepickClick();
            break;
        case Command::kAutoSeed:
            session.AutoSeedClick();
            break;
    }
}

// Films' labels are drawn in a font, and Qt's fonts need a GUI application: an offscreen one,
// made only when the settings ask for labels, since nothing is ever shown.
std::unique_ptr<QGuiApplication> FontsFor(const colorsplit::ExportSettings& settings) {
    if (!settings.marks && !settings.pdf)
        return nullptr;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "colorsplit-cli";
    static char* argv[] = {name, nullptr};
    // What Qt notes while it starts (a runtime folder it had to choose, where the session has
    // none) is not the run's output: standard error holds only failures.
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(before);
    return app;
}

// A failed command: one line on standard error, worded as the window words it.
void Fail(const std::exception& e) {
    const auto* error = dynamic_cast<const colorsplit::PictureError*>(&e);
    const QByteArray message =
        error != nullptr ? colorsplit::texts::Describe(*error).toUtf8() : QByteArray(e.what());
    std::fprintf(stderr, "colorsplit-cli: %s\n", message.constData());
}

}  // namespace

// colorsplit-cli batch: the same seeds over many pictures, a CSV of all their groups.
struct BatchLine {
    colorsplit::BatchOptions options;
    std::optional<std::string> csvFile;
    std::optional<std::string> seedsFile;
    std::optional<std::string> inksFile;
    std::vector<std::string> pictures;
};

BatchLine ParseBatch(const std::vector<std::string>& args) {
    BatchLine line;
    line.options.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    size_t i = 0;
    const auto value = [&](const char* option) {
        if (++i >= args.size())
            throw UsageError{std::string(option) + " needs a value"};
        return args[i];
    };
    for (; i < args.size() && args[i].starts_with("--"); ++i) {
        if (args[i] == "--fit") {
            line.options.fit = true;
        } else if (args[i] == "--no-profile") {
            line.options.applyProfiles = false;
        } else if (args[i] == "--jobs") {
            size_t at = i + 1;
            line.options.jobs = IntArgument(args, at, "--jobs", 1, 256);
            i = at - 1;
        } else if (args[i] == "--csv") {
            line.csvFile = value("--csv");
        } else if (args[i] == "--export") {
            line.options.exportFolder = value("--export");
        } else if (args[i] == "--seeds") {
            line.seedsFile = value("--seeds");
        } else if (args[i] == "--auto-seeds") {
            line.options.autoSeeds = true;
        } else if (args[i] == "--inks") {
            line.inksFile = value("--inks");
        } else if (args[i] == "--seed") {
            size_t at = i + 1;
            line.options.seeds.push_back(ColourArgument(args, at));
            i = at - 1;
        } else if (ExportOption(args, i, line.options.exportSettings)) {
            continue;
        } else {
            throw UsageError{"unknown option: " + args[i]};
        }
    }
    line.pictures.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    if (line.pictures.empty())
        throw UsageError{"batch needs a PICTURE"};
    if (line.seedsFile.has_value() + !line.options.seeds.empty() + line.options.autoSeeds != 1)
        throw UsageError{"batch needs one of --seeds FILE, --seed RRGGBB and --auto-seeds"};
    if (!line.options.exportFolder.empty())
        if (const auto shared = colorsplit::SharedExportNames(line.pictures))
            throw UsageError{"the exports of " + shared->first + " and " + shared->second +
                             " would have the same file names"};
    return line;
}

int Batch(const std::vector<std::string>& args) {
    BatchLine line;
    try {
        line = ParseBatch(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "colorsplit-cli: %s\n%sTry 'colorsplit-cli --help' for more.\n",
                     e.message.c_str(), colorsplit::texts::CliUsage().toUtf8().constData());
        return kExitUsage;
    }
    const auto fonts = FontsFor(line.options.exportSettings);
    try {
        // Before anything runs: a palette that cannot be read seeds nothing.
        if (line.seedsFile)
            line.options.seeds = colorsplit::ReadPalette(*line.seedsFile);
        if (line.inksFile)
            line.options.inks =
                std::make_shared<const colorsplit::InkTable>(colorsplit::ReadInks(*line.inksFile));
    } catch (const std::exception& e) {
        Fail(e);
        return kExitFailed;
    }
    std::vector<colorsplit::BatchOutcome> outcomes;
    {
        TerminalProgress progress(colorsplit::texts::BatchTitle());
        std::atomic<qint64> done{0};
        const auto total = static_cast<qint64>(line.pictures.size());
        outcomes = colorsplit::RunBatch(line.pictures, line.options,
                                        [&] { progress.Advance(++done, total); });
    }
    int status = kExitOk;
    for (const colorsplit::BatchOutcome& outcome : outcomes) {
        if (outcome.note)
            std::fprintf(stderr, "colorsplit-cli: %s\n", outcome.note->toUtf8().constData());
        if (!outcome.failure)
            continue;
        std::fprintf(stderr, "colorsplit-cli: %s\n", outcome.failure->toUtf8().constData());
        status = kExitFailed;
    }
    const QByteArray csv = colorsplit::BatchCsv(line.pictures, outcomes);
    if (!line.csvFile) {
        std::fwrite(csv.constData(), 1, static_cast<size_t>(csv.size()), stdout);
        return status;
    }
    // Once all are done, safely: a run killed halfway leaves the old file whole.
    try {
        colorsplit::WriteFileSafely(*line.csvFile, csv, colorsplit::PictureError::Action::kBatch);
    } catch (const std::exception& e) {
        Fail(e);
        status = kExitFailed;
    }
    return status;
}

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!args.empty() && args[0] == "batch")
        return Batch(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args.size() == 1 && args[0] == "--help") {
        std::fputs(colorsplit::texts::CliHelp(colorsplit::kPickArea).toUtf8().constData(), stdout);
        return kExitOk;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("colorsplit-cli %s\n", COLORSPLIT_VERSION);
        return kExitOk;
    }
    Options options;
    try {
        options = Parse(args);
        if (options.commands.empty())
            throw UsageError{"no command given"};
    } catch (const UsageError& e) {
        std::fprintf(stderr, "colorsplit-cli: %s\n%sTry 'colorsplit-cli --help' for more.\n",
                     e.message.c_str(), colorsplit::texts::CliUsage().toUtf8().constData());
        return kExitUsage;
    }

    const auto fonts = FontsFor(options.exportSettings);
    BatchView view;
    view.fit = options.fit;
    colorsplit::ScriptedDialog openDialog;
    colorsplit::ScriptedDialog saveDialog;
    colorsplit::ScriptedDialog exportDialog;  // unused: export names its folder itself
    colorsplit::Session session(view, openDialog, saveDialog, exportDialog);
    session.SetExportSettings(options.exportSettings);
    session.SetApplyProfiles(options.applyProfiles);
    // The log's designed first line, then start-up as the window runs it.
    view.LogLine(colorsplit::texts::FirstLogLine());
    session.FormCreate();

    int status = kExitOk;
    try {
        if (options.inksFile)
            session.LoadInks(*options.inksFile);
    } catch (const std::exception& e) {
        Fail(e);
        return kExitFailed;
    }
    for (const Command& c : options.commands) {
        try {
            Run(session, openDialog, saveDialog, c);
        } catch (const std::exception& e) {
            std::fflush(stdout);
            Fail(e);
            status = kExitFailed;
            break;
        }
    }
    if (options.summaryFile) {
        try {
            // A reduced copy's groups are counted at their full size first.
            RunWork(session.CountFullSize());
            WriteSummary(*options.summaryFile, Summary(session, view));
        } catch (const std::exception& e) {
            Fail(e);
            status = kExitFailed;
        }
    }
    return status;
}
