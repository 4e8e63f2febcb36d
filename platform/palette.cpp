#include "platform/palette.h"

#include <QList>
#include <QString>
#include <algorithm>

#include "platform/picture_error.h"
#include "platform/read_file.h"

namespace colorsplit {

namespace {

// No palette people keep is near this: thousands of colours take some tens of kilobytes.
constexpr qint64 kMaxPaletteBytes = 4 * 1024 * 1024;

// A palette's colour and its name as the file gives it, empty when it gives none.
struct Entry {
    TColor colour;
    QByteArray name;
};

[[noreturn]] void Refuse(const std::string& fileName, PictureError::Action action,
                         Problem problem) {
    throw PictureError(action, fileName, std::move(problem));
}

// A line without its line end (LF or CR LF) and the white space round it.
QByteArray Trimmed(QByteArray line) {
    if (line.endsWith('\r'))
        line.chop(1);
    return line.trimmed();
}

// The first n fields of a line parted by spaces and tabs, and the rest of it as it stands: a
// name keeps its own spacing.
QList<QByteArray> Fields(const QByteArray& line, int n, QByteArray& rest) {
    QList<QByteArray> fields;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= line.size() && fields.size() < n; ++i) {
        const bool gap = i == line.size() || line[i] == ' ' || line[i] == '\t';
        if (!gap && start < 0)
            start = i;
        if (gap && start >= 0) {
            fields << line.mid(start, i - start);
            start = -1;
            rest = line.mid(i).trimmed();
        }
    }
    return fields;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::vector<Entry> GimpColours(const std::string& fileName, PictureError::Action action,
                               const QList<QByteArray>& lines) {
    std::vector<Entry> colours;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = Trimmed(lines[i]);
        const int number = i + 1;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        // The header's own lines, before the colours.
        if (colours.empty() && (line.startsWith("Name:") || line.startsWith("Columns:")))
            continue;
        QByteArray name;
        const QList<QByteArray> fields = Fields(line, 3, name);
        if (fields.size() < 3)
            Refuse(fileName, action, {Problem::kPaletteLine, number});
        int rgb[3] = {};
        for (int c = 0; c < 3; ++c) {
            bool whole = false;
            const qint64 value = fields[c].toLongLong(&whole);
            if (!whole || value < 0)
                Refuse(fileName, action, {Problem::kPaletteLine, number});
            if (value > 255)
                Refuse(fileName, action, {Problem::kPaletteValue, number, value});
            rgb[c] = static_cast<int>(value);
        }
        colours.push_back({PackColor(rgb[0], rgb[1], rgb[2]), name});
    }
    return colours;
}

std::vector<Entry> HexColours(const std::string& fileName, PictureError::Action action,
                              const QList<QByteArray>& lines) {
    std::vector<Entry> colours;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = Trimmed(lines[i]);
        if (line.isEmpty())
            continue;
        QByteArray name;
        const QByteArray field = Fields(line, 1, name).front();
        const QByteArray digits = field.startsWith('#') ? field.mid(1) : field;
        if (digits.size() != 6 || !std::all_of(digits.begin(), digits.end(), IsHex))
            Refuse(fileName, action, {Problem::kPaletteLine, i + 1});
        const unsigned value = digits.toUInt(nullptr, 16);
        colours.push_back({PackColor(static_cast<int>(value >> 16), static_cast<int>(value >> 8),
                                     static_cast<int>(value)),
                           name});
    }
    return colours;
}

std::vector<Entry> ReadEntries(const std::string& fileName, PictureError::Action action) {
    QByteArray bytes = ReadWholeFile(fileName, kMaxPaletteBytes, action);
    // Some editors put a byte order mark at the start of UTF-8 files.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<QByteArray> lines = bytes.split('\n');
    if (Trimmed(lines.front()).startsWith("GIMP Palette"))
        return GimpColours(fileName, action, lines);
    return HexColours(fileName, action, lines);
}

}  // namespace

std::vector<TColor> ReadPalette(const std::string& fileName) {
    std::vector<TColor> colours;
    for (const Entry& entry : ReadEntries(fileName, PictureError::Action::kSeeds))
        colours.push_back(entry.colour);
    return colours;
}

std::vector<Ink> ReadInks(const std::string& fileName) {
    std::vector<Ink> inks;
    for (const Entry& entry : ReadEntries(fileName, PictureError::Action::kInks)) {
        const TColor c = entry.colour;
        inks.push_back({c, !entry.name.isEmpty()
                               ? entry.name.toStdString()
                               : QString::asprintf("#%02X%02X%02X", RedOf(c), GreenOf(c), BlueOf(c))
                                     .toStdString()});
    }
    if (inks.empty())
        Refuse(fileName, PictureError::Action::kInks, {Problem::kEmptyPalette});
    return inks;
}

QByteArray GimpPalette(const QString& name, const QString& comment,
                       const std::vector<std::pair<TColor, QString>>& colours) {
    QByteArray file = "GIMP Palette\nName: " + name.toUtf8() + "\n# " + comment.toUtf8() + "\n";
    for (const auto& [c, colourName] : colours)
        file += QStringLiteral("%1 %2 %3\t%4\n")
                    .arg(RedOf(c), 3)
                    .arg(GreenOf(c), 3)
                    .arg(BlueOf(c), 3)
                    .arg(colourName)
                    .toUtf8();
    return file;
}

}  // namespace colorsplit
