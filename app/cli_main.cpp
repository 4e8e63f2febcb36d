// colorsplit-cli: replays a use of the window without a display and prints its message log.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/safe_file.h"
#include "session/file_dialog.h"
#include "session/session.h"

namespace {

using colorsplit::TColor;

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// The window's picture control is this large; a pick is a mouse-down on it.
constexpr int kImage1Width = 1575;
constexpr int kImage1Height = 1181;

const char kUsage[] =
    "Usage: colorsplit-cli [--fit] [--summary FILE] COMMAND...\n"
    "  or:  colorsplit-cli --help | --version\n";

// Also the source of colorsplit-cli(1), which help2man makes from it.
const char kHelp[] =
    "Usage: colorsplit-cli [--fit] [--summary FILE] COMMAND...\n"
    "  or:  colorsplit-cli --help | --version\n"
    "Replays a use of the colorsplit window, command by command, through the same code as\n"
    "the window's buttons, and prints every line of the window's message log to standard\n"
    "output as it is logged. Needs no display.\n"
    "\n"
    "Commands:\n"
    "  open PATH   the open command, with PATH chosen in the open dialog; a picture that\n"
    "              opens starts a new round: no picks, no groups, no mask. A picture larger\n"
    "              than 1280 x 960 prints \"圖片超過1280x960,無法載入\" and fails the run;\n"
    "              with --fit it opens as a reduced copy instead\n"
    "  pick X Y    a click at (X, Y) on the window's picture control, which is 1575 x 1181\n"
    "              pixels (0 <= X < 1575, 0 <= Y < 1181) and shows the picture unscaled\n"
    "              from its top-left corner: (X, Y) is the picture's pixel. A click\n"
    "              beside a smaller picture picks nothing and prints nothing\n"
    "  unpick      take the last pick back (\"取消選擇顏色N\"), while no execute has run\n"
    "              since it; with none to take back it prints nothing\n"
    "  repick      start the picks over on the picture as opened (\"請重新選擇四種顏色\")\n"
    "  execute     the execute button: the quantisation from the picked colours; with\n"
    "              none picked it prints \"尚未選擇顏色\" and changes nothing\n"
    "  mask N      select colorN (N from 1 to 4) and press the MASK button: every pixel\n"
    "              outside group N turns black, on the picture as opened (an earlier mask\n"
    "              is undone first); before an execute of this round it prints\n"
    "              \"尚未執行運算\" and changes nothing\n"
    "  seed RRGGBB the next pick by value (hex, '#' optional, either case), as a click on\n"
    "              a pixel of that colour\n"
    "  save PATH   the save command: the shown picture to PATH as a BMP file\n"
    "  export DIR  the last grouping's files into DIR (made if missing, files replaced):\n"
    "              STEM-quantised.png, STEM-groupN.png and STEM-groupN-film.png for each\n"
    "              group N, and STEM-groups.csv, STEM being the opened file's name; an\n"
    "              error without a picture or before an execute of this picture\n"
    "  mean        the mean colour button\n"
    "\n"
    "Before a picture has opened, pick, execute, mask and mean print \"尚未載入檔案\" and\n"
    "change nothing, and save is an error.\n"
    "\n"
    "Options:\n"
    "  --fit           open pictures larger than 1280 x 960 (up to 100 megapixels) as\n"
    "                  reduced copies; export then writes them at their full size\n"
    "  --summary FILE  write the final state to FILE as one JSON object: swatches,\n"
    "                  code_book, sel_color, mean_color, color_count, run_count,\n"
    "                  distortion, last_distortion, mask_done, group_counts, and groups:\n"
    "                  {group, hex, pixels, percent} for each group of the last grouping\n"
    "  --help          show this text\n"
    "  --version       show the version\n"
    "\n"
    "Exit status:\n"
    "  0  every command ran\n"
    "  1  a command failed: its message went to standard error and no later command ran\n"
    "  2  the command line was malformed; nothing ran\n"
    "\n"
    "Examples:\n"
    "  colorsplit-cli open in.bmp pick 10 10 pick 200 40 pick 90 300 execute mask 2 save out.bmp\n"
    "  colorsplit-cli --fit open photo.jpg seed 4B7AD3 seed FACE4A execute export groups/\n";

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
        kRepick
    } kind;
    std::string path;
    int x = 0;
    int y = 0;
    TColor colour = 0;
};

