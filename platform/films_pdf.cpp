#include "platform/films_pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

namespace colorsplit {
namespace {

// Cairo rather than QPdfWriter: Qt rounds every page size to whole points, up to a third of a
// millimetre off the sheet; cairo writes it as it is.

constexpr int kRowsBetweenAsking = 256;
// Cairo's image surfaces are at most 32767 pixels a side; a larger film goes in as tiles,
// each starting on a whole 32-bit word of its rows.
constexpr int kTileSide = 32736;

struct SurfaceFree {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextFree {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct PatternFree {
    void operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceFree>;
using Context = std::unique_ptr<cairo_t, ContextFree>;
using Pattern = std::unique_ptr<cairo_pattern_t, PatternFree>;

struct Output {
    QIODevice* device;
    bool stopped = false;
};

cairo_status_t WriteOut(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<Output*>(closure);
    // Stopped: the rest of the file is not wanted.
    if (out->stopped)
        return CAIRO_STATUS_SUCCESS;
    const qint64 written = out->device->write(reinterpret_cast<const char*>(data), length);
    return written == static_cast<qint64>(length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

void Check(cairo_status_t status, const QIODevice& device) {
    switch (status) {
        case CAIRO_STATUS_SUCCESS:
            return;
        case CAIRO_STATUS_NO_MEMORY:
            throw std::bad_alloc();
        case CAIRO_STATUS_WRITE_ERROR:
            if (const auto* sink = dynamic_cast<const SinkDevice*>(&device))
                sink->RethrowFailure();
            throw EncodeError{device.errorString()};
        default:
            throw EncodeError{QString::fromUtf8(cairo_status_to_string(status))};
    }
}

void Fill(cairo_t* cr, const QPainterPath& shape) {
    cairo_new_path(cr);
    for (int i = 0; i < shape.elementCount(); ++i) {
        const QPainterPath::Element e = shape.elementAt(i);
        switch (e.type) {
            case QPainterPath::MoveToElement:
                cairo_move_to(cr, e.x, e.y);
                break;
            case QPainterPath::LineToElement:
                cairo_line_to(cr, e.x, e.y);
                break;
            case QPainterPath::CurveToElement: {
                // A curve's second control point and end follow it as data elements.
                const QPainterPath::Element c = shape.elementAt(i + 1);
                const QPainterPath::Element end = shape.elementAt(i + 2);
                cairo_curve_to(cr, e.x, e.y, c.x, c.y, end.x, end.y);
                i += 2;
                break;
            }
            case QPainterPath::CurveToDataElement:
                break;
        }
    }
    cairo_set_fill_rule(cr, shape.fillRule() == Qt::WindingFill ? CAIRO_FILL_RULE_WINDING
                                                                : CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(cr);
}

void FillAll(cairo_t* cr, const std::vector<QPainterPath>& shapes) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const QPainterPath& shape : shapes)
        Fill(cr, shape);
}

// Cairo's 1-bit surfaces hold coverage, the first pixel in the lowest bit on this byte order:
// a film byte turned around and inverted, so that its black pixels are the ones painted.
constexpr std::array<std::uint8_t, 256> kCoverage = [] {
    std::array<std::uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        int out = 0;
        for (int i = 0; i < 8; ++i)
            if (!(b & (0x80 >> i)))
                out |= 1 << i;
        table[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(out);
    }
    return table;
}();
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "cairo's 1-bit order is the machine's");

class PdfWriter {
public:
    PdfWriter(QIODevice& device, const FilmSheet& sheet, const std::function<bool()>& going)
        : device_(device), sheet_(sheet), going_(going), out_{&device} {
        const QSizeF points = sheet.SizePoints();
        pdf_.reset(
            cairo_pdf_surface_create_for_stream(WriteOut, &out_, points.width(), points.height()));
        Check(cairo_surface_status(pdf_.get()), device_);
        cairo_pdf_surface_set_metadata(pdf_.get(), CAIRO_PDF_METADATA_CREATOR, "colorsplit");
        cr_.reset(cairo_create(pdf_.get()));
        Check(cairo_status(cr_.get()), device_);
        // Drawn in the sheet's pixels.
        cairo_scale(cr_.get(), 72.0 / sheet.Dpi(), 72.0 / sheet.Dpi());
    }

    ~PdfWriter() {
        // Whatever cairo still has to write is not wanted after a failure or a stop.
        out_.stopped = true;
    }

    bool Going() {
        if (!out_.stopped && going_ && !going_())
            out_.stopped = true;
        return !out_.stopped;
    }

    void Proof(const ProofPicture& proof) {
        cairo_t* cr = cr_.get();
        Surface image;
        if (proof) {
            const QSize size = ProofSize(sheet_.Picture());
            image.reset(
                cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width(), size.height()));
            Check(cairo_surface_status(image.get()), device_);
            // Painted in cairo's own pixels, which it takes over rather than copies.
            QImage picture(cairo_image_surface_get_data(image.get()), size.width(), size.height(),
                           cairo_image_surface_get_stride(image.get()), QImage::Format_RGB32);
            proof(picture);
            cairo_surface_mark_dirty(image.get());
            cairo_save(cr);
            const int m = sheet_.Margin();
            cairo_translate(cr, m, m);
            cairo_scale(cr, static_cast<double>(sheet_.Picture().width()) / size.width(),
                        static_cast<double>(sheet_.Picture().height()) / size.height());
            cairo_set_source_surface(cr, image.get(), 0, 0);
            cairo_rectangle(cr, 0, 0, size.width(), size.height());
            cairo_fill(cr);
            cairo_restore(cr);
        }
        FillAll(cr, sheet_.CropMarks());
        EndPage();
    }

