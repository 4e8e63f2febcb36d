#include "ui/recent_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <map>

#include "support/qt_printers.h"

namespace colorsplit {
namespace {

constexpr char kBookmarkNs[] = "http://www.freedesktop.org/standards/desktop-bookmarks";
constexpr char kMimeNs[] = "http://www.freedesktop.org/standards/shared-mime-info";

// An entry of the desktop's list as a reader that resolves namespaces sees it, as GTK's and
// KDE's do: the file, its dates, its MIME type, and each program's name and count.
struct Entry {
    QString href, added, modified;
    QString mimeType;
    std::map<QString, int> counts;
    QString exec;  // colorsplit's
};

// The entries in their order; nullopt-like empty with ok false when the list does not parse.
std::vector<Entry> Read(const QString& file, bool& ok) {
    QFile in(file);
    ok = in.open(QIODevice::ReadOnly);
    std::vector<Entry> entries;
    QXmlStreamReader xml(&in);
    while (ok && !xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("bookmark") && xml.namespaceUri().isEmpty()) {
            entries.push_back({a.value("href").toString(),
                               a.value("added").toString(),
                               a.value("modified").toString(),
                               {},
                               {},
                               {}});
        } else if (xml.namespaceUri() == QLatin1String(kMimeNs) &&
                   xml.name() == QLatin1String("mime-type")) {
            entries.back().mimeType = a.value("type").toString();
        } else if (xml.namespaceUri() == QLatin1String(kBookmarkNs) &&
                   xml.name() == QLatin1String("application")) {
            entries.back().counts[a.value("name").toString()] = a.value("count").toInt();
            if (a.value("name") == QLatin1String("colorsplit"))
                entries.back().exec = a.value("exec").toString();
        }
    }
    ok = ok && !xml.hasError();
    return entries;
}

QString Href(const QString& file) {
    return QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded());
}

// A list as GTK writes it, with another program's entries: one for a file of ours.
QByteArray GtkList(const QString& ours, const QString& theirs) {
    return QStringLiteral(
               R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"
>
  <bookmark href="%1" added="2023-01-02T03:04:05.000001Z" modified="2023-01-02T03:04:05.000001Z" visited="2023-01-02T03:04:05.000001Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="image/bmp"/>
        <bookmark:groups><bookmark:group>Graphics</bookmark:group></bookmark:groups>
        <bookmark:applications>
          <bookmark:application name="GNU Image Manipulation Program" exec="&apos;gimp-2.10 %u&apos;" modified="2023-01-02T03:04:05.000001Z" count="3"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
  <bookmark href="%2" added="2023-02-02T03:04:05Z" modified="2023-02-02T03:04:05Z" visited="2023-02-02T03:04:05Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="text/plain"/>
        <bookmark:applications>
          <bookmark:application name="gedit" exec="&apos;gedit %u&apos;" modified="2023-02-02T03:04:05Z" count="1"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
</xbel>
)")
        .arg(Href(ours), Href(theirs))
        .toUtf8();
}

// The desktop's list gets each opened file's entry, added or moved to the end with its count
// raised, every other program's entries and data kept; a list that is not XBEL, or cannot be
// written, is left exactly as it was.
TEST(DesktopList, EntriesAreAddedOrMovedAndEverythingElseKept) {
    QTemporaryDir dir;
    const QString xbel = dir.filePath("share/recently-used.xbel");
    const QString picture = dir.filePath("a picture, 圖片 #1.bmp");
    const QString text = dir.filePath("notes.txt");
    const QDateTime first = QDateTime::fromString("2024-05-06T07:08:09.123Z", Qt::ISODateWithMs);
    const QDateTime later = first.addSecs(60);
    const QString firstStamp = first.toString(Qt::ISODateWithMs);
    const QString laterStamp = later.toString(Qt::ISODateWithMs);

    const struct {
        const char* what;
        QByteArray before;  // the list as it is; empty for none
        QDateTime when;
        bool written;
        int entries;
        std::map<QString, int> counts;  // the picture's
        QString added;                  // the picture's
    } cases[] = {
        {"no list yet", {}, first, true, 1, {{"colorsplit", 1}}, firstStamp},
        {"opened again", {}, later, true, 1, {{"colorsplit", 2}}, firstStamp},
        {"another program's list",
         GtkList(picture, text),
         first,
         true,
         2,
         {{"colorsplit", 1}, {"GNU Image Manipulation Program", 3}},
         "2023-01-02T03:04:05.000001Z"},
        {"not XBEL", "<html><body>no</body></html>", first, false, 0, {}, {}},
        {"not XML", "<xbel version=\"1.0\"><bookmark", first, false, 0, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.before.isEmpty() || QString(c.what) == "no list yet") {
            QFile::remove(xbel);
            QDir().mkpath(dir.filePath("share"));
            if (!c.before.isEmpty()) {
                QFile out(xbel);
                ASSERT_TRUE(out.open(QIODevice::WriteOnly));
                out.write(c.before);
            }
        }
        EXPECT_EQ(recent::AddToDesktopList(xbel, picture, "image/bmp", c.when), c.written);
        if (!c.written) {
            QFile in(xbel);
            ASSERT_TRUE(in.open(QIODevice::ReadOnly));
            EXPECT_EQ(in.readAll(), c.before) << "left as it was";
            continue;
        }
        bool ok = false;
        const std::vector<Entry> entries = Read(xbel, ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(static_cast<int>(entries.size()), c.entries);
        const Entry& ours = entries.back();
        EXPECT_EQ(QUrl(ours.href).toLocalFile(), picture) << "the newest, last";
        EXPECT_EQ(ours.mimeType, "image/bmp");
        EXPECT_EQ(ours.counts, c.counts);
        EXPECT_EQ(ours.exec, "'colorsplit %u'");
        EXPECT_EQ(ours.added, c.added);
        EXPECT_EQ(ours.modified, c.when.toString(Qt::ISODateWithMs));
        if (c.entries == 2) {
            EXPECT_EQ(QUrl(entries.front().href).toLocalFile(), text);
            EXPECT_EQ(entries.front().mimeType, "text/plain");
            EXPECT_EQ(entries.front().counts, (std::map<QString, int>{{"gedit", 1}}));
            QFile in(xbel);
            ASSERT_TRUE(in.open(QIODevice::ReadOnly));
            EXPECT_TRUE(in.readAll().contains("<bookmark:group>Graphics</bookmark:group>"))
                << "what this program does not know stays";
        }
    }

    // A list that cannot be written (read-only, which holds even for root): it stays.
    const QString kept = GtkList(picture, text);
    QFile out(xbel);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(kept.toUtf8());
    out.close();
    QFile::setPermissions(xbel, QFile::ReadOwner);
    EXPECT_FALSE(recent::AddToDesktopList(xbel, text, "text/plain", later));
    QFile in(xbel);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(in.readAll()), kept);
    EXPECT_EQ(QDir(dir.filePath("share")).entryList(QDir::Files | QDir::Hidden),
              QStringList("recently-used.xbel"))
        << "no temporary left";
}

}  // namespace
}  // namespace colorsplit
