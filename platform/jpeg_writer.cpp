// JPEG files written through libjpeg-turbo into memory; the caller writes them out safely.
#include "platform/jpeg_writer.h"

#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>

#include "platform/png_writer.h"

namespace colorsplit {

namespace {

constexpr int kQuality = 95;

// libjpeg is C: it leaves through longjmp, so only plain data lives in the function that
// calls into it.
struct Errors {
    jpeg_error_mgr manager;  // first, as libjpeg expects
    std::jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<Errors*>(cinfo->err)->jump, 1);
}

void Quiet(j_common_ptr, int) {}

// Into *out, *size bytes that libjpeg allocated; false when it failed.
bool Compress(const QImage& picture, unsigned char** out, unsigned long* size) {
    jpeg_compress_struct cinfo{};
    Errors errors{};
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnError;
    errors.manager.emit_message = Quiet;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, size);
    cinfo.image_width = static_cast<JDIMENSION>(picture.width());
    cinfo.image_height = static_cast<JDIMENSION>(picture.height());
    // B, G, R and a fourth byte in memory: the words Format_RGB32 holds.
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto* row =
            const_cast<JSAMPLE*>(picture.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

QByteArray EncodeJpeg(const QImage& picture) {
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const bool made = Compress(picture, &out, &size);
    QByteArray bytes;
    if (made)
        bytes = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    if (!made)
        throw EncodeError{};
    return bytes;
}

}  // namespace colorsplit
