#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "session/file_dialog.h"

class QWidget;

namespace colorsplit {

// The real open and save dialogs.
std::unique_ptr<FileDialog> MakeOpenPictureDialog(QWidget* parent);
std::unique_ptr<FileDialog> MakeSaveDialog(QWidget* parent);
// A folder to export into. It starts in the last one chosen, or else beside the file that
// lastSave names (the last file saved), when there is one.
std::unique_ptr<FileDialog> MakeFolderDialog(QWidget* parent,
                                             std::function<std::string()> lastSave);

// Where the bundled sample pictures are: installed beside the program's data, or in the
// source tree when run from the build folder. Empty when neither exists.
QString SamplesDirectory();

}  // namespace colorsplit
