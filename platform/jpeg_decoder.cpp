// JPEG files through libjpeg-turbo's own interface. Its warnings (corrupt data, a premature
// end) are refusals here: they mean the decoder guessed at pixels the file does not hold.
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <csetjmp>

#include "platform/picture_decoder.h"

namespace colorsplit {

namespace {

// libjpeg is C: it leaves through longjmp, so only plain data lives here and in the functions
// that call into it.
struct Errors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool warned;
};

Errors& ErrorsOf(j_common_ptr cinfo) {
    // manager is the first member, as libjpeg expects.
    return *reinterpret_cast<Errors*>(cinfo->err);
}

void OnError(j_common_ptr cinfo) {
    Errors& errors = ErrorsOf(cinfo);
    (*cinfo->err->format_message)(cinfo, errors.message);
    std::longjmp(errors.jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    Errors& errors = ErrorsOf(cinfo);
    // Level -1 is a warning; the first one is kept, trace messages are not.
    if (level < 0 && !errors.warned) {
        (*cinfo->err->format_message)(cinfo, errors.message);
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

// Every scanline into rows of 0xFFRRGGBB words, then the rest of the file up to its end marker.
bool ReadImage(jpeg_decompress_struct* cinfo, Errors* errors, uchar* pixels, qsizetype stride) {
    if (setjmp(errors->jump))
        return false;
    cinfo->out_color_space = JCS_EXT_BGRA;  // alpha 0xFF: the words QImage::Format_RGB32 holds
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = pixels + static_cast<qsizetype>(cinfo->output_scanline) * stride;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

QString Cause(const char* message) {
    return QString::fromUtf8("JPEG 圖片資料損壞或不完整(%1)").arg(QString::fromUtf8(message));
}

// One pass over the file with libjpeg: the header when made, the pixels when asked for.
class Pass {
public:
    explicit Pass(const QByteArray& file) {
        cinfo_.err = jpeg_std_error(&errors_.manager);
        errors_.manager.error_exit = OnError;
        errors_.manager.emit_message = OnMessage;
        errors_.manager.output_message = OnOutput;
        errors_.message[0] = '\0';
        errors_.warned = false;
        jpeg_create_decompress(&cinfo_);
        jpeg_mem_src(&cinfo_, reinterpret_cast<const unsigned char*>(file.constData()),
                     static_cast<unsigned long>(file.size()));
        if (!ReadHeader(&cinfo_, &errors_)) {
            const QString cause = Cause(errors_.message);
            jpeg_destroy_decompress(&cinfo_);
            throw DecodeError{cause};
        }
    }
    ~Pass() { jpeg_destroy_decompress(&cinfo_); }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    qint64 Width() const { return cinfo_.image_width; }
    qint64 Height() const { return cinfo_.image_height; }
    J_COLOR_SPACE ColourSpace() const { return cinfo_.jpeg_color_space; }

    void Read(QImage& image) {
        if (!ReadImage(&cinfo_, &errors_, image.bits(), image.bytesPerLine()))
            Fail();
    }

    // After a whole pass: a warning refuses the picture it was about.
    void CheckWarnings() const {
        if (errors_.warned)
            throw DecodeError{Cause(errors_.message)};
    }

private:
    [[noreturn]] void Fail() const { throw DecodeError{Cause(errors_.message)}; }

    jpeg_decompress_struct cinfo_{};
    Errors errors_{};
};

class JpegDecoder : public PictureDecoder {
public:
    explicit JpegDecoder(const QByteArray& file) : file_(file) {
        const Pass header(file_);
        header.CheckWarnings();
        width_ = header.Width();
        height_ = header.Height();
        // CMYK has no one conversion to the screen's colours; guessing would be a lie.
        if (header.ColourSpace() == JCS_CMYK || header.ColourSpace() == JCS_YCCK)
            throw DecodeError{QString::fromUtf8("不支援 CMYK 色彩的 JPEG 圖片")};
    }

    QSize Size() const override {
        return QSize(static_cast<int>(width_), static_cast<int>(height_));
    }

    QImage Decode(qint64 maxPixels) const override {
        QImage image = NewPicture(width_, height_, maxPixels);
        Pass pass(file_);
        pass.Read(image);
        pass.CheckWarnings();
        return image;
    }

private:
    QByteArray file_;
    qint64 width_ = 0;
    qint64 height_ = 0;
};

}  // namespace

std::unique_ptr<PictureDecoder> MakeJpegDecoder(const QByteArray& file) {
    return std::make_unique<JpegDecoder>(file);
}

}  // namespace colorsplit
