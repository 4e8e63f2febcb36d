// HEIC and AVIF files through libheif (HEVC by libde265, AV1 by libaom or dav1d): the primary
// picture. libheif turns and mirrors it as the file's own boxes say, so no Exif orientation is
// applied after it; samples of more than 8 bits are scaled to the nearest of 256 levels.
#include <libheif/heif.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "core/colors.h"

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

// What libheif reads, by the file's type box as libheif itself checks it: an ISO file one of
// whose compatible brands it takes (so "mif2" files that list "mif1" too), or of a main brand
// it names. AVIF where the brands say AV1, HEIC otherwise; empty for other files.
QString Kind(const QByteArray& file) {
    if (file.size() < 12 || file.mid(4, 4) != "ftyp")
        return {};
    Initialised();
    const auto* bytes = Bytes(file);
    const int size = static_cast<int>(std::min<qsizetype>(file.size(), INT_MAX));
    const auto has = [&](const char* brand) {
        return heif_has_compatible_brand(bytes, size, brand) == 1;
    };
    const QByteArray type(heif_get_file_mime_type(bytes, size));
    const bool avif =
        type.startsWith("image/avif") || file.mid(8, 4) == "avis" || has("avif") || has("avis");
    if (type.startsWith("image/") && type != "image/jpeg" && type != "image/png")
        return avif ? QStringLiteral("AVIF") : QStringLiteral("HEIC");
    for (const char* brand : {"heic", "heix", "mif1", "avif"})
        if (has(brand))
            return avif ? QStringLiteral("AVIF") : QStringLiteral("HEIC");
    return {};
}

// A file that begins with an ISO box of type ftyp but has no brand libheif knows.
bool FileTypeBox(const QByteArray& file) {
    return file.size() >= 8 && file.mid(4, 4) == "ftyp";
}

// What libheif's error says, as a kind.
Problem Refusal(const heif_error& error, const QString& format) {
    switch (error.code) {
        case heif_error_Memory_allocation_error: {
            // Its limit on the size a file declares is a picture too large, not memory short.
            long long width = 0, height = 0;
            const char* size =
                error.message != nullptr ? std::strstr(error.message, "Image size ") : nullptr;
            if (error.subcode == heif_suberror_Security_limit_exceeded && size != nullptr &&
                std::sscanf(size, "Image size %lldx%lld", &width, &height) == 2)
                return {Problem::kPictureTooLarge, width, height};
            return {Problem::kNoMemoryForPicture};
        }
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

// The primary picture decoded, 8 bits a sample, or up to 16 where there are more than 8.
Image DecodePrimary(const Primary& primary, bool deep, const QString& format) {
    const Options options(heif_decoding_options_alloc());
    heif_image* decoded = nullptr;
    const heif_error error = heif_decode_image(
        primary.handle.get(), &decoded, heif_colorspace_RGB,
        deep ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB, options.get());
    Image owned(decoded);
    if (error.code != heif_error_Ok)
        throw DecodeError{Refusal(error, format)};
    int stride = 0;
    if (heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride) == nullptr)
        throw DecodeError{
            Refusal({heif_error_Decoder_plugin_error, heif_suberror_Unspecified, ""}, format)};
    return owned;
}

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
    // libheif 1.15 may hand a profile back with an error too (a colr box it could not read):
    // it is ours to free either way.
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok ||
        nclx == nullptr) {
        heif_nclx_color_profile_free(nclx);
        return colours;
    }
    colours.nclx = StoredColours::Nclx{
        nclx->color_primaries,
        nclx->transfer_characteristics,
        {nclx->color_primary_red_x, nclx->color_primary_red_y, nclx->color_primary_green_x,
         nclx->color_primary_green_y, nclx->color_primary_blue_x, nclx->color_primary_blue_y,
         nclx->color_primary_white_x, nclx->color_primary_white_y}};
    heif_nclx_color_profile_free(nclx);
    return colours;
}

QSize SizeOf(const Image& image) {
    return QSize(heif_image_get_width(image.get(), heif_channel_interleaved),
                 heif_image_get_height(image.get(), heif_channel_interleaved));
}

