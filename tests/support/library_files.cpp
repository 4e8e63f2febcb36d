#include "support/library_files.h"

#include <gif_lib.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace colorsplit::test {

namespace {

void Require(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}

// A file in memory that libtiff writes, seeks in and reads back.
struct Memory {
    Bytes bytes;
    toff_t at = 0;
};

tsize_t MemoryRead(thandle_t h, tdata_t out, tsize_t size) {
    auto* m = static_cast<Memory*>(h);
    const auto n = std::min<toff_t>(static_cast<toff_t>(size),
                                    m->bytes.size() - std::min<toff_t>(m->at, m->bytes.size()));
    std::memcpy(out, m->bytes.data() + m->at, n);
    m->at += n;
    return static_cast<tsize_t>(n);
}

tsize_t MemoryWrite(thandle_t h, tdata_t in, tsize_t size) {
    auto* m = static_cast<Memory*>(h);
    if (m->bytes.size() < m->at + static_cast<toff_t>(size))
        m->bytes.resize(m->at + static_cast<toff_t>(size));
    std::memcpy(m->bytes.data() + m->at, in, static_cast<size_t>(size));
    m->at += static_cast<toff_t>(size);
    return size;
}

toff_t MemorySeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(h);
    m->at = (whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->bytes.size() : 0) + offset;
    return m->at;
}

int MemoryClose(thandle_t) {
    return 0;
}

toff_t MemorySize(thandle_t h) {
    return static_cast<Memory*>(h)->bytes.size();
}

// Values of n bits packed from the highest bit of each byte; 16 and 32 as native words.
Bytes Pack(const std::vector<std::uint32_t>& values, int bits) {
    Bytes out;
    if (bits == 16 || bits == 32) {
        out.resize(values.size() * static_cast<size_t>(bits / 8));
        for (size_t i = 0; i < values.size(); ++i) {
            if (bits == 16) {
                const auto v = static_cast<std::uint16_t>(values[i]);
                std::memcpy(out.data() + 2 * i, &v, 2);
            } else {
                std::memcpy(out.data() + 4 * i, &values[i], 4);
            }
        }
        return out;
    }
    out.assign((values.size() * static_cast<size_t>(bits) + 7) / 8, 0);
    for (size_t i = 0; i < values.size(); ++i) {
        const size_t bit = i * static_cast<size_t>(bits);
        out[bit / 8] |= static_cast<std::uint8_t>(values[i] << (8 - bits - bit % 8));
    }
    return out;
}

// The samples of plane p (all of them for contiguous ones) of the pixels in a rectangle, row
// after row, each row packed on its own. Past the page's edges (in tiles) the edge pixels
// repeat, as encoders pad, so that JPEG keeps the edges' colours.
std::vector<Bytes> Rows(const TiffPage& page, int left, int top, int width, int height, int p) {
    std::vector<Bytes> rows;
    for (int y = top; y < top + height; ++y) {
        std::vector<std::uint32_t> row;
        for (int x = left; x < left + width; ++x)
            for (int s = 0; s < page.samples; ++s) {
                if (page.planar && s != p)
                    continue;
                const size_t pixel =
                    static_cast<size_t>(std::min(y, page.height - 1)) * page.width +
                    static_cast<size_t>(std::min(x, page.width - 1));
                row.push_back(page.values[pixel * page.samples + s]);
            }
        rows.push_back(Pack(row, page.bits));
    }
    return rows;
}

