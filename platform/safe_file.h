#pragma once

#include <QByteArray>
#include <string>

#include "platform/picture_error.h"

namespace colorsplit {

// Writes a whole file so that a failure never harms the file it would replace: the bytes go
// into a new file beside it (unnamed until complete where the file system allows), are synced
// to the disk, and only then take its name. A device or
// pipe is written in place, since renaming over it would replace it. Read-only files and
// folders are refused even for root. Every failure throws PictureError for action, with the
// file, and the errno of the step that failed.
void WriteFileSafely(const std::string& fileName, const QByteArray& bytes,
                     PictureError::Action action);

}  // namespace colorsplit