// Rows of a decoded picture into a band of Format_RGB32 rows, from row top.
void Convert(const Image& image, int top, QImage& band) {
    int stride = 0;
    const std::uint8_t* pixels =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    const bool deep = bits > 8;
    const unsigned most = (1u << std::max(bits, 8)) - 1;
    for (int y = 0; y < band.height(); ++y) {
        const std::uint8_t* row = pixels + static_cast<qsizetype>(top + y) * stride;
        auto* out = reinterpret_cast<QRgb*>(band.scanLine(y));
        for (int x = 0; x < band.width(); ++x) {
            if (!deep) {
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

// The picture libheif returns is the one shown, whatever size the file declares (old
// writers declare none, or the size of another layer than the one decoded). A picture the
// table holds is decoded ahead, so that its size is the decoded one from the start; a larger
// one is decoded when asked for, and refused if it then differs from what its header said.
// libheif turns and mirrors as the file's own boxes say, so the orientation is 1.
class HeifDecoder : public PictureDecoder {
public:
    explicit HeifDecoder(const QByteArray& file) : file_(file), format_(Kind(file)) {
        const Primary primary(file, format_);
        deep_ = heif_image_handle_get_luma_bits_per_pixel(primary.handle.get()) > 8;
        colours_ = ColoursOf(primary.handle.get());
        size_ = QSize(heif_image_handle_get_width(primary.handle.get()),
                      heif_image_handle_get_height(primary.handle.get()));
        if (static_cast<qint64>(size_.width()) * size_.height() <=
            static_cast<qint64>(kTableWidth) * kTableHeight) {
            ahead_ = DecodePrimary(primary, deep_, format_);
            size_ = SizeOf(ahead_);
        }
    }

    QSize Size() const override { return size_; }
    StoredColours Colours() const override { return colours_; }

    QImage Decode(qint64 maxPixels) const override {
        Image decoded;
        const Image& image = Decoded(maxPixels, decoded);
        QImage picture = NewPicture(SizeOf(image).width(), SizeOf(image).height(), maxPixels);
        Convert(image, 0, picture);
        return picture;
    }

    void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const override {
        Image decoded;
        const Image& image = Decoded(maxPixels, decoded);
        if (SizeOf(image) != size_)
            throw DecodeError{
                Refusal({heif_error_Decoder_plugin_error, heif_suberror_Unspecified, ""}, format_)};
        // Converted a band at a time: libheif's picture is the only whole one.
        QImage band = NewPicture(size_.width(), std::min(rows, size_.height()), maxPixels);
        for (int top = 0; top < size_.height(); top += band.height()) {
            const int n = std::min(band.height(), size_.height() - top);
            QImage rowsOf = n == band.height() ? band
                                               : QImage(band.bits(), band.width(), n,
                                                        band.bytesPerLine(), QImage::Format_RGB32);
            Convert(image, top, rowsOf);
            if (!sink(rowsOf, top))
                return;
        }
    }

private:
    // The picture decoded ahead, or now into decoded; refused when larger than maxPixels.
    const Image& Decoded(qint64 maxPixels, Image& decoded) const {
        const auto check = [maxPixels](QSize size) {
            if (size.width() > maxPixels || size.height() > maxPixels ||
                static_cast<qint64>(size.width()) * size.height() > maxPixels)
                throw DecodeError{{Problem::kPictureTooLarge, size.width(), size.height()}};
        };
        check(size_);
        if (ahead_)
            return ahead_;
        decoded = DecodePrimary(Primary(file_, format_), deep_, format_);
        check(SizeOf(decoded));
        return decoded;
    }

    QByteArray file_;
    QString format_;
    bool deep_ = false;
    QSize size_;
    Image ahead_;
    StoredColours colours_;
};

}  // namespace

Likeness LikeHeic(const QByteArray& file) {
    if (Kind(file) == QLatin1String("HEIC"))
        return Likeness::kYes;
    // An ISO file cut short before its brands: a damaged one, of HEIF's.
    return FileTypeBox(file) && file.size() < 16 && Kind(file).isEmpty() ? Likeness::kDamaged
                                                                         : Likeness::kNo;
}

Likeness LikeAvif(const QByteArray& file) {
    return Kind(file) == QLatin1String("AVIF") ? Likeness::kYes : Likeness::kNo;
}

std::unique_ptr<PictureDecoder> MakeHeifDecoder(const QByteArray& file) {
    return std::make_unique<HeifDecoder>(file);
}

}  // namespace colorsplit