void WritePage(TIFF* tif, const TiffPage& page) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, page.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, page.compression);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, page.sampleFormat);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG,
                 page.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (page.extra > 0) {
        const std::vector<std::uint16_t> kinds(static_cast<size_t>(page.extra),
                                               EXTRASAMPLE_UNASSALPHA);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, page.extra, kinds.data());
    }
    if (page.orientation != 0)
        TIFFSetField(tif, TIFFTAG_ORIENTATION, page.orientation);
    if (!page.colourMap.empty()) {
        const size_t n = page.colourMap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, page.colourMap.data(), page.colourMap.data() + n,
                     page.colourMap.data() + 2 * n);
    }
    if (!page.icc.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(page.icc.size()),
                     page.icc.data());
    if (page.subsampling[0] != 0)
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, page.subsampling[0], page.subsampling[1]);
    if (page.compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 95);
        // YCbCr pages are given as RGB; libtiff's codec converts them.
        if (page.photometric == PHOTOMETRIC_YCBCR)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    const int planes = page.planar ? page.samples : 1;
    if (page.tile > 0) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, page.tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, page.tile);
        for (int p = 0; p < planes; ++p)
            for (int top = 0; top < page.height; top += page.tile)
                for (int left = 0; left < page.width; left += page.tile) {
                    Bytes tile;
                    for (const Bytes& row : Rows(page, left, top, page.tile, page.tile, p))
                        tile.insert(tile.end(), row.begin(), row.end());
                    Require(TIFFWriteTile(tif, tile.data(), static_cast<std::uint32_t>(left),
                                          static_cast<std::uint32_t>(top), 0,
                                          static_cast<std::uint16_t>(p)) >= 0,
                            "TIFFWriteTile");
                }
    } else if (page.subsampling[0] > 1 && page.compression == COMPRESSION_NONE) {
        // Subsampled data cannot go in by scanlines; zeros of the strips' size do.
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, page.height);
        const Bytes zeros(static_cast<size_t>(TIFFStripSize(tif)), 0);
        Require(TIFFWriteRawStrip(tif, 0, const_cast<std::uint8_t*>(zeros.data()),
                                  static_cast<tmsize_t>(zeros.size())) >= 0,
                "TIFFWriteRawStrip");
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                     page.rowsPerStrip > 0 ? page.rowsPerStrip : TIFFDefaultStripSize(tif, 0));
        for (int p = 0; p < planes; ++p) {
            int y = 0;
            for (Bytes& row : Rows(page, 0, 0, page.width, page.height, p))
                Require(TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y++),
                                          static_cast<std::uint16_t>(p)) >= 0,
                        "TIFFWriteScanline");
        }
    }
    Require(TIFFWriteDirectory(tif) != 0, "TIFFWriteDirectory");
}

}  // namespace

Bytes Tiff(const std::vector<TiffPage>& pages) {
    Memory memory;
    TIFF* tif = TIFFClientOpen("test", "w", &memory, MemoryRead, MemoryWrite, MemorySeek,
                               MemoryClose, MemorySize, nullptr, nullptr);
    Require(tif != nullptr, "TIFFClientOpen");
    for (const TiffPage& page : pages)
        WritePage(tif, page);
    TIFFClose(tif);
    return memory.bytes;
}

Bytes OldJpegTiff(const Bytes& jpeg, int width, int height) {
    const auto put = [](Bytes& out, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const std::uint32_t entries = 13, bits = 8 + 2 + 12 * entries + 4, data = bits + 6;
    const auto size = static_cast<std::uint32_t>(jpeg.size());
    // Tag, type (3 SHORT, 4 LONG), count, value; in order of tag.
    const std::uint32_t tags[][4] = {
        {256, 4, 1, static_cast<std::uint32_t>(width)},
        {257, 4, 1, static_cast<std::uint32_t>(height)},
        {258, 3, 3, bits},
        {259, 3, 1, 6},
        {262, 3, 1, 6},
        {273, 4, 1, data},
        {277, 3, 1, 3},
        {278, 4, 1, static_cast<std::uint32_t>(height)},
        {279, 4, 1, size},
        {284, 3, 1, 1},
        {513, 4, 1, data},
        {514, 4, 1, size},
        {530, 3, 2, 2 | 2 << 16},
    };
    Bytes out = {'I', 'I', 42, 0};
    put(out, 8, 4);
    put(out, entries, 2);
    for (const auto& t : tags) {
        put(out, t[0], 2);
        put(out, t[1], 2);
        put(out, t[2], 4);
        put(out, t[3], 4);
    }
    put(out, 0, 4);
    for (int i = 0; i < 3; ++i)
        put(out, 8, 2);
    out.insert(out.end(), jpeg.begin(), jpeg.end());
    return out;
}

std::vector<std::uint32_t> TiffRgba(const Bytes& file) {
    Memory memory{file, 0};
    TIFF* tif = TIFFClientOpen("test", "r", &memory, MemoryRead, MemoryWrite, MemorySeek,
                               MemoryClose, MemorySize, nullptr, nullptr);
    Require(tif != nullptr, "TIFFClientOpen");
    std::uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    std::vector<std::uint32_t> raster(static_cast<size_t>(width) * height);
    Require(
        TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 1) != 0,
        "TIFFReadRGBAImageOriented");
    TIFFClose(tif);
    for (std::uint32_t& p : raster)
        p = TIFFGetR(p) << 16 | TIFFGetG(p) << 8 | TIFFGetB(p);
    return raster;
}

