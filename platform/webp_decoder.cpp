// WebP files through libwebp: lossy, lossless, with alpha (the colours as stored), and
// animated, of which the first frame as it shows on the animation's canvas.
#include <sys/mman.h>
#include <unistd.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
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

// Room for a decoder's whole output whose rows, once handed on, go back to the system:
// libwebp writes a picture into one buffer of its size, which is then never held whole.
class RowMemory {
public:
    explicit RowMemory(size_t bytes) : bytes_(bytes) {
        void* at = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (at == MAP_FAILED)
            throw DecodeError{{Problem::kNoMemoryForPicture}};
        data_ = static_cast<std::uint8_t*>(at);
    }
    ~RowMemory() { munmap(data_, bytes_); }
    RowMemory(const RowMemory&) = delete;
    RowMemory& operator=(const RowMemory&) = delete;

    std::uint8_t* Data() const { return data_; }
    // Bytes up to this one are used: the whole pages among them are given back.
    void UsedUpTo(size_t end) {
        static const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t to = end / page * page;
        if (to > released_)
            madvise(data_ + released_, to - released_, MADV_DONTNEED);
        released_ = std::max(released_, to);
    }

private:
    std::uint8_t* data_ = nullptr;
    size_t bytes_;
    size_t released_ = 0;
};

struct IDecoderDelete {
    void operator()(WebPIDecoder* d) const { WebPIDelete(d); }
};

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

    // A still through the incremental decoder, fed the file a piece at a time: the rows each
    // piece completes are handed on a band at a time, and their memory given back.
    void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const override {
        if (animated_) {
            OrientedDecoder::DecodeBands(maxPixels, rows, sink);
            return;
        }
        CheckSize(maxPixels);
        const auto width = static_cast<int>(StoredWidth()),
                   height = static_cast<int>(StoredHeight());
        const size_t stride = static_cast<size_t>(width) * 4;
        RowMemory memory(stride * static_cast<size_t>(height));
        WebPDecBuffer output;
        if (!WebPInitDecBuffer(&output))
            throw DecodeError{{Problem::kNoMemoryForPicture}};
        // B, G, R, A in memory: the words Format_RGB32 holds.
        output.colorspace = MODE_BGRA;
        output.is_external_memory = 1;
        output.u.RGBA.rgba = memory.Data();
        output.u.RGBA.stride = static_cast<int>(stride);
        output.u.RGBA.size = stride * static_cast<size_t>(height);
        const std::unique_ptr<WebPIDecoder, IDecoderDelete> decoder(WebPINewDecoder(&output));
        if (!decoder)
            throw DecodeError{{Problem::kNoMemoryForPicture}};
        // Pieces of about a band's share of the file, so that each completes a band or so.
        const auto size = static_cast<size_t>(File().size());
        const size_t piece =
            std::max<size_t>(4096, size / static_cast<size_t>((height + rows - 1) / rows));
        int handed = 0;
        for (size_t fed = 0; handed < height;) {
            if (fed == size)
                throw DecodeError{Damaged(VP8_STATUS_NOT_ENOUGH_DATA)};
            fed = std::min(size, fed + piece);
            const VP8StatusCode status = WebPIUpdate(decoder.get(), Bytes(File()), fed);
            if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
                throw DecodeError{Damaged(status)};
            int done = 0;
            WebPIDecGetRGB(decoder.get(), &done, nullptr, nullptr, nullptr);
            while (done - handed >= rows || (done == height && handed < height)) {
                const int n = std::min(rows, done - handed);
                QImage band(memory.Data() + stride * static_cast<size_t>(handed), width, n,
                            static_cast<qsizetype>(stride), QImage::Format_RGB32);
                Opaque(band);
                if (!sink(band, handed))
                    return;
                handed += n;
                memory.UsedUpTo(stride * static_cast<size_t>(handed));
            }
        }
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
