#include "ui/recent_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>

#include "support/qt_printers.h"

namespace colorsplit {
namespace {

// The list as a reader that resolves namespaces sees it, as GTK's and KDE's do: a line per
// entry, "file mime-type added modified" and each program's "name count".
QStringList Entries(const QString& xbel) {
    QFile in(xbel);
    if (!in.open(QIODevice::ReadOnly))
        return {"unreadable"};
    QStringList entries;
    QXmlStreamReader xml(&in);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto v = [&xml](const char* key) {
            return xml.attributes().value(QLatin1String(key)).toString();
        };
        const QString space = xml.namespaceUri().toString();
        if (xml.name() == QLatin1String("bookmark") && space.isEmpty())
            entries << QUrl(v("href")).toLocalFile() + ' ' + v("added") + ' ' + v("modified");
        else if (space.endsWith(QLatin1String("shared-mime-info")))
            entries.back() += ' ' + v("type");
        else if (space.endsWith(QLatin1String("bookmarks")) &&
                 xml.name() == QLatin1String("application"))
            entries.back() += ' ' + v("name") + ' ' + v("count");
    }
    return xml.hasError() ? QStringList{"not XML"} : entries;
}

// Each opened file's entry is added, or updated and moved to the end, every other program's
// entries and data kept; a list that is not XBEL, or cannot be written, is left as it was.
TEST(DesktopList, EntriesAreAddedOrMovedAndEverythingElseKept) {
    QTemporaryDir dir;
    const QString xbel = dir.filePath("share/recently-used.xbel");
    const QString ours = dir.filePath("a picture, 圖片 #1.bmp"), theirs = dir.filePath("n.txt");
    const QString gtk = QStringLiteral(
                            R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="%1" added="A" modified="A" visited="A"><info><metadata owner="http://freedesktop.org">
    <mime:mime-type type="image/bmp"/><bookmark:groups><bookmark:group>G</bookmark:group></bookmark:groups>
    <bookmark:applications><bookmark:application name="gimp" exec="&apos;gimp %u&apos;" modified="A" count="3"/></bookmark:applications>
  </metadata></info></bookmark>
  <bookmark href="%2" added="B" modified="B" visited="B"><info><metadata owner="http://freedesktop.org">
    <mime:mime-type type="text/plain"/>
    <bookmark:applications><bookmark:application name="gedit" exec="&apos;gedit %u&apos;" modified="B" count="1"/></bookmark:applications>
  </metadata></info></bookmark>
</xbel>)")
                            .arg(QString::fromUtf8(QUrl::fromLocalFile(ours).toEncoded()),
                                 QUrl::fromLocalFile(theirs).toString());
    const QDateTime t1 = QDateTime::fromString("2024-05-06T07:08:09.123Z", Qt::ISODateWithMs);
    const QString s1 = "2024-05-06T07:08:09.123Z", s2 = "2024-05-06T07:09:09.123Z";
    const QString mine = ours + " %1 %2 image/bmp %3";
    const struct {
        const char* what;
        QString before;  // the list as it is; null for none, empty to keep the last one
        QDateTime when;
        QStringList after;  // null: refused, the list as it was
    } cases[] = {
        {"no list yet", QString(), t1, {mine.arg(s1, s1, "colorsplit 1")}},
        {"opened again", "", t1.addSecs(60), {mine.arg(s1, s2, "colorsplit 2")}},
        {"another program's list",
         gtk,
         t1,
         {theirs + " B B text/plain gedit 1", mine.arg("A", s1, "gimp 3 colorsplit 1")}},
        {"not XBEL", "<html/>", t1, {}},
        {"not XML", "<xbel version=\"1.0\"><bookmark", t1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir().mkpath(dir.filePath("share"));
        if (c.before.isNull() || !c.before.isEmpty()) {
            QFile::remove(xbel);
            QFile out(xbel);
            ASSERT_TRUE(c.before.isNull() ||
                        (out.open(QIODevice::WriteOnly) && out.write(c.before.toUtf8()) > 0));
        }
        EXPECT_EQ(recent::AddToDesktopList(xbel, ours, "image/bmp", c.when), !c.after.isEmpty());
        QFile in(xbel);
        if (c.after.isEmpty())
            EXPECT_TRUE(in.open(QIODevice::ReadOnly) && in.readAll() == c.before.toUtf8());
        else
            EXPECT_EQ(Entries(xbel), c.after);
    }
    QFile in(xbel);
    ASSERT_TRUE(in.open(QIODevice::WriteOnly) && in.write(gtk.toUtf8()) > 0);
    in.close();
    EXPECT_TRUE(recent::AddToDesktopList(xbel, ours, "image/bmp", t1));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_TRUE(in.readAll().contains("<bookmark:group>G</bookmark:group>")) << "kept unknown";
    in.close();
    // Read-only (which holds even for root): refused, and nothing left beside it.
    const QStringList kept = Entries(xbel);
    QFile::setPermissions(xbel, QFile::ReadOwner);
    EXPECT_FALSE(recent::AddToDesktopList(xbel, theirs, "text/plain", t1));
    EXPECT_EQ(Entries(xbel), kept);
    EXPECT_EQ(QDir(dir.filePath("share")).entryList(QDir::Files | QDir::Hidden),
              QStringList("recently-used.xbel"));
}

}  // namespace
}  // namespace colorsplit