namespace {

int Collect(const std::uint8_t* data, size_t size, const WebPPicture* picture) {
    auto* out = static_cast<Bytes*>(picture->custom_ptr);
    out->insert(out->end(), data, data + size);
    return 1;
}

// A picture of argb as libwebp takes it: B, G, R, A in memory, the words little-endian.
struct Picture {
    WebPPicture picture{};
    Picture(int width, int height, const std::vector<std::uint32_t>& argb) {
        Require(WebPPictureInit(&picture) != 0, "WebPPictureInit");
        picture.use_argb = 1;
        picture.width = width;
        picture.height = height;
        Require(WebPPictureImportBGRA(&picture, reinterpret_cast<const std::uint8_t*>(argb.data()),
                                      width * 4) != 0,
                "WebPPictureImportBGRA");
    }
    ~Picture() { WebPPictureFree(&picture); }
};

WebPConfig Config(bool lossless, int quality) {
    WebPConfig config;
    Require(WebPConfigInit(&config) != 0, "WebPConfigInit");
    config.lossless = lossless ? 1 : 0;
    config.quality = static_cast<float>(quality);
    config.exact = 1;  // the colours of transparent pixels kept
    return config;
}

}  // namespace

Bytes WebP(int width, int height, const std::vector<std::uint32_t>& argb, bool lossless,
           int quality) {
    Picture p(width, height, argb);
    Bytes out;
    p.picture.writer = Collect;
    p.picture.custom_ptr = &out;
    const WebPConfig config = Config(lossless, quality);
    Require(WebPEncode(&config, &p.picture) != 0, "WebPEncode");
    return out;
}

Bytes AnimatedWebP(int width, int height, const std::vector<std::vector<std::uint32_t>>& frames) {
    WebPAnimEncoderOptions options;
    Require(WebPAnimEncoderOptionsInit(&options) != 0, "WebPAnimEncoderOptionsInit");
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(width, height, &options);
    Require(encoder != nullptr, "WebPAnimEncoderNew");
    const WebPConfig config = Config(true, 90);
    int timestamp = 0;
    for (const auto& frame : frames) {
        Picture p(width, height, frame);
        Require(WebPAnimEncoderAdd(encoder, &p.picture, timestamp, &config) != 0,
                "WebPAnimEncoderAdd");
        timestamp += 100;
    }
    WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    Require(WebPAnimEncoderAssemble(encoder, &data) != 0, "WebPAnimEncoderAssemble");
    Bytes out(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
    return out;
}

std::vector<std::uint32_t> WebPDecoded(const Bytes& file) {
    int width = 0, height = 0;
    std::uint8_t* rgb = WebPDecodeRGB(file.data(), file.size(), &width, &height);
    Require(rgb != nullptr, "WebPDecodeRGB");
    std::vector<std::uint32_t> out;
    for (int i = 0; i < width * height; ++i)
        out.push_back(
            static_cast<std::uint32_t>(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]));
    WebPFree(rgb);
    return out;
}

namespace {

int GifWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

ColorMapObject* Map(const std::vector<std::uint32_t>& colours) {
    if (colours.empty())
        return nullptr;
    std::vector<GifColorType> entries;
    for (const std::uint32_t c : colours)
        entries.push_back({static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8),
                           static_cast<GifByteType>(c)});
    return GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
}

}  // namespace

Bytes Gif(int width, int height, const std::vector<std::uint32_t>& globalMap, int background,
          const std::vector<GifFrame>& frames) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    Require(gif != nullptr, "EGifOpen");
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = Map(globalMap);
    Require(EGifPutScreenDesc(gif, width, height, 8, background, global) == GIF_OK,
            "EGifPutScreenDesc");
    GifFreeMapObject(global);
    for (const GifFrame& frame : frames) {
        if (frame.transparent >= 0) {
            const GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 10, frame.transparent};
            GifByteType block[4];
            EGifGCBToExtension(&control, block);
            Require(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_OK,
                    "EGifPutExtension");
        }
        ColorMapObject* local = Map(frame.localMap);
        // giflib forgets, without freeing it, the last frame's map when the next has none.
        if (local == nullptr && gif->Image.ColorMap != nullptr) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        Require(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height,
                                 frame.interlaced, local) == GIF_OK,
                "EGifPutImageDesc");
        GifFreeMapObject(local);
        // Interlaced rows go in four passes: every 8th from 0 and from 4, every 4th from 2,
        // every 2nd from 1.
        std::vector<int> rows;
        if (frame.interlaced) {
            for (const auto& [first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = first; y < frame.height; y += step)
                    rows.push_back(y);
        } else {
            for (int y = 0; y < frame.height; ++y)
                rows.push_back(y);
        }
        for (const int y : rows) {
            std::vector<GifPixelType> line(frame.indices.begin() + y * frame.width,
                                           frame.indices.begin() + (y + 1) * frame.width);
            Require(EGifPutLine(gif, line.data(), frame.width) == GIF_OK, "EGifPutLine");
        }
    }
    Require(EGifCloseFile(gif, &error) == GIF_OK, "EGifCloseFile");
    return out;
}

