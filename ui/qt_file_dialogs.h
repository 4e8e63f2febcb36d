#pragma once

#include <QJsonValue>
#include <QString>
#include <functional>
#include <memory>

#include "session/file_dialog.h"

class QWidget;

namespace colorsplit {

// The real file dialogs. The open dialog starts where the last picture was opened (in this run
// or an earlier one), else in the samples. The save and export dialogs start where the last
// save or export went; else in the opened picture's folder, if it can be written; else in the
// user's Pictures folder, or home. openedFile names the picture shown, if any.
// A folder that cannot be remembered is reported through report; the dialog goes on.
using Report = std::function<void(const QString&)>;
std::unique_ptr<FileDialog> MakeOpenPictureDialog(QWidget* parent, Report report);
std::unique_ptr<FileDialog> MakeSaveDialog(QWidget* parent, std::function<std::string()> openedFile,
                                           Report report);
std::unique_ptr<FileDialog> MakeFolderDialog(QWidget* parent,
                                             std::function<std::string()> openedFile,
                                             Report report);
// A palette file to seed from: it starts where saves and exports go, where exported palettes
// are.
std::unique_ptr<FileDialog> MakePaletteDialog(QWidget* parent,
                                              std::function<std::string()> openedFile,
                                              Report report);
// A palette file of inks, as the seeds' dialog finds one, under its own title.
std::unique_ptr<FileDialog> MakeInksDialog(QWidget* parent, std::function<std::string()> openedFile,
                                           Report report);

// Where the bundled sample pictures are: installed beside the program's data, or in the
// source tree when run from the build folder. Empty when neither exists.
QString SamplesDirectory();

// A folder a dialog may start in: one that exists, and none of the kernel's (/proc, /sys, /dev).
bool UsableFolder(const QString& folder);

// What the window remembers between runs, in colorsplit/settings.json under the user's
// configuration folder (XDG_CONFIG_HOME, usually ~/.config).
namespace remembered {
inline constexpr char kOpenFolder[] = "openFolder";
inline constexpr char kWriteFolder[] = "saveFolder";
inline constexpr char kLoupe[] = "loupe";
inline constexpr char kZoom[] = "zoom";
inline constexpr char kInks[] = "inks";
inline constexpr char kExport[] = "export";
inline constexpr char kProfiles[] = "applyProfiles";
inline constexpr char kWindow[] = "window";
QString Folder(const char* key);
bool Flag(const char* key, bool otherwise);
// Whatever is kept under key; undefined when nothing is.
QJsonValue Value(const char* key);
// Written at once through the safe save; a failure goes to report, naming the file and the
// cause, and what was remembered before stays.
void SetFolder(const char* key, const QString& folder, const Report& report);
void SetFlag(const char* key, bool value, const Report& report);
void SetValue(const char* key, const QJsonValue& value, const Report& report);
}  // namespace remembered

}  // namespace colorsplit
