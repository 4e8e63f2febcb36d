#include "platform/picture.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <climits>
#include <filesystem>
#include <optional>

#include "platform/bmp_check.h"
#include "platform/picture_error.h"

namespace colorsplit {

namespace {

constexpr int kAllocationLimitMiB = 512;
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;

QString ToQString(const std::string& s) {
    return QString::fromStdString(s);
}

[[noreturn]] void Fail(const char* what, const std::string& fileName, const QString& cause) {
    throw PictureError(QStringLiteral("%1「%2」:%3")
                           .arg(QString::fromUtf8(what), ToQString(fileName), cause)
                           .toStdString());
}

[[noreturn]] void FailOpen(const std::string& fileName, const QString& cause) {
    Fail("無法開啟", fileName, cause);
}

// The file-system reasons first: they say more than a decoder's error would.
void CheckReadable(const std::string& fileName) {
    const QFileInfo info(ToQString(fileName));
    if (!info.exists())
        FailOpen(fileName, QStringLiteral("檔案不存在"));
    if (info.isDir())
        FailOpen(fileName, QStringLiteral("這是資料夾,不是圖片檔"));
    if (!info.isReadable())
        FailOpen(fileName, QStringLiteral("沒有讀取權限"));
}

void PrepareReader(QImageReader& reader) {
    // A picture is known by its content, not by its name.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
}

// The size a BMP header declares. Qt's reader gives no size for top-down files, nor for
// sizes it finds too large, and both must be known before anything is decoded.
std::optional<QSize> BmpDeclaredSize(const std::string& fileName) {
    QFile file(ToQString(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(26);
    if (head.size() < 26 || !head.startsWith("BM"))
        return std::nullopt;
    const auto le = [&](int offset, int bytes) {
        quint32 v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | static_cast<quint8>(head[offset + i]);
        return v;
    };
    const quint32 headerSize = le(14, 4);
    if (headerSize == 12)
        return QSize(static_cast<int>(le(18, 2)), static_cast<int>(le(20, 2)));
    if (headerSize < 40)
        return std::nullopt;
    const qint64 width = static_cast<qint32>(le(18, 4));
    const qint64 height = static_cast<qint32>(le(22, 4));
    // A negative height marks a top-down picture; sizes beyond int come out as invalid.
    const qint64 rows = height < 0 ? -height : height;
    if (width > INT_MAX || rows > INT_MAX)
        return QSize(-1, -1);
    return QSize(static_cast<int>(width), static_cast<int>(rows));
}

QString ReaderCause(const QImageReader& reader) {
    switch (reader.error()) {
        case QImageReader::FileNotFoundError:
            return QStringLiteral("檔案不存在");
        case QImageReader::DeviceError:
            return QStringLiteral("無法讀取檔案");
        case QImageReader::UnsupportedFormatError:
            return QStringLiteral("不是可讀取的圖片");
        case QImageReader::InvalidDataError:
            return QStringLiteral("圖片資料損壞或不完整");
        default:
            return QStringLiteral("無法解讀圖片(%1)").arg(reader.errorString());
    }
}

}  // namespace

QSize Picture::ReadSize(const std::string& fileName) {
    CheckReadable(fileName);
    QImageReader reader(ToQString(fileName));
    PrepareReader(reader);
    if (!reader.canRead())
        FailOpen(fileName, ReaderCause(reader));
    if (reader.format() == "bmp") {
        if (const std::optional<QSize> declared = BmpDeclaredSize(fileName))
            return *declared;
    }
    return reader.size();
}

QImage Picture::ReadFile(const std::string& fileName, qint64 maxPixels) {
    const QSize size = ReadSize(fileName);
    const auto tooLarge = [&](const QSize& s) {
        return static_cast<qint64>(s.width()) * s.height() > maxPixels;
    };
    // Some readers cannot tell the size before decoding; their allocation limit guards then.
    const bool sizeKnown = size.width() >= 0 && size.height() >= 0;
    if (sizeKnown && (size.width() == 0 || size.height() == 0))
        FailOpen(fileName, QStringLiteral("圖片大小無效"));
    if (!sizeKnown && size != QSize())
        FailOpen(fileName, QStringLiteral("圖片太大"));
    if (sizeKnown && tooLarge(size))
        FailOpen(fileName, QStringLiteral("圖片太大(%1x%2)").arg(size.width()).arg(size.height()));

    // The whole file is read once, checked, and decoded from memory.
    QFile file(ToQString(fileName));
    if (!file.open(QIODevice::ReadOnly))
        FailOpen(fileName, QStringLiteral("無法讀取檔案"));
    if (file.size() > kMaxFileBytes)
        FailOpen(fileName, QStringLiteral("檔案太大"));
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        FailOpen(fileName, QStringLiteral("無法讀取檔案"));
    if (const std::optional<QString> defect = BmpDefect(bytes))
        FailOpen(fileName, *defect);

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    PrepareReader(reader);
    reader.setAllocationLimit(kAllocationLimitMiB);
    QImage image = reader.read();
    if (image.isNull())
        FailOpen(fileName, ReaderCause(reader));
    if ((sizeKnown && image.size() != size) || tooLarge(image.size()))
        FailOpen(fileName, QStringLiteral("圖片資料損壞或不完整"));
    return image.convertToFormat(QImage::Format_RGB32);
}

TColor Picture::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return -1;
    const QRgb p = reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x];
    return PackColor(qRed(p), qGreen(p), qBlue(p));
}

void Picture::SetPixel(int x, int y, TColor c) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return;
    reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

void Picture::Assign(const QImage& image) {
    image_ = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

void Picture::SaveToFile(const std::string& fileName) const {
    const auto failSave = [&](const QString& cause) { Fail("無法儲存", fileName, cause); };
    if (image_.isNull())
        failSave(QStringLiteral("沒有可儲存的圖片"));
    const QFileInfo info(ToQString(fileName));
    if (info.isDir())
        failSave(QStringLiteral("這是資料夾"));
    // The rename below would replace a read-only file; refuse as a plain write would, and
    // honour the read-only mark even for root.
    if (info.exists() && (!info.isWritable() || !(info.permissions() & QFile::WriteOwner)))
        failSave(QStringLiteral("檔案是唯讀的"));
    if (!info.absoluteDir().exists())
        failSave(QStringLiteral("資料夾不存在"));
    // A new file would go into the folder: honour its read-only mark, even for root.
    const QFileInfo folder(info.absolutePath());
    if (!info.exists() && (!folder.isWritable() || !(folder.permissions() & QFile::WriteOwner)))
        failSave(QStringLiteral("資料夾是唯讀的"));

    // A device or pipe is written in place: renaming a new file over it would replace it.
    std::error_code ec;
    const auto status = std::filesystem::status(fileName, ec);
    if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        QFile file(ToQString(fileName));
        if (!file.open(QIODevice::WriteOnly))
            failSave(QStringLiteral("無法寫入(%1)").arg(file.errorString()));
        QImageWriter writer(&file, "bmp");
        if (!writer.write(image_) || !file.flush())
            failSave(QStringLiteral("無法寫入(%1)").arg(file.errorString()));
        return;
    }

    QSaveFile file(ToQString(fileName));
    if (!file.open(QIODevice::WriteOnly))
        failSave(QStringLiteral("無法寫入(%1)").arg(file.errorString()));
    QImageWriter writer(&file, "bmp");
    if (!writer.write(image_)) {
        file.cancelWriting();
        failSave(QStringLiteral("無法寫入(%1)").arg(writer.errorString()));
    }
    if (!file.commit())
        failSave(QStringLiteral("無法寫入(%1)").arg(file.errorString()));
}

}  // namespace colorsplit
