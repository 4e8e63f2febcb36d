// WebP files through libwebp: lossy, lossless, with alpha (the colours as stored), and
// animated, of which the first frame as it shows on the animation's canvas.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "platform/picture_decoder.h"

namespace colorsplit {

namespace {

// What libwebp's status says, as a kind.
Problem Damaged(VP8StatusCode status) {
    const QString webp = QStringLiteral("WebP");
    switch (status) {
        case VP8_STATUS_NOT_ENOUGH_DATA:
            return {Problem::kDamaged, static_cast<int>(Damage::kCutShort), 0, webp};
        case VP8_STATUS_BITSTREAM_ERROR:
            return {Problem::kDamaged, static_cast<int>(Damage::kData), 0, webp};
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return {Problem::kUnsupportedVariant, static_cast<int>(Variant::kOther), 0, webp};
        case VP8_STATUS_OUT_OF_MEMORY:
            return {Problem::kNoMemoryForPicture};
        default:
            return {Problem::kDamaged, static_cast<int>(Damage::kGeneral), 0, webp};
    }
}

const std::uint8_t* Bytes(const QByteArray& file) {
    return reinterpret_cast<const std::uint8_t*>(file.constData());
}

WebPBitstreamFeatures Features(const QByteArray& file) {
    WebPBitstreamFeatures features{};
    const VP8StatusCode status =
        WebPGetFeatures(Bytes(file), static_cast<size_t>(file.size()), &features);
    if (status != VP8_STATUS_OK)
        throw DecodeError{Damaged(status)};
    return features;
}

// The ICCP chunk's profile; a file the demuxer cannot take has none it can tell.
StoredColours ColoursOf(const QByteArray& file) {
    StoredColours colours;
    const WebPData data{Bytes(file), static_cast<size_t>(file.size())};
    WebPDemuxer* demux = WebPDemux(&data);
    if (demux == nullptr)
        return colours;
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk)) {
        colours.icc = QByteArray(reinterpret_cast<const char*>(chunk.chunk.bytes),
                                 static_cast<qsizetype>(chunk.chunk.size));
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPDemuxDelete(demux);
    return colours;
}

// Opaque: the colours as stored, whatever their alpha.
void Opaque(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] |= 0xFF000000u;
    }
}

class WebPDecoder : public OrientedDecoder {
public:
    explicit WebPDecoder(const QByteArray& file) : WebPDecoder(file, Features(file)) {}

private:
    WebPDecoder(const QByteArray& file, const WebPBitstreamFeatures& features)
        : OrientedDecoder(file, features.width, features.height, 1),
          animated_(features.has_animation != 0),
          colours_(ColoursOf(file)) {}

    StoredColours Colours() const override { return colours_; }

    void DecodeInto(QImage& image) const override {
        if (animated_)
            FirstFrame(image);
        else
            Still(image);
        Opaque(image);
    }

    void Still(QImage& image) const {
        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config))
            throw DecodeError{{Problem::kNoMemoryForPicture}};
        // Straight into the picture: B, G, R, A in memory, the words Format_RGB32 holds.
        config.output.colorspace = MODE_BGRA;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = image.bits();
        config.output.u.RGBA.stride = static_cast<int>(image.bytesPerLine());
        config.output.u.RGBA.size = static_cast<size_t>(image.sizeInBytes());
        const VP8StatusCode status =
            WebPDecode(Bytes(File()), static_cast<size_t>(File().size()), &config);
        WebPFreeDecBuffer(&config.output);
        if (status != VP8_STATUS_OK)
            throw DecodeError{Damaged(status)};
    }

    void FirstFrame(QImage& image) const {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options))
            throw DecodeError{{Problem::kNoMemoryForPicture}};
        // B, G, R, A in memory: the words Format_RGB32 holds.
        options.color_mode = MODE_BGRA;
        options.use_threads = 0;
        const WebPData data{Bytes(File()), static_cast<size_t>(File().size())};
        const std::unique_ptr<WebPAnimDecoder, decltype(&WebPAnimDecoderDelete)> decoder(
            WebPAnimDecoderNew(&data, &options), &WebPAnimDecoderDelete);
        WebPAnimInfo info{};
        if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info))
            throw DecodeError{Damaged(VP8_STATUS_BITSTREAM_ERROR)};
        std::uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (static_cast<int>(info.canvas_width) != image.width() ||
            static_cast<int>(info.canvas_height) != image.height() ||
            !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
            throw DecodeError{Damaged(VP8_STATUS_BITSTREAM_ERROR)};
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(image.scanLine(y), canvas + static_cast<size_t>(y) * info.canvas_width * 4,
                        static_cast<size_t>(info.canvas_width) * 4);
    }

    bool animated_;
    StoredColours colours_;
};

}  // namespace

std::unique_ptr<PictureDecoder> MakeWebPDecoder(const QByteArray& file) {
    return std::make_unique<WebPDecoder>(file);
}

}  // namespace colorsplit
