// HEIC and AVIF files through libheif (HEVC by libde265, AV1 by libaom or dav1d): the primary
// picture. libheif turns and mirrors it as the file's own boxes say, so no Exif orientation is
// applied after it; samples of more than 8 bits are scaled to the nearest of 256 levels.
#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/picture_decoder.h"
#include "platform/picture_formats.h"
#include "platform/samples.h"

namespace colorsplit {

namespace {

void Initialised() {
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

const std::uint8_t* Bytes(const QByteArray& file) {
    return reinterpret_cast<const std::uint8_t*>(file.constData());
}

// The MIME type libheif reads from the file's boxes: image/heic, image/heif, image/avif, and
// those of sequences; empty for other files.
QByteArray MimeType(const QByteArray& file) {
    if (file.size() < 12)
        return {};
    Initialised();
    return QByteArray(heif_get_file_mime_type(Bytes(file), static_cast<int>(file.size())));
}

// A file that begins with an ISO box of type ftyp but has no brand libheif knows.
bool FileTypeBox(const QByteArray& file) {
    return file.size() >= 8 && file.mid(4, 4) == "ftyp";
}

// What libheif's error says, as a kind.
Problem Refusal(const heif_error& error, const QString& format) {
    switch (error.code) {
        case heif_error_Memory_allocation_error:
            return {Problem::kNoMemoryForPicture};
        case heif_error_Unsupported_filetype:
        case heif_error_Unsupported_feature:
            return {Problem::kUnsupportedVariant,
                    static_cast<int>(error.subcode == heif_suberror_Unsupported_codec
                                         ? Variant::kNoDecoder
                                         : Variant::kOther),
                    0, format};
        case heif_error_Invalid_input:
            return {Problem::kDamaged,
                    static_cast<int>(error.subcode == heif_suberror_End_of_data ? Damage::kCutShort
                                                                                : Damage::kHeader),
                    0, format};
        case heif_error_Decoder_plugin_error:
            return {Problem::kDamaged, static_cast<int>(Damage::kData), 0, format};
        default:
            return {Problem::kDamaged, static_cast<int>(Damage::kGeneral), 0, format};
    }
}

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleFree>;
using Image = std::unique_ptr<heif_image, ImageFree>;
using Options = std::unique_ptr<heif_decoding_options, OptionsFree>;

// The file read, its primary picture's handle at hand.
struct Primary {
    Context context;
    Handle handle;

    Primary(const QByteArray& file, const QString& format) {
        Initialised();
        context.reset(heif_context_alloc());
        if (!context)
            throw DecodeError{{Problem::kNoMemoryForPicture}};
        const auto check = [&format](const heif_error& error) {
            if (error.code != heif_error_Ok)
                throw DecodeError{Refusal(error, format)};
        };
        check(heif_context_read_from_memory_without_copy(
            context.get(), file.constData(), static_cast<size_t>(file.size()), nullptr));
        heif_image_handle* primary = nullptr;
        check(heif_context_get_primary_image_handle(context.get(), &primary));
        handle.reset(primary);
    }
};

// The colr box's ICC profile (when there are two, libheif gives it first), or its nclx.
StoredColours ColoursOf(heif_image_handle* handle) {
    StoredColours colours;
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_rICC || type == heif_color_profile_type_prof) {
        colours.icc.resize(
            static_cast<qsizetype>(heif_image_handle_get_raw_color_profile_size(handle)));
        colours.damaged =
            colours.icc.isEmpty() ||
            heif_image_handle_get_raw_color_profile(handle, colours.icc.data()).code !=
                heif_error_Ok;
        return colours;
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok ||
        nclx == nullptr)
        return colours;
    colours.nclx = StoredColours::Nclx{
        nclx->color_primaries,
        nclx->transfer_characteristics,
        {nclx->color_primary_red_x, nclx->color_primary_red_y, nclx->color_primary_green_x,
         nclx->color_primary_green_y, nclx->color_primary_blue_x, nclx->color_primary_blue_y,
         nclx->color_primary_white_x, nclx->color_primary_white_y}};
    heif_nclx_color_profile_free(nclx);
    return colours;
}

QString FormatOf(const QByteArray& file) {
    return MimeType(file).startsWith("image/avif") ? QStringLiteral("AVIF")
                                                   : QStringLiteral("HEIC");
}

class HeifDecoder : public OrientedDecoder {
public:
    explicit HeifDecoder(const QByteArray& file) : HeifDecoder(file, FormatOf(file)) {}

private:
    HeifDecoder(const QByteArray& file, const QString& format)
        : HeifDecoder(file, format, Primary(file, format)) {}
    HeifDecoder(const QByteArray& file, const QString& format, const Primary& primary)
        : OrientedDecoder(file, heif_image_handle_get_width(primary.handle.get()),
                          heif_image_handle_get_height(primary.handle.get()), 1),
          format_(format),
          deep_(heif_image_handle_get_luma_bits_per_pixel(primary.handle.get()) > 8),
          colours_(ColoursOf(primary.handle.get())) {}

    StoredColours Colours() const override { return colours_; }

    void DecodeInto(QImage& image) const override {
        const Primary primary(File(), format_);
        const Options options(heif_decoding_options_alloc());
        heif_image* decoded = nullptr;
        const heif_error error = heif_decode_image(
            primary.handle.get(), &decoded, heif_colorspace_RGB,
            deep_ ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB, options.get());
        const Image owned(decoded);
        if (error.code != heif_error_Ok)
            throw DecodeError{Refusal(error, format_)};
        int stride = 0;
        const std::uint8_t* pixels =
            heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
        const int bits = heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved);
        if (pixels == nullptr ||
            heif_image_get_width(decoded, heif_channel_interleaved) != image.width() ||
            heif_image_get_height(decoded, heif_channel_interleaved) != image.height())
            throw DecodeError{
                Refusal({heif_error_Decoder_plugin_error, heif_suberror_Unspecified, ""}, format_)};
        const unsigned most = (1u << std::max(bits, 8)) - 1;
        for (int y = 0; y < image.height(); ++y) {
            const std::uint8_t* row = pixels + static_cast<qsizetype>(y) * stride;
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (!deep_) {
                    out[x] = qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
                    continue;
                }
                // Little-endian samples of up to 16 bits, to the nearest of 256 levels.
                const auto level = [&](int s) {
                    const unsigned v = row[6 * x + 2 * s] | row[6 * x + 2 * s + 1] << 8;
                    return static_cast<int>(Level(v, most));
                };
                out[x] = qRgb(level(0), level(1), level(2));
            }
        }
    }

    QString format_;
    bool deep_;
    StoredColours colours_;
};

}  // namespace

Likeness LikeHeic(const QByteArray& file) {
    const QByteArray type = MimeType(file);
    if (type.startsWith("image/heic") || type.startsWith("image/heif"))
        return Likeness::kYes;
    // An ISO file of no brand known, cut short before its brands: a damaged one, of HEIF's.
    return FileTypeBox(file) && file.size() < 16 && type.isEmpty() ? Likeness::kDamaged
                                                                   : Likeness::kNo;
}

Likeness LikeAvif(const QByteArray& file) {
    return MimeType(file).startsWith("image/avif") ? Likeness::kYes : Likeness::kNo;
}

std::unique_ptr<PictureDecoder> MakeHeifDecoder(const QByteArray& file) {
    return std::make_unique<HeifDecoder>(file);
}

}  // namespace colorsplit
