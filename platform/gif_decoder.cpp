// GIF files through giflib: the first frame on its logical screen, in its palette (its own, or
// the file's), a band of rows at a time. The rest of the screen shows the file's background colour;
// a transparent colour shows as the colour stored for it, as transparency does for every format.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/picture_decoder.h"

namespace colorsplit {

namespace {

struct Reading {
    const QByteArray* file;
    qsizetype at;
};

int Read(GifFileType* gif, GifByteType* out, int length) {
    auto* reading = static_cast<Reading*>(gif->UserData);
    const qsizetype n = std::min<qsizetype>(length, reading->file->size() - reading->at);
    std::memcpy(out, reading->file->constData() + reading->at, static_cast<size_t>(n));
    reading->at += n;
    return static_cast<int>(n);
}

// What giflib's error code says, as a kind.
Problem Damaged(int code) {
    Damage damage = Damage::kGeneral;
    switch (code) {
        case D_GIF_ERR_READ_FAILED:
        case D_GIF_ERR_EOF_TOO_SOON:
            damage = Damage::kCutShort;
            break;
        case D_GIF_ERR_NOT_GIF_FILE:
        case D_GIF_ERR_NO_SCRN_DSCR:
        case D_GIF_ERR_NO_IMAG_DSCR:
        case D_GIF_ERR_NO_COLOR_MAP:
            damage = Damage::kHeader;
            break;
        case D_GIF_ERR_WRONG_RECORD:
        case D_GIF_ERR_DATA_TOO_BIG:
        case D_GIF_ERR_IMAGE_DEFECT:
            damage = Damage::kData;
            break;
        case D_GIF_ERR_NOT_ENOUGH_MEM:
            return {Problem::kNoMemoryForPicture};
        default:
            break;
    }
    return {Problem::kDamaged, static_cast<int>(damage), 0, QStringLiteral("GIF")};
}

// An open file, closed when it goes.
struct Closer {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using Gif = std::unique_ptr<GifFileType, Closer>;

Gif Open(Reading& reading) {
    int error = 0;
    Gif gif(DGifOpen(&reading, Read, &error));
    if (!gif)
        throw DecodeError{Damaged(error)};
    return gif;
}

QRgb Colour(const ColorMapObject& map, int index) {
    const GifColorType& c = map.Colors[index];
    return qRgb(c.Red, c.Green, c.Blue);
}

class GifDecoder : public OrientedDecoder {
public:
    explicit GifDecoder(const QByteArray& file) : GifDecoder(file, Screen(file)) {}

private:
    GifDecoder(const QByteArray& file, QSize screen)
        : OrientedDecoder(file, screen.width(), screen.height(), 1) {}

    static QSize Screen(const QByteArray& file) {
        Reading reading{&file, 0};
        const Gif gif = Open(reading);
        if (gif->SWidth <= 0 || gif->SHeight <= 0)
            throw DecodeError{{Problem::kInvalidSize, gif->SWidth, gif->SHeight}};
        return QSize(gif->SWidth, gif->SHeight);
    }

    void DecodeInto(QImage& image) const override {
        // The whole picture as one band.
        Read(image, [](const QImage&, int) { return true; });
    }

    void DecodeBands(qint64 maxPixels, int rows, const BandSink& sink) const override {
        CheckSize(maxPixels);
        QImage band = NewPicture(StoredWidth(), std::min<qint64>(rows, StoredHeight()), maxPixels);
        Read(band, sink);
    }

