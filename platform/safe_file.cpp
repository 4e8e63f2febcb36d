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

// Writes all bytes and pushes them out of Qt's buffer; false on any failure, the file's
// error string saying why.
bool WriteAll(QFileDevice& file, const QByteArray& bytes) {
    return file.write(bytes) == bytes.size() && file.flush();
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
        if (!file.open(QIODevice::WriteOnly) || !WriteAll(file, bytes))
            cannotWrite(file);
        return;
    }

    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(file);
    // Qt 6.4's commit() reports success even when flushing its buffer failed (a full disk),
    // and then puts the cut-short file in place of the old one: flush and sync first.
    QString cause;
    if (!WriteAll(file, bytes))
        cause = file.errorString();
    else if (::fsync(file.handle()) != 0)
        cause = QString::fromLocal8Bit(std::strerror(errno));
    if (!cause.isNull()) {
        file.cancelWriting();
        fail(QStringLiteral("無法寫入(%1)").arg(cause));
    }
    if (!file.commit())
        cannotWrite(file);
}

}  // namespace colorsplit