namespace {

heif_error Append(heif_context*, const void* data, size_t size, void* user) {
    auto* out = static_cast<Bytes*>(user);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

void Check(const heif_error& error) {
    Require(error.code == heif_error_Ok, error.message);
}

}  // namespace

Bytes Heif(bool avif, int width, int height, const std::vector<std::uint32_t>& rgb, int bits,
           int orientation, bool alpha, const Bytes& icc, std::array<int, 2> nclxCodes) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    Check(heif_context_get_encoder_for_format(
        context, avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder));
    if (avif && bits > 8) {
        // Debian's libaom asserts on 10-bit 4:4:4 and 4:2:0 as libheif asks for them; 4:2:2
        // it writes.
        Check(heif_encoder_set_lossy_quality(encoder, 95));
        Check(heif_encoder_set_parameter_string(encoder, "chroma", "422"));
    } else {
        // Lossless: every sample coded as it is, green, blue and red, none subsampled.
        Check(heif_encoder_set_lossless(encoder, 1));
        Check(heif_encoder_set_parameter_string(encoder, "chroma", "444"));
    }
    heif_image* image = nullptr;
    Check(heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_444, &image));
    const heif_channel channels[] = {heif_channel_R, heif_channel_G, heif_channel_B,
                                     heif_channel_Alpha};
    const int most = (1 << bits) - 1;
    for (int c = 0; c < (alpha ? 4 : 3); ++c) {
        Check(heif_image_add_plane(image, channels[c], width, height, bits));
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(image, channels[c], &stride);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned v8 =
                    c == 3 ? 128 : (rgb[static_cast<size_t>(y) * width + x] >> (16 - 8 * c)) & 0xFF;
                // 8-bit values to n bits as a camera's would be: v (2^n - 1) / 255, rounded.
                const auto v = static_cast<std::uint16_t>((v8 * most * 2 + 255) / 510);
                std::uint8_t* at = plane + static_cast<size_t>(y) * stride;
                if (bits == 8)
                    at[x] = static_cast<std::uint8_t>(v);
                else
                    std::memcpy(at + 2 * x, &v, 2);
            }
    }
    if (!icc.empty())
        Check(heif_image_set_raw_color_profile(image, "prof", icc.data(), icc.size()));
    heif_encoding_options* options = heif_encoding_options_alloc();
    // The nclx box says how the samples are coded, also beside a profile.
    options->save_two_colr_boxes_when_ICC_and_nclx_available = 1;
    options->image_orientation = static_cast<heif_orientation>(orientation);
    heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
    if (!(avif && bits > 8)) {
        nclx->matrix_coefficients = heif_matrix_coefficients_RGB_GBR;
        Check(heif_nclx_color_profile_set_color_primaries(
            nclx, static_cast<std::uint16_t>(nclxCodes[0])));
        Check(heif_nclx_color_profile_set_transfer_characteristics(
            nclx, static_cast<std::uint16_t>(nclxCodes[1])));
        nclx->full_range_flag = 1;
        options->macOS_compatibility_workaround = 0;
        options->output_nclx_profile = nclx;
        // The colr box is written from the picture's own.
        Check(heif_image_set_nclx_color_profile(image, nclx));
    }
    Check(heif_context_encode_image(context, image, encoder, options, nullptr));
    heif_encoding_options_free(options);
    heif_nclx_color_profile_free(nclx);
    heif_image_release(image);
    heif_encoder_release(encoder);
    Bytes out;
    heif_writer writer{1, Append};
    Check(heif_context_write(context, &writer, &out));
    heif_context_free(context);
    return out;
}

}  // namespace colorsplit::test
