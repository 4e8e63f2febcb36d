// JPEG files through libjpeg-turbo's own interface. Its warnings (corrupt data, a premature
// end) are refusals here: they mean the decoder guessed at pixels the file does not hold.
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>
// After jpeglib.h: the message codes.
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "platform/orientation.h"
#include "platform/picture_decoder.h"
#include "platform/samples.h"

namespace colorsplit {

namespace {

// libjpeg is C: it leaves through longjmp, so only plain data lives here and in the functions
// that call into it.
struct Errors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    int code;  // the message code of the error, or of the first warning
    bool warned;
};

Errors& ErrorsOf(j_common_ptr cinfo) {
    // manager is the first member, as libjpeg expects.
    return *reinterpret_cast<Errors*>(cinfo->err);
}

void OnError(j_common_ptr cinfo) {
    Errors& errors = ErrorsOf(cinfo);
    errors.code = cinfo->err->msg_code;
    std::longjmp(errors.jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    Errors& errors = ErrorsOf(cinfo);
    // Level -1 is a warning; the first one is kept, trace messages are not.
    if (level < 0 && !errors.warned) {
        errors.code = cinfo->err->msg_code;
        errors.warned = true;
    }
}

// Nothing goes to the terminal.
void OnOutput(j_common_ptr) {}

// The header only: the size and the colour space.
bool ReadHeader(jpeg_decompress_struct* cinfo, Errors* errors) {
    if (setjmp(errors->jump))
        return false;
    jpeg_read_header(cinfo, TRUE);
    return true;
}

// CMYK as Adobe's programs write it, each ink stored inverted (255 is no ink), as the
// common decoders read it: R = C K / 255 and so on, rounded. Four bytes become four, in place.
void CmykToRgb(uchar* row, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, row += 4) {
        const unsigned c = row[0], m = row[1], y = row[2], k = row[3];
        const auto ink = [k](unsigned v) { return static_cast<uchar>(Ink(v, k)); };
        // The bytes of a 0xFFRRGGBB word, lowest first.
        row[0] = ink(y);
        row[1] = ink(m);
        row[2] = ink(c);
        row[3] = 0xFF;
    }
}

// The same through the profile's conversion, the inks turned the right way first.
void CmykThrough(const ColourConversion& cmyk, uchar* row, JDIMENSION width) {
    for (JDIMENSION i = 0; i < 4 * width; ++i)
        row[i] = static_cast<uchar>(255 - row[i]);
    cmyk.ConvertCmyk(row, static_cast<int>(width), reinterpret_cast<std::uint32_t*>(row));
}

bool JoinIcc(jpeg_decompress_struct* cinfo, Errors* errors, JOCTET** data, unsigned int* length) {
    if (setjmp(errors->jump))
        return false;
    return jpeg_read_icc_profile(cinfo, data, length) != FALSE;
}

// The profile the APP2 markers hold, joined in order; false when there is none or they do not
// join. A broken profile is no damage to the picture: what libjpeg warns of here is forgotten.
bool ReadIcc(jpeg_decompress_struct* cinfo, Errors* errors, QByteArray* icc) {
    const int code = errors->code;
    const bool warned = errors->warned;
    JOCTET* data = nullptr;
    unsigned int length = 0;
    const bool read = JoinIcc(cinfo, errors, &data, &length);
    errors->code = code;
    errors->warned = warned;
    if (read)
        *icc = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
    std::free(data);
    return read;
}

// The decompression started, asking for 0xFFRRGGBB words.
bool Start(jpeg_decompress_struct* cinfo, Errors* errors) {
    if (setjmp(errors->jump))
        return false;
    // YCCK comes out as CMYK too; both have four bytes a pixel, as the words do.
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    // JCS_EXT_BGRA: alpha 0xFF, the words QImage::Format_RGB32 holds.
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(cinfo);
    return true;
}

// The next count scanlines into rows of 0xFFRRGGBB words.
bool ReadRows(jpeg_decompress_struct* cinfo, Errors* errors, uchar* pixels, qsizetype stride,
              JDIMENSION count, const ColourConversion* cmyk) {
    if (setjmp(errors->jump))
        return false;
    for (JDIMENSION y = 0; y < count;) {
        JSAMPROW row = pixels + static_cast<qsizetype>(y) * stride;
        y += jpeg_read_scanlines(cinfo, &row, 1);
        if (cinfo->out_color_space != JCS_CMYK)
            continue;
        if (cmyk != nullptr)
            CmykThrough(*cmyk, row, cinfo->output_width);
        else
            CmykToRgb(row, cinfo->output_width);
    }
    return true;
}

// The rest of the file up to its end marker.
bool Finish(jpeg_decompress_struct* cinfo, Errors* errors) {
    if (setjmp(errors->jump))
        return false;
    jpeg_finish_decompress(cinfo);
    return true;
}

// What libjpeg's message says, as a kind: its errors and the warnings that refuse a picture.
// inHeader: said while the headers were read, where bytes out of place are the headers'.
Problem Damaged(int code, bool inHeader = false) {
    const QString jpeg = QStringLiteral("JPEG");
    switch (code) {
        case JERR_INPUT_EOF:
        case JERR_INPUT_EMPTY:
        case JWRN_JPEG_EOF:
            return {Problem::kDamaged, static_cast<int>(Damage::kCutShort), 0, jpeg};
        case JERR_NO_SOI:
        case JERR_SOI_DUPLICATE:
        case JERR_SOF_DUPLICATE:
        case JERR_SOF_NO_SOS:
        case JERR_SOS_NO_SOF:
        case JERR_EMPTY_IMAGE:
        case JERR_BAD_LENGTH:
        case JERR_BAD_COMPONENT_ID:
        case JERR_COMPONENT_COUNT:
        case JERR_BAD_SAMPLING:
        case JERR_BAD_DCTSIZE:
        case JERR_IMAGE_TOO_BIG:
        case JERR_WIDTH_OVERFLOW:
        case JERR_DQT_INDEX:
        case JERR_DHT_INDEX:
        case JERR_DAC_INDEX:
        case JERR_DAC_VALUE:
        case JERR_BAD_J_COLORSPACE:
            return {Problem::kDamaged, static_cast<int>(Damage::kHeader), 0, jpeg};
        case JERR_BAD_HUFF_TABLE:
        case JERR_NO_HUFF_TABLE:
        case JERR_NO_QUANT_TABLE:
        case JERR_NO_ARITH_TABLE:
        case JERR_HUFF_CLEN_OVERFLOW:
        case JERR_HUFF_MISSING_CODE:
        case JERR_BAD_PROGRESSION:
        case JERR_BAD_PROG_SCRIPT:
        case JERR_BAD_DCT_COEF:
        case JERR_UNKNOWN_MARKER:
        case JERR_EOI_EXPECTED:
        case JERR_MISMATCHED_QUANT_TABLE:
        case JWRN_EXTRANEOUS_DATA:
            return {Problem::kDamaged, static_cast<int>(inHeader ? Damage::kHeader : Damage::kData),
                    0, jpeg};
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION:
        case JWRN_TOO_MUCH_DATA:
            return {Problem::kDamaged, static_cast<int>(Damage::kData), 0, jpeg};
        case JERR_SOF_UNSUPPORTED:
        case JERR_BAD_PRECISION:
        case JERR_NOT_COMPILED:
        case JERR_NOTIMPL:
            return {Problem::kUnsupportedVariant, static_cast<int>(Variant::kJpegProcess), 0, jpeg};
        case JERR_OUT_OF_MEMORY:
            return {Problem::kNoMemoryForPicture};
        default:
            return {Problem::kDamaged, static_cast<int>(Damage::kGeneral), 0, jpeg};
    }
}

// One pass over the file with libjpeg: the header when made, the pixels when asked for.
class Pass {
public:
    explicit Pass(const QByteArray& file) {
        cinfo_.err = jpeg_std_error(&errors_.manager);
        errors_.manager.error_exit = OnError;
        errors_.manager.emit_message = OnMessage;
        errors_.manager.output_message = OnOutput;
        errors_.code = 0;
        errors_.warned = false;
        jpeg_create_decompress(&cinfo_);
        jpeg_mem_src(&cinfo_, reinterpret_cast<const unsigned char*>(file.constData()),
                     static_cast<unsigned long>(file.size()));
        // APP1 holds the Exif data, and with it how the camera was held.
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xFFFF);
        // APP2, the colour profile.
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 2, 0xFFFF);
        if (!ReadHeader(&cinfo_, &errors_)) {
            const Problem problem = Damaged(errors_.code, true);
            jpeg_destroy_decompress(&cinfo_);
            throw DecodeError{problem};
        }
        warnedInHeader_ = errors_.warned;
        ReadColours();
    }
    ~Pass() { jpeg_destroy_decompress(&cinfo_); }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    qint64 Width() const { return cinfo_.image_width; }
    qint64 Height() const { return cinfo_.image_height; }
    // The Exif orientation, 1 when the file gives none.
    int Orientation() const {
        for (jpeg_saved_marker_ptr m = cinfo_.marker_list; m != nullptr; m = m->next) {
            if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
                std::memcmp(m->data, "Exif\0\0", 6) == 0)
                return ExifOrientation(QByteArray(reinterpret_cast<const char*>(m->data),
                                                  static_cast<qsizetype>(m->data_length)));
        }
        return 1;
    }
    const StoredColours& Colours() const { return colours_; }

    // Every scanline, a band of rows at a time into band (Format_RGB32, as wide as the
    // picture), each band handed to sink; then the rest of the file. False when sink stopped.
    bool Read(QImage& band, const BandSink& sink, const ColourConversion* cmyk) {
        if (!Start(&cinfo_, &errors_))
            Fail();
        while (cinfo_.output_scanline < cinfo_.output_height) {
            const int top = static_cast<int>(cinfo_.output_scanline);
            const JDIMENSION n =
                std::min<JDIMENSION>(static_cast<JDIMENSION>(band.height()),
                                     cinfo_.output_height - cinfo_.output_scanline);
            if (!ReadRows(&cinfo_, &errors_, band.bits(), band.bytesPerLine(), n, cmyk))
                Fail();
            if (!sink(n == static_cast<JDIMENSION>(band.height())
                          ? band
                          : QImage(band.constBits(), band.width(), static_cast<int>(n),
                                   band.bytesPerLine(), QImage::Format_RGB32),
                      top))
                return false;
        }
        if (!Finish(&cinfo_, &errors_))
            Fail();
        return true;
    }

    // After a whole pass: a warning refuses the picture it was about.
    void CheckWarnings() const {
        if (errors_.warned)
            throw DecodeError{Damaged(errors_.code, warnedInHeader_)};
    }