struct Options {
    std::optional<std::string> summaryFile;
    bool fit = false;
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
        } else if (args[i] == "--summary") {
            if (++i >= args.size())
                throw UsageError{"--summary needs a FILE"};
            options.summaryFile = args[i];
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
            c.x = IntArgument(args, i, "X", 0, kImage1Width - 1);
            c.y = IntArgument(args, i, "Y", 0, kImage1Height - 1);
        } else if (word == "seed") {
            c.kind = Command::kSeed;
            c.colour = ColourArgument(args, i);
        } else if (word == "export") {
            c.kind = Command::kExport;
            c.path = PathArgument(args, i, "export");
        } else if (word == "mask") {
            c.kind = Command::kMask;
            c.x = IntArgument(args, i, "N", 1, 4);
        } else if (word == "unpick") {
            c.kind = Command::kUnpick;
        } else if (word == "repick") {
            c.kind = Command::kRepick;
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
    void LogLine(const std::string& text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
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

    std::array<std::optional<TColor>, 5> swatches;
    bool fit = false;
};

// The final state as one JSON object.
QByteArray Summary(const colorsplit::Session& session, const BatchView& view) {
    const colorsplit::Quantizer& s = session.State();
    QJsonArray swatches, codeBook, selColor, groupCounts;
    for (const std::optional<TColor>& swatch : view.swatches)
        swatches.append(swatch ? QJsonValue(*swatch) : QJsonValue());
    for (const colorsplit::PixelRec& v : s.CodeBook)
        codeBook.append(QJsonArray{v.R, v.G, v.B});
    for (const TColor c : s.SelColor)
        selColor.append(c);
    std::array<qint64, colorsplit::kMaxColors> groups{};
    const int w = colorsplit::Quantizer::ClampedWidth(session);
    const int h = colorsplit::Quantizer::ClampedHeight(session);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            const int g = s.Pixels[x][y].Group;
            if (g >= 0 && g < colorsplit::kMaxColors)
                ++groups[g];
        }
    }
    for (const qint64 n : groups)
        groupCounts.append(n);
    QJsonArray grouped;
    for (const colorsplit::GroupStatistic& g : session.GroupStatistics())
        grouped.append(QJsonObject{
            {"group", g.group},
            {"hex", QString::fromStdString(colorsplit::HexColour(g.colour))},
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
    colorsplit::WriteFileSafely(fileName, json, "無法寫入摘要檔");
}

void Run(colorsplit::Session& session, colorsplit::ScriptedDialog& openDialog,
         colorsplit::ScriptedDialog& saveDialog, const Command& c) {
    switch (c.kind) {
        case Command::kOpen: {
            openDialog.Answer(c.path);
            const colorsplit::Opening opening = session.Button1Click();
            // The window goes on with the picture it had; a batch run would process that
            // picture as if it were this one.
            if (opening.result == colorsplit::Opening::kTooLarge)
                throw std::runtime_error(
                    QStringLiteral(
                        "無法開啟「%1」:圖片是 %2 x %3,超過 %4 x %5(--fit 可開啟縮小的複本)")
                        .arg(QString::fromStdString(c.path))
                        .arg(opening.size.width())
                        .arg(opening.size.height())
                        .arg(colorsplit::kTableWidth)
                        .arg(colorsplit::kTableHeight)
                        .toStdString());
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
            session.ExportGroups(c.path);
            break;
        case Command::kUnpick:
            session.UnpickClick();
            break;
        case Command::kRepick:
            session.RepickClick();
            break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.size() == 1 && args[0] == "--help") {
        std::fputs(kHelp, stdout);
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
                     e.message.c_str(), kUsage);
        return kExitUsage;
    }

    BatchView view;
    view.fit = options.fit;
    colorsplit::ScriptedDialog openDialog;
    colorsplit::ScriptedDialog saveDialog;
    colorsplit::ScriptedDialog exportDialog;  // unused: export names its folder itself
    colorsplit::Session session(view, openDialog, saveDialog, exportDialog);
    // The log's designed first line, then start-up as the window runs it.
    view.LogLine("程式資訊");
    session.FormCreate();

    int status = kExitOk;
    for (const Command& c : options.commands) {
        try {
            Run(session, openDialog, saveDialog, c);
        } catch (const std::exception& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "colorsplit-cli: %s\n", e.what());
            status = kExitFailed;
            break;
        }
    }
    if (options.summaryFile) {
        try {
            WriteSummary(*options.summaryFile, Summary(session, view));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "colorsplit-cli: %s\n", e.what());
            status = kExitFailed;
        }
    }
    return status;
}
