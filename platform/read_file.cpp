#include "platform/read_file.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace colorsplit {

QByteArray ReadWholeFile(const std::string& fileName, qint64 maxBytes,
                         PictureError::Action action) {
    const auto fail = [&](Problem problem) {
        throw PictureError(action, fileName, std::move(problem));
    };
    // The file-system reasons first: they say more than what the file holds would.
    const QFileInfo info(QString::fromStdString(fileName));
    if (!info.exists())
        fail({Problem::kMissing});
    if (info.isDir())
        fail({Problem::kFolderNotPicture});
    if (!info.isReadable())
        fail({Problem::kNoReadPermission});
    QFile file(info.filePath());
    const auto cannotRead = [&fail](int code) {
        fail({Problem::kCannotRead, 0, 0, {}, code != 0 ? code : EIO});
    };
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        cannotRead(errno);
    if (file.size() > maxBytes)
        fail({Problem::kFileTooLarge});
    errno = 0;
    QByteArray bytes = file.readAll();
    if (bytes.size() != file.size() || file.error() != QFileDevice::NoError)
        cannotRead(errno);
    return bytes;
}

}  // namespace colorsplit
