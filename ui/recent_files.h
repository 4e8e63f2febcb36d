#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "ui/qt_file_dialogs.h"

namespace colorsplit::recent {

// How many files 檔案 → 最近開啟的檔案 lists.
inline constexpr int kMost = 10;

// The files last opened, newest first, as remembered in the settings; those no longer there
// are left out.
QStringList Files();
// A picture was opened from file: first in the list, which keeps kMost, and in the desktop's
// list of recently used files. A failure to remember it goes to report; the desktop's list is
// the desktop's, and a failure to write it is passed over.
void Opened(const QString& file, const Report& report);

// The desktop's list of recently used files, as GTK and KDE programs keep it: an XBEL file,
// recently-used.xbel in the user's data folder (XDG_DATA_HOME, usually ~/.local/share).
QString DesktopListFile();
// file's entry in the XBEL list at xbel, with its MIME type, as opened by this program at when:
// added, or updated and moved to the end (the newest), every other entry and application kept.
// Written whole beside the old list and renamed over it. False, and the list left as it was,
// when it cannot be read, is not an XBEL list, or cannot be written.
bool AddToDesktopList(const QString& xbel, const QString& file, const QString& mimeType,
                      const QDateTime& when);

}  // namespace colorsplit::recent
