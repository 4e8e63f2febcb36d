#include "platform/safe_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include "platform/picture_error.h"

namespace colorsplit {

namespace {

// Why a write failed, in the user's words where the reason is a common one.
QString Reason(int code) {
    switch (code) {
        case ENOSPC:
            return QStringLiteral("磁碟空間不足");
        case EDQUOT:
            return QStringLiteral("超過磁碟配額");
        case EFBIG:
            return QStringLiteral("檔案超過允許的大小");
        case EROFS:
            return QStringLiteral("唯讀的檔案系統");
        case EACCES:
        case EPERM:
            return QStringLiteral("沒有寫入權限");
        case EIO:
            return QStringLiteral("裝置讀寫錯誤");
        default:
            return QString::fromLocal8Bit(std::strerror(code));
    }
}

// Writes all bytes, pushes them out of Qt's buffer and, for a regular file, onto the disk.
// An empty string when all went well, else why not. (Qt 6.4 says only "Unknown error" when a
// flush fails, so the reason is taken from errno.)
QString WriteAll(QFileDevice& file, const QByteArray& bytes, bool sync) {
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush() || (sync && ::fsync(file.handle()) != 0))
        return errno != 0 ? Reason(errno) : file.errorString();
    return QString();
}

}  // namespace

void WriteFileSafely(const std::string& fileName, const QByteArray& bytes, const char* failure) {
    const QString name = QString::fromStdString(fileName);
    const auto fail = [&](const QString& cause) {
        throw PictureError(QStringLiteral("%1「%2」:%3")
                               .arg(QString::fromUtf8(failure), name, cause)
                               .toStdString());
    };
    const auto cannotWrite = [&](const QFileDevice& file) {
        fail(QStringLiteral("無法寫入(%1)").arg(file.errorString()));
    };
    const QFileInfo info(name);
    if (info.isDir())
        fail(QStringLiteral("這是資料夾"));
    // The rename below would replace a read-only file; refuse as a plain write would, and
    // honour the read-only mark even for root.
    if (info.exists() && (!info.isWritable() || !(info.permissions() & QFile::WriteOwner)))
        fail(QStringLiteral("檔案是唯讀的"));
    if (!info.absoluteDir().exists())
        fail(QStringLiteral("資料夾不存在"));
    // A new file would go into the folder: honour its read-only mark, even for root.
    const QFileInfo folder(info.absolutePath());
    if (!info.exists() && (!folder.isWritable() || !(folder.permissions() & QFile::WriteOwner)))
        fail(QStringLiteral("資料夾是唯讀的"));

    std::error_code ec;
    const auto status = std::filesystem::status(fileName, ec);
    if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly))
            cannotWrite(file);
        const QString failed = WriteAll(file, bytes, false);
        if (!failed.isEmpty())
            fail(QStringLiteral("無法寫入(%1)").arg(failed));
        return;
    }

    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(file);
    // Qt 6.4's commit() reports success even when flushing its buffer failed (a full disk),
    // and then puts the cut-short file in place of the old one: flush and sync first.
    const QString failed = WriteAll(file, bytes, true);
    if (!failed.isEmpty()) {
        file.cancelWriting();
        fail(QStringLiteral("無法寫入(%1)").arg(failed));
    }
    if (!file.commit())
        cannotWrite(file);
}

}  // namespace colorsplit