private:
    [[noreturn]] void Fail() const { throw DecodeError{Damaged(errors_.code)}; }

    void ReadColours() {
        const J_COLOR_SPACE space = cinfo_.jpeg_color_space;
        colours_.samples = space == JCS_GRAYSCALE                   ? StoredColours::Samples::kGrey
                           : space == JCS_CMYK || space == JCS_YCCK ? StoredColours::Samples::kCmyk
                                                                    : StoredColours::Samples::kRgb;
        if (ReadIcc(&cinfo_, &errors_, &colours_.icc))
            return;
        for (jpeg_saved_marker_ptr m = cinfo_.marker_list; m != nullptr; m = m->next)
            if (m->marker == JPEG_APP0 + 2 && m->data_length >= 12 &&
                std::memcmp(m->data, "ICC_PROFILE", 12) == 0)
                colours_.damaged = true;
    }

    jpeg_decompress_struct cinfo_{};
    Errors errors_{};
    bool warnedInHeader_ = false;
    StoredColours colours_;
};

class JpegDecoder : public OrientedDecoder {
public:
    explicit JpegDecoder(const QByteArray& file) : JpegDecoder(file, Pass(file)) {}

private:
    // The header pass tells the size and the orientation; warnings refuse the file at once.
    JpegDecoder(const QByteArray& file, const Pass& header)
        : OrientedDecoder(file, (header.CheckWarnings(), header.Width()), header.Height(),
                          header.Orientation()),
          colours_(header.Colours()) {}

    StoredColours Colours() const override { return colours_; }

    void DecodeInto(QImage& image) const override {
        // The whole picture as one band.
        Pass pass(File());
        pass.Read(
            image, [](const QImage&, int) { return true; }, CmykConversion());
        pass.CheckWarnings();
    }

    void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const override {
        CheckSize(maxPixels);
        QImage band = NewPicture(StoredWidth(), std::min<qint64>(rows, StoredHeight()), maxPixels);
        Pass pass(File());
        // A warning refuses the picture, also when it comes after the first bands were used.
        if (pass.Read(
                band,
                [&](const QImage& rowsOf, int top) {
                    pass.CheckWarnings();
                    return sink(rowsOf, top);
                },
                CmykConversion()))
            pass.CheckWarnings();
    }

    StoredColours colours_;
};

}  // namespace

std::unique_ptr<PictureDecoder> MakeJpegDecoder(const QByteArray& file) {
    return std::make_unique<JpegDecoder>(file);
}

}  // namespace colorsplit