    // The screen's rows top to bottom into band, each band handed to sink once full: the
    // frame's rows as giflib decodes them, or, interlaced, from its indices held whole, a
    // quarter of the picture's size. False when sink stopped.
    bool Read(QImage& band, const BandSink& sink) const {
        Reading reading{&File(), 0};
        const Gif gif = Open(reading);
        const auto fail = [&gif] { throw DecodeError{Damaged(gif->Error)}; };
        // The records up to the first picture; extensions (comments, timing, loops) passed over.
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        do {
            if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
                fail();
            if (record == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                    fail();
                while (block != nullptr)
                    if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                        fail();
            }
            if (record == TERMINATE_RECORD_TYPE)
                throw DecodeError{Damaged(D_GIF_ERR_NO_IMAG_DSCR)};
        } while (record != IMAGE_DESC_RECORD_TYPE);
        // The data's LZW minimum code size, after the frame's descriptor and colour map. Past
        // 8 bits, which no GIF needs, giflib goes wrong on a file that may be whole.
        const auto byte = [this](qsizetype at) {
            return at < File().size() ? static_cast<unsigned char>(File()[at]) : 0;
        };
        const int flags = byte(reading.at + 8);
        const int codeSize =
            byte(reading.at + 9 + ((flags & 0x80) != 0 ? 3 << ((flags & 7) + 1) : 0));
        const auto failInData = [&] {
            if (codeSize > 8)
                throw DecodeError{{Problem::kUnsupportedVariant,
                                   static_cast<int>(Variant::kLzwCodeSize), codeSize,
                                   QStringLiteral("GIF")}};
            // The data's blocks ended early, not the file.
            if (gif->Error == D_GIF_ERR_EOF_TOO_SOON && reading.at < File().size())
                throw DecodeError{
                    {Problem::kDamaged, static_cast<int>(Damage::kData), 0, QStringLiteral("GIF")}};
            fail();
        };
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            failInData();
        const GifImageDesc& frame = gif->Image;
        const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
        if (map == nullptr)
            throw DecodeError{Damaged(D_GIF_ERR_NO_COLOR_MAP)};
        const QRgb background =
            gif->SColorMap != nullptr && gif->SBackGroundColor < gif->SColorMap->ColorCount
                ? Colour(*gif->SColorMap, gif->SBackGroundColor)
                : qRgb(0, 0, 0);
        const int width = static_cast<int>(StoredWidth()),
                  height = static_cast<int>(StoredHeight());
        // A frame of no pixels has no rows to decode.
        const int frameWidth = std::max(0, frame.Width);
        const int frameHeight = frameWidth > 0 ? std::max(0, frame.Height) : 0;
        std::vector<GifPixelType> line(static_cast<size_t>(frameWidth));
        // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th
        // from 2, every 2nd from 1. Only the part of the frame on the screen is kept, whatever
        // size the frame claims: the screen is the size checked.
        const int firstRow = std::clamp(-frame.Top, 0, frameHeight);
        const int lastRow = std::clamp(height - frame.Top, firstRow, frameHeight);
        const int firstColumn = std::clamp(-frame.Left, 0, frameWidth);
        const int lastColumn = std::clamp(width - frame.Left, firstColumn, frameWidth);
        const auto kept = static_cast<size_t>(lastColumn - firstColumn);
        std::vector<GifPixelType> indices;
        if (frame.Interlace) {
            indices.resize(kept * static_cast<size_t>(lastRow - firstRow));
            for (const auto& [first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = first; y < frameHeight; y += step) {
                    if (DGifGetLine(gif.get(), line.data(), frameWidth) == GIF_ERROR)
                        failInData();
                    if (y >= firstRow && y < lastRow)
                        std::copy_n(line.data() + firstColumn, kept,
                                    indices.data() + kept * static_cast<size_t>(y - firstRow));
                }
        }
        // Row y of the frame from its column firstColumn on; rows above the screen are decoded
        // and passed over.
        int next = 0;
        const auto frameRow = [&](int y) -> const GifPixelType* {
            if (frame.Interlace)
                return indices.data() + kept * static_cast<size_t>(y - firstRow);
            for (; next <= y; ++next)
                if (DGifGetLine(gif.get(), line.data(), frameWidth) == GIF_ERROR)
                    failInData();
            return line.data() + firstColumn;
        };
        for (int top = 0; top < height; top += band.height()) {
            const int n = std::min(band.height(), height - top);
            for (int y = 0; y < n; ++y) {
                auto* out = reinterpret_cast<QRgb*>(band.scanLine(y));
                std::fill(out, out + width, background);
                const int fy = top + y - frame.Top;
                if (fy < 0 || fy >= frameHeight)
                    continue;
                // A frame may reach past the screen; what lies beyond does not show.
                const GifPixelType* row = frameRow(fy);
                for (int x = firstColumn; x < lastColumn; ++x) {
                    const GifPixelType index = row[x - firstColumn];
                    if (index >= map->ColorCount)
                        throw DecodeError{{Problem::kIndexOutsidePalette}};
                    out[frame.Left + x] = Colour(*map, index);
                }
            }
            if (!sink(n == band.height() ? band
                                         : QImage(band.constBits(), band.width(), n,
                                                  band.bytesPerLine(), QImage::Format_RGB32),
                      top))
                return false;
        }
        // Rows of the frame below the screen: decoded all the same, as damage there refuses.
        if (frameHeight > 0 && !frame.Interlace)
            frameRow(frameHeight - 1);
        return true;
    }
};

}  // namespace

std::unique_ptr<PictureDecoder> MakeGifDecoder(const QByteArray& file) {
    return std::make_unique<GifDecoder>(file);
}

}  // namespace colorsplit
