// libFuzzer entry: arbitrary bytes straight into the picture decoders, in memory, with the
// file's colour profile applied as picture files apply it. A decoder must refuse with
// DecodeError or give a picture of the size its headers declared whose every pixel it wrote
// (opaque: decoders write 0xFF alpha, fresh memory seldom holds it, and conversions keep it).
#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto decoder = colorsplit::DecoderFor(bytes);
        const QSize declared = decoder->Size();
        const auto colours =
            std::make_shared<const colorsplit::ColourConversion>(decoder->Colours(), true);
        if (colours->ConvertsCmyk())
            decoder->ConvertCmykWith(colours);
        QImage image = decoder->Decode(4 * 1024 * 1024);
        colours->Convert(image, image);
        if (image.size() != declared || image.format() != QImage::Format_RGB32)
            std::abort();
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(row[x]) != 0xFF)
                    std::abort();
        }
    } catch (const colorsplit::DecodeError&) {
        // A refusal with a cause is what most inputs get.
    }
    return 0;
}
