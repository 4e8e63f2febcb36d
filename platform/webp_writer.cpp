// WebP files written through libwebp into memory; the caller writes them out safely.
#include "platform/webp_writer.h"

#include <webp/encode.h>

#include "platform/png_writer.h"

namespace colorsplit {

QByteArray EncodeWebP(const QImage& picture) {
    // B, G, R, A in memory, the words of Format_RGB32, whose alpha is 255.
    std::uint8_t* out = nullptr;
    const size_t size =
        WebPEncodeLosslessBGRA(picture.constBits(), picture.width(), picture.height(),
                               static_cast<int>(picture.bytesPerLine()), &out);
    QByteArray bytes;
    if (size > 0)
        bytes = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    WebPFree(out);
    if (size == 0)
        throw EncodeError{};
    return bytes;
}

}  // namespace colorsplit
