#include "platform/picture_formats.h"

#include <cstring>

#include "platform/picture_decoder.h"

namespace colorsplit {

namespace {

// A format known by the bytes it begins with: its files begin with signature; a file of at
// least two bytes that is the start of it is one cut short, and one that begins with its
// first known bytes but not the rest is one whose signature was damaged.
Likeness Signature(const QByteArray& file, const QByteArray& signature, int known) {
    if (file.startsWith(signature))
        return Likeness::kYes;
    if (file.size() >= 2 && file.size() < signature.size() && signature.startsWith(file))
        return Likeness::kDamaged;
    if (known < signature.size() && file.startsWith(signature.left(known)))
        return Likeness::kDamaged;
    return Likeness::kNo;
}

Likeness Bmp(const QByteArray& file) {
    return Signature(file, QByteArray("BM"), 2);
}

Likeness Png(const QByteArray& file) {
    // "\x89PNG" then the line ends and the DOS end of file, which transfers that change line
    // ends damage. Whatever the signature's bytes, a header chunk after them is a PNG's.
    const Likeness like = Signature(file, QByteArray("\x89PNG\r\n\x1A\n", 8), 4);
    return like == Likeness::kNo && file.mid(8, 8) == QByteArray("\0\0\0\x0DIHDR", 8)
               ? Likeness::kDamaged
               : like;
}

Likeness Jpeg(const QByteArray& file) {
    return Signature(file, QByteArray("\xFF\xD8\xFF", 3), 2);
}

Likeness Gif(const QByteArray& file) {
    if (file.startsWith("GIF87a") || file.startsWith("GIF89a"))
        return Likeness::kYes;
    return Signature(file, QByteArray("GIF89a"), 4) == Likeness::kNo ? Likeness::kNo
                                                                     : Likeness::kDamaged;
}

Likeness Tiff(const QByteArray& file) {
    // Little- and big-endian, classic and BigTIFF.
    Likeness best = Likeness::kNo;
    for (const char* start : {"II*\0", "MM\0*", "II+\0", "MM\0+"}) {
        const Likeness like = Signature(file, QByteArray(start, 4), 4);
        if (like == Likeness::kYes)
            return like;
        if (like == Likeness::kDamaged && file.size() >= 3)
            best = like;
    }
    return best;
}

Likeness WebP(const QByteArray& file) {
    // A RIFF container (as WAV and AVI are) whose form is WEBP.
    if (file.size() >= 12 && file.startsWith("RIFF") && file.mid(8, 4) == "WEBP")
        return Likeness::kYes;
    if (file.size() < 12 && file.size() > 8 && file.startsWith("RIFF") &&
        QByteArray("WEBP").startsWith(file.mid(8)))
        return Likeness::kDamaged;
    return Likeness::kNo;
}

}  // namespace

const std::vector<PictureFormat>& PictureFormats() {
    static const std::vector<PictureFormat> formats = {
        {QStringLiteral("BMP"),
         Bmp,
         {QStringLiteral("*.bmp"), QStringLiteral("*.dib"), QStringLiteral("*.rle")},
         {QStringLiteral("image/bmp")},
         MakeBmpDecoder},
        {QStringLiteral("PNG"),
         Png,
         {QStringLiteral("*.png")},
         {QStringLiteral("image/png")},
         MakePngDecoder},
        {QStringLiteral("JPEG"),
         Jpeg,
         {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.jpe"),
          QStringLiteral("*.jfif")},
         {QStringLiteral("image/jpeg")},
         MakeJpegDecoder},
        {QStringLiteral("TIFF"),
         Tiff,
         {QStringLiteral("*.tif"), QStringLiteral("*.tiff")},
         {QStringLiteral("image/tiff")},
         MakeTiffDecoder},
        {QStringLiteral("WebP"),
         WebP,
         {QStringLiteral("*.webp")},
         {QStringLiteral("image/webp")},
         MakeWebPDecoder},
        {QStringLiteral("GIF"),
         Gif,
         {QStringLiteral("*.gif")},
         {QStringLiteral("image/gif")},
         MakeGifDecoder},
        {QStringLiteral("HEIC"),
         LikeHeic,
         {QStringLiteral("*.heic"), QStringLiteral("*.heif"), QStringLiteral("*.hif")},
         {QStringLiteral("image/heic"), QStringLiteral("image/heif")},
         MakeHeifDecoder},
        {QStringLiteral("AVIF"),
         LikeAvif,
         {QStringLiteral("*.avif")},
         {QStringLiteral("image/avif")},
         MakeHeifDecoder},
    };
    return formats;
}

QString PictureFilePatterns() {
    QStringList patterns;
    for (const PictureFormat& format : PictureFormats())
        patterns += format.patterns;
    return patterns.join(QLatin1Char(' '));
}

bool PictureExtension(const QString& suffix) {
    for (const PictureFormat& format : PictureFormats())
        if (format.patterns.contains(QStringLiteral("*.") + suffix))
            return true;
    // The formats OtherFormat names, and their kin.
    static const char* const others[] = {
        "jxl", "jp2", "j2k",  "jpf", "jpx",  "jpm",   "jxr",  "wdp",  "hdp", "psd",   "psb",
        "exr", "hdr", "dds",  "qoi", "icns", "bpg",   "flif", "xcf",  "pdf", "eps",   "ps",
        "xpm", "xbm", "fits", "fit", "jb2",  "jbig2", "ico",  "cur",  "pnm", "pbm",   "pgm",
        "ppm", "pam", "pfm",  "pcx", "svg",  "svgz",  "tga",  "apng", "mng", "heics", "avifs"};
    for (const char* other : others)
        if (suffix == QLatin1String(other))
            return true;
    return false;
}

namespace {

bool At(const QByteArray& file, qsizetype offset, const char* bytes, qsizetype size) {
    return file.size() >= offset + size && std::memcmp(file.constData() + offset, bytes, size) == 0;
}

unsigned Le16(const QByteArray& file, qsizetype at) {
    return static_cast<unsigned char>(file[at]) | static_cast<unsigned char>(file[at + 1]) << 8;
}

// Windows icons and cursors: a directory of at least one picture, its first entry sane. An
// uncompressed TGA begins 00 00 02 00 as a cursor does; its next bytes are no directory.
bool IconDirectory(const QByteArray& file, char kind) {
    if (file.size() < 22 || !At(file, 0, "\0\0", 2) || file[2] != kind || file[3] != 0)
        return false;
    const unsigned count = Le16(file, 4);
    const unsigned reserved = static_cast<unsigned char>(file[9]);
    const qint64 bytes = static_cast<qint64>(Le16(file, 14)) | static_cast<qint64>(Le16(file, 16))
                                                                   << 16;
    const qint64 offset = static_cast<qint64>(Le16(file, 18)) | static_cast<qint64>(Le16(file, 20))
                                                                    << 16;
    return count >= 1 && reserved == 0 && bytes > 0 && offset >= 6 + 16 * count &&
           offset < file.size() + 1;
}

// TGA has no signature: version 2 files end with one, and every TGA's header is checkable.
bool Tga(const QByteArray& file) {
    if (file.size() >= 26 && file.endsWith(QByteArray("TRUEVISION-XFILE.\0", 18)))
        return true;
    if (file.size() < 18)
        return false;
    const int colourMap = file[1], type = file[2], depth = static_cast<unsigned char>(file[16]);
    const bool types = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool mapped = type == 1 || type == 9;
    return types && (colourMap == 0 || colourMap == 1) && (mapped == (colourMap == 1)) &&
           Le16(file, 12) > 0 && Le16(file, 14) > 0 &&
           (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
}

}  // namespace

QString OtherFormat(const QByteArray& file) {
    static const struct {
        const char* name;
        const char* bytes;
        qsizetype size;
        qsizetype offset;
    } signatures[] = {
        {"JPEG XL", "\xFF\x0A", 2, 0},
        {"JPEG XL", "\0\0\0\x0CJXL \r\n\x87\n", 12, 0},
        {"JPEG 2000", "\0\0\0\x0CjP  \r\n\x87\n", 12, 0},
        {"JPEG 2000", "\xFF\x4F\xFF\x51", 4, 0},
        {"JPEG XR", "II\xBC", 3, 0},
        {"PSD", "8BPS", 4, 0},
        {"OpenEXR", "\x76\x2F\x31\x01", 4, 0},
        {"Radiance HDR", "#?RADIANCE", 10, 0},
        {"Radiance HDR", "#?RGBE", 6, 0},
        {"DDS", "DDS ", 4, 0},
        {"QOI", "qoif", 4, 0},
        {"ICNS", "icns", 4, 0},
        {"BPG", "BPG\xFB", 4, 0},
        {"FLIF", "FLIF", 4, 0},
        {"XCF", "gimp xcf", 8, 0},
        {"PDF", "%PDF-", 5, 0},
        {"PostScript", "%!PS", 4, 0},
        {"PostScript", "\xC5\xD0\xD3\xC6", 4, 0},
        {"XPM", "/* XPM */", 9, 0},
        {"FITS", "SIMPLE  =", 9, 0},
        {"JBIG2", "\x97JB2\r\n\x1A\n", 8, 0},
    };
    for (const auto& s : signatures)
        if (At(file, s.offset, s.bytes, s.size))
            return QString::fromLatin1(s.name);
    if (IconDirectory(file, 1))
        return QStringLiteral("ICO");
    if (IconDirectory(file, 2))
        return QStringLiteral("CUR");
    // Netpbm: P1 to P7 and white space.
    if (file.size() >= 3 && file[0] == 'P' && file[1] >= '1' && file[1] <= '7' &&
        std::strchr(" \t\r\n", file[2]) != nullptr && file[2] != '\0')
        return QStringLiteral("PNM");
    if (file.size() >= 4 && file[0] == 0x0A && file[1] >= 0 && file[1] <= 5 && file[2] == 1 &&
        (file[3] == 1 || file[3] == 2 || file[3] == 4 || file[3] == 8))
        return QStringLiteral("PCX");
    const QByteArray head = file.left(1024);
    if (head.contains("<svg"))
        return QStringLiteral("SVG");
    if (Tga(file))
        return QStringLiteral("TGA");
    return QString();
}

}  // namespace colorsplit
