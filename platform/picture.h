#pragma once

#include <QImage>
#include <QSize>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/colors.h"
#include "platform/picture_decoder.h"

namespace colorsplit {

// A picture file read whole into memory with its headers checked: its size is known before
// anything is decoded. Every failure throws PictureError naming the file and the cause. Its
// pixels come converted to sRGB through the profile it embeds, on every road alike, unless
// applyProfile is false: then as stored.
class PictureFile {
public:
    explicit PictureFile(const std::string& fileName, bool applyProfile = true);
    ~PictureFile();

    QSize Size() const;
    // What came of the file's colour profile.
    const ProfileUse& Profile() const;
    // Every pixel, as Format_RGB32. Files of more than maxPixels pixels are refused before
    // anything large is allocated.
    QImage Decode(qint64 maxPixels) const;
    // How the camera was held (orientation.h), and the picture as stored, a band of rows at a
    // time as it is decoded (PictureDecoder::DecodeBands).
    int Orientation() const;
    void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const;
    // The picture as Decode gives it, in bands: as they are decoded where the camera asks for
    // no turn, else from the whole picture, made of the stored bands as they come; going() is
    // asked between those, and false stops before any band is handed out.
    void ShownBands(qint64 maxPixels, int rows, const BandSink& sink,
                    const std::function<bool()>& going) const;

private:
    std::string fileName_;
    std::unique_ptr<PictureDecoder> decoder_;
    std::shared_ptr<const ColourConversion> colours_;
};

// The shown picture: a bitmap held as 32-bit RGB so that every pixel can be read and set.
// Files are read and written whole; every failure throws PictureError.
class Picture {
public:
    // The declared size of a picture file, read from its headers without decoding the pixels.
    static QSize ReadSize(const std::string& fileName);
    // Decodes a whole picture file, its profile applied.
    static QImage ReadFile(const std::string& fileName, qint64 maxPixels = kReadLimitPixels);

    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    bool IsEmpty() const { return image_.isNull(); }

    // -1 (all bits set) for any point outside the picture.
    TColor GetPixel(int x, int y) const;
    // Points outside the picture are ignored.
    void SetPixel(int x, int y, TColor c);

    void Assign(const QImage& image);
    void LoadFromFile(const std::string& fileName) { Assign(ReadFile(fileName)); }
    // What a save writes, by the name's extension: .png a PNG, .tif or .tiff a TIFF (both
    // 24-bit RGB, lossless), .jpg, .jpeg, .jpe or .jfif a JPEG (quality 95, colour not
    // subsampled), .webp a lossless WebP, any other a 24-bit BMP; none for the extension of a
    // picture format not written (.gif, .heic, .jxl, ...), which no save writes.
    enum class SaveFormat { kBmp, kPng, kJpeg, kTiff, kWebP };
    static std::optional<SaveFormat> SaveFormatOf(const std::string& fileName);
    // The formats written, by name, for the texts that list them.
    static QStringList SaveFormatNames();
    // Writes the picture in that format. A failed save neither leaves a half-written file nor
    // harms the file it would replace; a name of a format not written is refused at once.
    void SaveToFile(const std::string& fileName) const;

    const QImage& Image() const { return image_; }
    // The pixels as rows in the core's RowPixel layout (Format_RGB32 is 0xFFRRGGBB words), for
    // reading and setting many at once; null when empty. Valid until the picture is replaced.
    // Setting copies the pixels first when the image is shared; reading never does.
    const RowPixel* ConstBits() const {
        return image_.isNull() ? nullptr : reinterpret_cast<const RowPixel*>(image_.constBits());
    }
    RowPixel* Bits() {
        return image_.isNull() ? nullptr : reinterpret_cast<RowPixel*>(image_.bits());
    }
    std::ptrdiff_t WordsPerLine() const { return image_.bytesPerLine() / 4; }

    // Far above anything the table holds, far below what would hurt to allocate.
    static constexpr qint64 kReadLimitPixels = 64LL * 1024 * 1024;

private:
    QImage image_;
};

}  // namespace colorsplit
