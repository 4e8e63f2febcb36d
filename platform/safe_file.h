#pragma once

#include <QByteArray>
#include <string>

namespace colorsplit {

// Writes a whole file so that a failure never harms the file it would replace: the bytes go
// into a new file beside it (unnamed until complete where the file system allows), are synced
// to the disk, and only then take its name. A device or
// pipe is written in place, since renaming over it would replace it. Read-only files and
// folders are refused even for root. Every failure throws PictureError reading
// "<failure>「<file>」:<cause>", the cause from the one table of causes (causes.h).
void WriteFileSafely(const std::string& fileName, const QByteArray& bytes, const char* failure);

}  // namespace colorsplit
