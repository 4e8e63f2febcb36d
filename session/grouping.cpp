#include "session/grouping.h"

#include <QString>
#include <cmath>
#include <cstdio>

#include "platform/palette.h"
#include "session/texts.h"

namespace colorsplit {

std::vector<GroupStatistic> Statistics(const std::vector<TColor>& colours,
                                       const std::vector<qint64>& pixels, const InkTable& inks,
                                       double cm2PerPixel) {
    qint64 total = 0;
    for (const qint64 n : pixels)
        total += n;
    std::vector<GroupStatistic> statistics;
    for (size_t i = 0; i < colours.size(); ++i) {
        const qint64 n = i < pixels.size() ? pixels[i] : 0;
        // Whole numbers throughout: 2 * 10000 * n / total, then halved rounding up.
        const qint64 hundredths = total == 0 ? 0 : (20000 * n / total + 1) / 2;
        GroupStatistic& s = statistics.emplace_back();
        s.group = static_cast<int>(i) + 1;
        s.colour = colours[i];
        s.pixels = n;
        s.hundredths = hundredths;
        s.areaCm2 = static_cast<double>(n) * cm2PerPixel;
        if (const InkMatch match = inks.Nearest(colours[i]); match.index >= 0) {
            const Ink& ink = inks.Inks()[static_cast<size_t>(match.index)];
            s.ink = GroupInk{ink.name, ink.colour, match.deltaE};
        }
    }
    return statistics;
}

std::vector<TColor> InkColours(const std::vector<TColor>& colours, const InkTable& inks) {
    std::vector<TColor> inked;
    for (const TColor c : colours) {
        const InkMatch match = inks.Nearest(c);
        inked.push_back(match.index < 0 ? c : inks.Inks()[static_cast<size_t>(match.index)].colour);
    }
    return inked;
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

std::string DeltaEText(double deltaE) {
    return Percent(std::llround(deltaE * 100));
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

namespace {

std::string Area(double cm2) {
    char text[40];
    std::snprintf(text, sizeof text, "%.2f", cm2);
    return text;
}

}  // namespace

std::string CsvRow(const GroupStatistic& s) {
    return std::to_string(s.group) + ',' + HexColour(s.colour) + ',' +
           std::to_string(RedOf(s.colour)) + ',' + std::to_string(GreenOf(s.colour)) + ',' +
           std::to_string(BlueOf(s.colour)) + ',' + std::to_string(s.pixels) + ',' +
           Percent(s.hundredths) + ',' + Area(s.areaCm2) + ',' +
           (s.ink ? CsvField(s.ink->name) : std::string()) + ',' +
           (s.ink ? DeltaEText(s.ink->deltaE) : std::string());
}

std::string CsvColumns() {
    return "hex,red,green,blue,pixels,percent,area_cm2,ink,delta_e";
}

QByteArray GroupsCsv(const std::vector<GroupStatistic>& statistics) {
    QByteArray csv(("group," + CsvColumns() + "\n").c_str());
    for (const GroupStatistic& s : statistics)
        csv.append(CsvRow(s) + '\n');
    return csv;
}

QByteArray GroupsPalette(const std::string& stem, const std::vector<GroupStatistic>& statistics) {
    std::vector<std::pair<TColor, QString>> named;
    for (const GroupStatistic& s : statistics)
        named.emplace_back(s.colour, s.ink ? QString::fromStdString(s.ink->name)
                                           : texts::GroupName(s.group - 1) + QLatin1Char(' ') +
                                                 texts::Hex(s.colour));
    return GimpPalette(QString::fromStdString(stem), texts::PaletteComment(), named);
}

}  // namespace colorsplit
