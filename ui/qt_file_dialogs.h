#pragma once

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
std::unique_ptr<FileDialog> MakeOpenPictureDialog(QWidget* parent);
std::unique_ptr<FileDialog> MakeSaveDialog(QWidget* parent,
                                           std::function<std::string()> openedFile);
std::unique_ptr<FileDialog> MakeFolderDialog(QWidget* parent,
                                             std::function<std::string()> openedFile);

// Where the bundled sample pictures are: installed beside the program's data, or in the
// source tree when run from the build folder. Empty when neither exists.
QString SamplesDirectory();

// What the window remembers between runs (QSettings, under the program's own name).
namespace remembered {
inline constexpr char kOpenFolder[] = "folders/open";
inline constexpr char kWriteFolder[] = "folders/save";
inline constexpr char kLoupe[] = "window/loupe";
QString Folder(const char* key);
void SetFolder(const char* key, const QString& folder);
bool Flag(const char* key, bool otherwise);
void SetFlag(const char* key, bool value);
}  // namespace remembered

}  // namespace colorsplit
