#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace colorsplit {

// The pixel layouts written: 8-bit RGB, 8-bit RGBA, and 1-bit grey (black 0, white 1; the
// leftmost pixel in the highest bit of each byte).
enum class PngPixels { kRgb, kRgba, kBlackAndWhite };

// Bytes of a row in that layout.
std::size_t PngRowBytes(int width, PngPixels pixels);

// Why a picture could not be made into a file: the compressor's refusal, or memory running out.
struct EncodeError {
    QString detail;
};

// Where a file's bytes go as they are made; it throws to stop the writing.
using PngOut = std::function<void(const char* data, std::size_t size)>;

// A PNG file made a band of rows at a time: each row filtered (Sub for colours, none for
// 1 bit), compressed as it comes by Intel's igzip, and handed to out in chunks, so that no
// whole copy of the picture or of the file is held. Only memory can run out: EncodeError.
// Every file says its colours are sRGB's; with a resolution (dots an inch, above 0) it also
// says the size it prints at.
class PngStream {
public:
    PngStream(int width, int height, PngPixels pixels, PngOut out, double dpi = 0);
    ~PngStream();
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    std::size_t RowBytes() const { return rowBytes_; }
    // The next count rows, RowBytes() each, one after the other.
    void Add(const std::uint8_t* rows, int count);
    // After the last row: the end of the data and of the file.
    void Finish();

private:
    struct Compressor;
    void Deflate(const std::uint8_t* data, std::size_t size, bool last);
    void Chunk(const char type[4], const std::uint8_t* data, std::size_t size);

    PngOut out_;
    PngPixels pixels_;
    std::size_t rowBytes_;
    int bytesPerPixel_;
    std::vector<std::uint8_t> filtered_;
    std::unique_ptr<Compressor> compressor_;
};

// Fills row y of the picture, in the layout given, into row (as many bytes as it holds).
using PngRows = std::function<void(int y, std::uint8_t* row)>;

// A whole PNG file in memory, for small pictures.
QByteArray EncodePng(int width, int height, PngPixels pixels, const PngRows& rows);

}  // namespace colorsplit
