#include "session/grouping.h"

#include <QDir>
#include <QString>
#include <cstdio>
#include <deque>
#include <functional>
#include <future>

#include "core/group_pass.h"
#include "platform/picture_error.h"
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

struct ExportFile {
    std::string name;
    std::function<QByteArray()> bytes;
};

std::vector<ExportFile> ExportFiles(const std::string& stem, const GroupedPicture& grouped,
                                    const std::vector<GroupStatistic>& statistics) {
    std::vector<ExportFile> files;
    files.push_back({stem + "-quantised.png", [&] { return QuantisedPng(grouped); }});
    for (int n = 0; n < static_cast<int>(grouped.colours.size()); ++n) {
        const std::string group = stem + "-group" + std::to_string(n + 1);
        files.push_back({group + ".png", [&, n] { return LayerPng(grouped, n); }});
        files.push_back({group + "-film.png", [&, n] { return FilmPng(grouped, n); }});
    }
    files.push_back({stem + "-groups.csv", [&] { return GroupsCsv(statistics); }});
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
            } catch (const std::exception& e) {
                throw PictureError(
                    QStringLiteral("無法匯出「%1」:%2")
                        .arg(QString::fromStdString(path), QString::fromUtf8(e.what()))
                        .toStdString());
            }
            making.pop_front();
            makeNext();
            WriteFileSafely(path, bytes, "無法匯出");
        } catch (const PictureError& e) {
            // Those before are whole; this one and those after are not there.
            QStringList missing;
            for (size_t j = i; j < files.size(); ++j)
                missing << QString::fromStdString(files[j].name);
            throw PictureError(e.what() + QStringLiteral("(未寫入:%1)")
                                              .arg(missing.join(QStringLiteral("、")))
                                              .toStdString());
        }
    }
}

}  // namespace colorsplit
