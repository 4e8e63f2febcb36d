#include "session/grouping.h"

#include <QDir>
#include <QString>
#include <cstdio>
#include <deque>
#include <functional>
#include <future>

#include "core/group_pass.h"
#include "platform/picture_error.h"
#include "platform/png_writer.h"
#include "platform/safe_file.h"

namespace colorsplit {

std::vector<GroupStatistic> Statistics(const std::vector<TColor>& colours,
                                       const std::vector<qint64>& pixels) {
    qint64 total = 0;
    for (const qint64 n : pixels)
        total += n;
    std::vector<GroupStatistic> statistics;
    for (size_t i = 0; i < colours.size(); ++i) {
        const qint64 n = i < pixels.size() ? pixels[i] : 0;
        // Whole numbers throughout: 2 * 10000 * n / total, then halved rounding up.
        const qint64 hundredths = total == 0 ? 0 : (20000 * n / total + 1) / 2;
        statistics.push_back({static_cast<int>(i) + 1, colours[i], n, hundredths});
    }
    return statistics;
}

std::vector<qint64> CountGroups(const std::vector<std::uint8_t>& groups, int k) {
    std::vector<qint64> counts(static_cast<size_t>(k));
    for (const std::uint8_t g : groups)
        if (g < k)
            ++counts[g];
    return counts;
}

std::vector<std::uint8_t> GroupPixels(const QImage& picture,
                                      const std::array<PixelRec, kMaxColors>& codeBook, int k) {
    const int w = picture.width(), h = picture.height();
    std::vector<std::uint8_t> groups(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        std::uint8_t* out = groups.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        for (int x = 0; x < w; ++x)
            out[x] = static_cast<std::uint8_t>(
                GroupOf({qRed(row[x]), qGreen(row[x]), qBlue(row[x]), 0}, codeBook, k));
    }
    return groups;
}

std::string HexColour(TColor c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", RedOf(c), GreenOf(c), BlueOf(c));
    return text;
}

std::string Percent(qint64 hundredths) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(hundredths / 100),
                  static_cast<long long>(hundredths % 100));
    return text;
}

QByteArray GroupsCsv(const std::vector<GroupStatistic>& statistics) {
    QByteArray csv("group,hex,red,green,blue,pixels,percent\n");
    for (const GroupStatistic& s : statistics) {
        const std::string row = std::to_string(s.group) + ',' + HexColour(s.colour) + ',' +
                                std::to_string(RedOf(s.colour)) + ',' +
                                std::to_string(GreenOf(s.colour)) + ',' +
                                std::to_string(BlueOf(s.colour)) + ',' + std::to_string(s.pixels) +
                                ',' + Percent(s.hundredths) + '\n';
        csv.append(row.data(), static_cast<qsizetype>(row.size()));
    }
    return csv;
}

namespace {

// The kinds of file an export writes, in order; those for each group are written group by
// group, all of a group's together. A new kind of file is a new row.
struct ExportKind {
    const char* suffix;  // after STEM, with N for the group's number
    bool eachGroup;
    QByteArray (*make)(const GroupedPicture&, const std::vector<GroupStatistic>&, int group);
};

const ExportKind kExportKinds[] = {
    {"-quantised.png", false,
     [](const GroupedPicture& g, const std::vector<GroupStatistic>&, int) {
         return QuantisedPng(g);
     }},
    {"-groupN.png", true,
     [](const GroupedPicture& g, const std::vector<GroupStatistic>&, int n) {
         return LayerPng(g, n);
     }},
    {"-groupN-film.png", true,
     [](const GroupedPicture& g, const std::vector<GroupStatistic>&, int n) {
         return FilmPng(g, n);
     }},
    {"-groups.csv", false,
     [](const GroupedPicture&, const std::vector<GroupStatistic>& s, int) { return GroupsCsv(s); }},
};

struct ExportFile {
    std::string name;
    std::function<QByteArray()> bytes;
};

std::vector<ExportFile> ExportFiles(const std::string& stem, const GroupedPicture& grouped,
                                    const std::vector<GroupStatistic>& statistics) {
    const int groups = static_cast<int>(grouped.colours.size());
    std::vector<ExportFile> files;
    const auto add = [&](const ExportKind& kind, int n) {
        std::string suffix = kind.suffix;
        if (const size_t at = suffix.find('N'); kind.eachGroup && at != std::string::npos)
            suffix.replace(at, 1, std::to_string(n + 1));
        files.push_back({stem + suffix, [&grouped, &statistics, &kind, n] {
                             return kind.make(grouped, statistics, n);
                         }});
    };
    const auto* kind = std::begin(kExportKinds);
    while (kind != std::end(kExportKinds)) {
        if (!kind->eachGroup) {
            add(*kind++, 0);
            continue;
        }
        // A run of kinds for each group: the group outside, the kinds inside.
        const auto* end = kind;
        while (end != std::end(kExportKinds) && end->eachGroup)
            ++end;
        for (int n = 0; n < groups; ++n)
            for (const auto* k = kind; k != end; ++k)
                add(*k, n);
        kind = end;
    }
    return files;
}

}  // namespace

std::vector<std::string> ExportFileNames(const std::string& stem, int k) {
    GroupedPicture none;
    none.colours.resize(static_cast<size_t>(k));
    std::vector<std::string> names;
    for (const ExportFile& file : ExportFiles(stem, none, {}))
        names.push_back(file.name);
    return names;
}

void WriteExport(const std::string& folder, const std::string& stem, const GroupedPicture& grouped,
                 const std::vector<GroupStatistic>& statistics) {
    const std::vector<ExportFile> files = ExportFiles(stem, grouped, statistics);
    const QDir dir(QString::fromStdString(folder));
    // Compressing the files is most of the work: two are made at once, on threads of their own,
    // while the one before them is written. (A future's destructor waits for its thread, so an
    // error leaves none running.)
    constexpr size_t kAhead = 2;
    std::deque<std::future<QByteArray>> making;
    size_t next = 0;
    const auto makeNext = [&] {
        if (next < files.size())
            making.push_back(std::async(std::launch::async, files[next++].bytes));
    };
    for (size_t i = 0; i < kAhead; ++i)
        makeNext();
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = dir.filePath(QString::fromStdString(files[i].name)).toStdString();
        try {
            QByteArray bytes;
            try {
                bytes = making.front().get();
            } catch (const EncodeError&) {
                throw PictureError(PictureError::Action::kExport, path, {Problem::kNoMemory});
            } catch (const std::bad_alloc&) {
                throw PictureError(PictureError::Action::kExport, path, {Problem::kNoMemory});
            }
            making.pop_front();
            makeNext();
            WriteFileSafely(path, bytes, PictureError::Action::kExport);
        } catch (const PictureError& e) {
            // Those before are whole; this one and those after are not there.
            std::vector<std::string> missing;
            for (size_t j = i; j < files.size(); ++j)
                missing.push_back(files[j].name);
            throw e.WithNotWritten(std::move(missing));
        }
    }
}

}  // namespace colorsplit