    void Film(const FilmPage& page) {
        const QSize picture = sheet_.Picture();
        const int w = picture.width(), h = picture.height();
        const std::size_t filmBytes = (static_cast<std::size_t>(w) + 7) / 8;
        std::vector<std::uint8_t> row(filmBytes);
        // The film in tiles cairo can hold (one, but for the largest), filled a row at a time
        // and kept until the page is out.
        std::vector<Surface> held;
        for (int y0 = 0; y0 < h; y0 += kTileSide) {
            const int rows = std::min(kTileSide, h - y0);
            std::vector<cairo_surface_t*> tiles;
            for (int x0 = 0; x0 < w; x0 += kTileSide) {
                held.emplace_back(
                    cairo_image_surface_create(CAIRO_FORMAT_A1, std::min(kTileSide, w - x0), rows));
                Check(cairo_surface_status(held.back().get()), device_);
                tiles.push_back(held.back().get());
            }
            for (int y = 0; y < rows; ++y) {
                if (y0 + y > 0 && (y0 + y) % kRowsBetweenAsking == 0 && !Going())
                    return;
                page.rows(y0 + y, row.data());
                for (std::size_t t = 0; t < tiles.size(); ++t) {
                    cairo_surface_t* tile = tiles[t];
                    std::uint8_t* out =
                        cairo_image_surface_get_data(tile) +
                        static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(tile);
                    const int tw = cairo_image_surface_get_width(tile);
                    const std::uint8_t* in = row.data() + t * (kTileSide / 8);
                    // A row's bits past the film's width are not the picture's: readers pass them.
                    for (int i = 0; i < (tw + 7) / 8; ++i)
                        out[i] = kCoverage[in[i]];
                }
            }
            for (std::size_t t = 0; t < tiles.size(); ++t) {
                cairo_surface_mark_dirty(tiles[t]);
                Paint(tiles[t], static_cast<int>(t) * kTileSide, y0);
            }
        }
        FillAll(cr_.get(), sheet_.Marks(page.label));
        EndPage();
    }

    void Finish() {
        cr_.reset();
        cairo_surface_finish(pdf_.get());
        if (!out_.stopped)
            Check(cairo_surface_status(pdf_.get()), device_);
    }

private:
    // Black through a tile's coverage, its pixels on the sheet's, never smoothed.
    void Paint(cairo_surface_t* tile, int x, int y) {
        cairo_t* cr = cr_.get();
        Pattern mask(cairo_pattern_create_for_surface(tile));
        cairo_matrix_t place;
        const int m = sheet_.Margin();
        cairo_matrix_init_translate(&place, -(m + x), -(m + y));
        cairo_pattern_set_matrix(mask.get(), &place);
        cairo_pattern_set_filter(mask.get(), CAIRO_FILTER_NEAREST);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_mask(cr, mask.get());
    }

    void EndPage() {
        cairo_show_page(cr_.get());
        Check(cairo_status(cr_.get()), device_);
    }

    QIODevice& device_;
    const FilmSheet& sheet_;
    const std::function<bool()>& going_;
    Output out_;
    Surface pdf_;
    Context cr_;
};

}  // namespace

QSize ProofSize(QSize picture) {
    const int longer = std::max(picture.width(), picture.height());
    if (longer <= kProofSide)
        return picture;
    const auto side = [longer](int n) {
        return std::max(
            1, static_cast<int>((static_cast<qint64>(n) * kProofSide + longer / 2) / longer));
    };
    return QSize(side(picture.width()), side(picture.height()));
}

bool WriteFilmsPdf(QIODevice& device, const FilmSheet& sheet, const ProofPicture& proof,
                   const std::vector<FilmPage>& films, const std::function<bool()>& going) {
    PdfWriter pdf(device, sheet, going);
    if (!pdf.Going())
        return false;
    pdf.Proof(proof);
    for (const FilmPage& page : films) {
        if (!pdf.Going())
            return false;
        pdf.Film(page);
    }
    if (!pdf.Going())
        return false;
    pdf.Finish();
    return true;
}

SinkDevice::SinkDevice(PngOut sink) : sink_(std::move(sink)) {
    open(QIODevice::WriteOnly);
}

void SinkDevice::RethrowFailure() const {
    if (failure_)
        std::rethrow_exception(failure_);
}

qint64 SinkDevice::writeData(const char* data, qint64 size) {
    if (failure_)
        return -1;
    try {
        sink_(data, static_cast<std::size_t>(size));
    } catch (...) {
        // Thrown through cairo's C frames it would end the program; kept for the caller.
        failure_ = std::current_exception();
        return -1;
    }
    return size;
}

}  // namespace colorsplit
