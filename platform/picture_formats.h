#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace colorsplit {

class PictureDecoder;

// How much a file's first bytes look like a format's.
enum class Likeness {
    kNo,
    kYes,
    // Its first bytes, cut short or broken after them: a damaged file of the format.
    kDamaged,
};

// HEIF's two kinds, as libheif reads them from the file's boxes (heif_decoder.cpp).
Likeness LikeHeic(const QByteArray& file);
Likeness LikeAvif(const QByteArray& file);

// A format pictures are read in: how its files begin, what they are called, what the desktop
// calls them, and its reader. The one list every other place takes the formats from: the open
// dialog's filter, the refusal of other files, the help texts, and (checked by a test) the
// desktop entry.
struct PictureFormat {
    QString name;  // "BMP"
    Likeness (*like)(const QByteArray& file);
    QStringList patterns;  // file name patterns for a dialog's filter
    QStringList mimeTypes;
    std::unique_ptr<PictureDecoder> (*reader)(const QByteArray& file);
};

const std::vector<PictureFormat>& PictureFormats();

// Every format's file name patterns, "*.bmp *.dib ...", for a dialog's filter.
QString PictureFilePatterns();

// Whether a file name's extension (lower case, without the dot) is a picture format's: one
// read, or another one commonly met ("jxl", "psd", "svg", ...).
bool PictureExtension(const QString& suffix);

// The picture format a file that no reader takes is, where its first bytes (or, for TGA, its
// last ones) tell: "JPEG XL", "PSD", "TGA"; empty when they tell none.
QString OtherFormat(const QByteArray& file);

}  // namespace colorsplit
