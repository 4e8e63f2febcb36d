#include "support/other_files.h"

#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <string>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace colorsplit::test {

namespace {

void Put(Bytes& out, std::uint32_t v, int bytes, bool bigEndian) {
    for (int i = 0; i < bytes; ++i) {
        const int shift = 8 * (bigEndian ? bytes - 1 - i : i);
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

std::uint32_t Crc32(const Bytes& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

}  // namespace

Bytes ExifBlock(int orientation, bool bigEndian) {
    Bytes out = bigEndian ? Bytes{'M', 'M'} : Bytes{'I', 'I'};
    Put(out, 42, 2, bigEndian);
    Put(out, 8, 4, bigEndian);       // the first IFD
    Put(out, 1, 2, bigEndian);       // one entry:
    Put(out, 0x0112, 2, bigEndian);  // orientation,
    Put(out, 3, 2, bigEndian);       // a SHORT,
    Put(out, 1, 4, bigEndian);       // one of them,
    Put(out, static_cast<std::uint32_t>(orientation), 2, bigEndian);
    Put(out, 0, 2, bigEndian);
    Put(out, 0, 4, bigEndian);  // no next IFD
    return out;
}

Bytes ExifApp1(const Bytes& exif) {
    Bytes payload(exif.size() + 6);
    std::memcpy(payload.data(), "Exif\0\0", 6);
    std::memcpy(payload.data() + 6, exif.data(), exif.size());
    return payload;
}

Bytes WithApp1(const Bytes& jpeg, const Bytes& payload) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.push_back(0xFF);
    out.push_back(0xE1);
    Put(out, static_cast<std::uint32_t>(payload.size() + 2), 2, true);
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

Bytes WithChunk(const Bytes& png, const char type[4], const Bytes& data) {
    // The signature (8) and the header chunk (25) come first.
    Bytes out(png.begin(), png.begin() + 33);
    Put(out, static_cast<std::uint32_t>(data.size()), 4, true);
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    Put(out, Crc32(body), 4, true);
    out.insert(out.end(), png.begin() + 33, png.end());
    return out;
}

Bytes RawProfileText(const Bytes& profile) {
    char length[16];
    std::snprintf(length, sizeof length, "%8zu\n", profile.size());
    std::string text = std::string("\nexif\n") + length;
    for (size_t i = 0; i < profile.size(); ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", profile[i]);
        text += hex;
        if (i % 36 == 35)
            text += '\n';
    }
    text += '\n';
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    Bytes packed(size);
    compress(packed.data(), &size, reinterpret_cast<const Bytef*>(text.data()),
             static_cast<uLong>(text.size()));
    const char keyword[] = "Raw profile type exif";
    Bytes out(keyword, keyword + sizeof keyword);  // with its NUL
    out.push_back(0);                              // zlib
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
    return out;
}

namespace {

void AppendBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

}  // namespace

Bytes Png16(int channels, const std::vector<std::vector<std::uint16_t>>& samples) {
    const int types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                         PNG_COLOR_TYPE_RGB_ALPHA};
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(samples.size()), 1, 16, types[channels - 1],
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    Bytes row;  // big-endian, as PNG stores 16-bit samples
    for (const auto& pixel : samples)
        for (const std::uint16_t v : pixel) {
            row.push_back(static_cast<std::uint8_t>(v >> 8));
            row.push_back(static_cast<std::uint8_t>(v));
        }
    png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes CmykJpeg(const std::uint8_t left[4], const std::uint8_t right[4], bool ycck) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::uint8_t row[16 * 4];
    for (int x = 0; x < 16; ++x)
        std::memcpy(row + 4 * x, x < 8 ? left : right, 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

Bytes CmykSamples(const Bytes& jpeg) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&cinfo);
    Bytes inks(static_cast<size_t>(cinfo.output_width) * cinfo.output_height * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[] = {inks.data() +
                           static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width * 4};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return inks;
}

}  // namespace colorsplit::test
