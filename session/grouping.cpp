#include "session/grouping.h"

#include <QString>
#include <cstdio>

#include "platform/palette.h"
#include "session/texts.h"

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

std::string CsvRow(const GroupStatistic& s) {
    return std::to_string(s.group) + ',' + HexColour(s.colour) + ',' +
           std::to_string(RedOf(s.colour)) + ',' + std::to_string(GreenOf(s.colour)) + ',' +
           std::to_string(BlueOf(s.colour)) + ',' + std::to_string(s.pixels) + ',' +
           Percent(s.hundredths);
}

QByteArray GroupsCsv(const std::vector<GroupStatistic>& statistics) {
    QByteArray csv("group,hex,red,green,blue,pixels,percent\n");
    for (const GroupStatistic& s : statistics)
        csv.append(CsvRow(s) + '\n');
    return csv;
}

QByteArray GroupsPalette(const std::string& stem, const std::vector<TColor>& colours) {
    std::vector<std::pair<TColor, QString>> named;
    for (size_t g = 0; g < colours.size(); ++g)
        named.emplace_back(colours[g], texts::GroupName(static_cast<int>(g)) + QLatin1Char(' ') +
                                           texts::Hex(colours[g]));
    return GimpPalette(QString::fromStdString(stem), texts::PaletteComment(), named);
}

}  // namespace colorsplit
