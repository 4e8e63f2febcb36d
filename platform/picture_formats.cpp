#include "platform/picture_formats.h"

#include "platform/picture_decoder.h"

namespace colorsplit {

const std::vector<PictureFormat>& PictureFormats() {
    static const std::vector<PictureFormat> formats = {
        {QStringLiteral("BMP"),
         QByteArray("BM"),
         {QStringLiteral("*.bmp"), QStringLiteral("*.dib"), QStringLiteral("*.rle")},
         {QStringLiteral("image/bmp")},
         MakeBmpDecoder},
        {QStringLiteral("PNG"),
         QByteArray("\x89PNG\r\n\x1A\n", 8),
         {QStringLiteral("*.png")},
         {QStringLiteral("image/png")},
         MakePngDecoder},
        {QStringLiteral("JPEG"),
         QByteArray("\xFF\xD8\xFF", 3),
         {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.jpe"),
          QStringLiteral("*.jfif")},
         {QStringLiteral("image/jpeg")},
         MakeJpegDecoder},
    };
    return formats;
}

QString PictureFilePatterns() {
    QStringList patterns;
    for (const PictureFormat& format : PictureFormats())
        patterns += format.patterns;
    return patterns.join(QLatin1Char(' '));
}

}  // namespace colorsplit
