#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace colorsplit {

class PictureDecoder;

// A format pictures are read in: how its files begin, what they are called, what the desktop
// calls them, and its reader. The one list every other place takes the formats from: the open
// dialog's filter, the refusal of other files, the help texts, and (checked by a test) the
// desktop entry.
struct PictureFormat {
    QString name;          // "BMP"
    QByteArray signature;  // the bytes its files begin with
    QStringList patterns;  // file name patterns for a dialog's filter
    QStringList mimeTypes;
    std::unique_ptr<PictureDecoder> (*reader)(const QByteArray& file);
};

const std::vector<PictureFormat>& PictureFormats();

// Every format's file name patterns, "*.bmp *.dib ...", for a dialog's filter.
QString PictureFilePatterns();

}  // namespace colorsplit
