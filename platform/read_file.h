#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <string>

#include "platform/picture_error.h"

namespace colorsplit {

// A whole file read into memory, the file system's reasons first (no such file, a folder, no
// permission); files larger than maxBytes are refused unread. Every failure throws
// PictureError for action, naming the file.
QByteArray ReadWholeFile(const std::string& fileName, qint64 maxBytes, PictureError::Action action);

}  // namespace colorsplit
