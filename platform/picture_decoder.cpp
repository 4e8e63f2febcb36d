#include "platform/picture_decoder.h"

#include <QBuffer>
#include <QImageReader>

namespace colorsplit {

namespace {

bool StartsWith(const QByteArray& file, const char* magic, qsizetype length) {
    return file.size() >= length && std::equal(magic, magic + length, file.constData());
}

}  // namespace

std::unique_ptr<PictureDecoder> DecoderFor(const QByteArray& file) {
    if (StartsWith(file, "BM", 2))
        return MakeBmpDecoder(file);
    if (StartsWith(file, "\x89PNG\r\n\x1A\n", 8))
        return MakePngDecoder(file);
    if (StartsWith(file, "\xFF\xD8\xFF", 3))
        return MakeJpegDecoder(file);
    // Other formats cannot be checked complete before they are shown; name them if Qt knows
    // them, from their first bytes only.
    QByteArray head = file.left(4096);
    QBuffer buffer(&head);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    const QString readable = QString::fromUtf8("可開啟的圖片是 BMP、PNG 與 JPEG");
    if (!format.isEmpty())
        throw DecodeError{QString::fromUtf8("不支援 %1 格式的圖片(%2)")
                              .arg(QString::fromLatin1(format.toUpper()), readable)};
    throw DecodeError{QString::fromUtf8("不是可讀取的圖片(%1)").arg(readable)};
}

QImage NewPicture(qint64 width, qint64 height, qint64 maxPixels) {
    if (width > maxPixels || height > maxPixels || width * height > maxPixels)
        throw DecodeError{QString::fromUtf8("圖片太大(%1x%2)").arg(width).arg(height)};
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull())
        throw DecodeError{QString::fromUtf8("記憶體不足,無法載入圖片")};
    return image;
}

}  // namespace colorsplit
