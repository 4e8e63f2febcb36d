#pragma once

#include <QImage>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/colors.h"

namespace colorsplit {

// The shown picture: a bitmap held as 32-bit RGB so that every pixel can be read and set.
// Files are read and written whole; every failure throws PictureError.
class Picture {
public:
    // The declared size of a picture file, read from its header without decoding the pixels.
    static QSize ReadSize(const std::string& fileName);
    // Decodes a whole picture file. Files declaring more than maxPixels pixels are refused
    // before anything large is allocated.
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
    // Writes a 24-bit BMP whatever the name. Goes through a temporary file and a rename, so a
    // failed save neither leaves a half-written file nor harms the file it would replace.
    void SaveToFile(const std::string& fileName) const;

    const QImage& Image() const { return image_; }
    // The pixels as rows of 0xFFRRGGBB words, for reading and setting many at once; null when
    // empty. Valid until the picture is replaced.
    std::uint32_t* Bits() {
        return image_.isNull() ? nullptr : reinterpret_cast<std::uint32_t*>(image_.bits());
    }
    std::ptrdiff_t WordsPerLine() const { return image_.bytesPerLine() / 4; }

    // Far above anything the table holds, far below what would hurt to allocate.
    static constexpr qint64 kReadLimitPixels = 64LL * 1024 * 1024;

private:
    QImage image_;
};

}  // namespace colorsplit
