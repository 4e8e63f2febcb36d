// The PDF of films and the marked film rows, judged by poppler's tools: pdfinfo for the pages,
// pdfimages for the images, pdftoppm for where every pixel and mark lands.
#include "platform/films_pdf.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <random>

#include "platform/picture_error.h"
#include "support/gui_app.h"

namespace colorsplit {
namespace {

using test::NeedGui;

// 1-bit rows, black 0; a film's are random, the unused bits of a row's last byte too.
struct Bits {
    int width, height;
    std::vector<std::uint8_t> bytes;
    std::size_t RowBytes() const { return (static_cast<std::size_t>(width) + 7) / 8; }
    const std::uint8_t* Row(int y) const { return bytes.data() + RowBytes() * y; }
    bool Black(int x, int y) const { return !(Row(y)[x / 8] & (0x80 >> (x % 8))); }
};

Bits Film(int width, int height, unsigned seed, bool white = false) {
    Bits film{width, height, {}};
    std::mt19937 rng(seed);
    film.bytes.resize(film.RowBytes() * static_cast<std::size_t>(height));
    for (std::uint8_t& b : film.bytes)
        b = white ? 0xFF : static_cast<std::uint8_t>(rng());
    return film;
}

FilmPage Page(const Bits& film, const QString& label = QStringLiteral("x")) {
    return {label,
            [&film](int y, std::uint8_t* row) { std::memcpy(row, film.Row(y), film.RowBytes()); }};
}

// The marked film as the PNG writer gets it, whole.
Bits Marked(const FilmSheet& sheet, const Bits& film, const QString& label) {
    const MarkedFilmRows marked(sheet, label);
    const std::size_t margin = marked.RowBytes() * static_cast<std::size_t>(marked.Margin());
    Bits out{marked.Width(), marked.Height(), {marked.Top(), marked.Top() + margin}};
    std::vector<std::uint8_t> row(marked.RowBytes());
    for (int y = 0; y < film.height; ++y) {
        marked.Row(y, film.Row(y), row.data());
        out.bytes.insert(out.bytes.end(), row.begin(), row.end());
    }
    out.bytes.insert(out.bytes.end(), marked.Bottom(), marked.Bottom() + margin);
    return out;
}

// One of poppler's tools, run to its end; its standard output's lines.
QStringList Tool(const char* tool, const QStringList& args) {
    QProcess process;
    process.start(QString::fromUtf8(tool), args);
    EXPECT_TRUE(process.waitForFinished(120000)) << tool;
    EXPECT_EQ(process.exitCode(), 0)
        << tool << ": " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

#define NEED_TOOLS                                                                  \
    if (!*COLORSPLIT_PDFTOPPM || !*COLORSPLIT_PDFINFO || !*COLORSPLIT_PDFIMAGES)    \
        GTEST_SKIP() << "poppler's tools were not found when the build was set up"; \
    NeedGui()

class FilmsPdf : public ::testing::Test {
protected:
    QString Write(const FilmSheet& sheet, const std::vector<FilmPage>& pages,
                  const ProofPicture& proof = {}) {
        QFile file(pdf_);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(WriteFilmsPdf(file, sheet, proof, pages, [] { return true; }));
        return pdf_;
    }
    // Page n's images, each as "width height colour components bits".
    QStringList Images(int page) {
        const QString n = QString::number(page);
        QStringList images = Tool(COLORSPLIT_PDFIMAGES, {"-f", n, "-l", n, "-list", pdf_}).mid(2);
        for (QString& image : images)
            image = image.simplified().section(' ', 3, 7);
        return images;
    }
    // Page n drawn by pdftoppm at dpi in black and white, unsmoothed; read here, as Qt refuses
    // pictures wider than 32767 pixels.
    Bits Render(int page, double dpi) {
        const QString n = QString::number(page), prefix = dir_.filePath(QStringLiteral("page"));
        Tool(COLORSPLIT_PDFTOPPM,
             {"-r", QString::number(dpi, 'f', 4), "-mono", "-aa", "no", "-aaVector", "no", "-f", n,
              "-l", n, "-singlefile", pdf_, prefix});
        QFile file(prefix + QStringLiteral(".pbm"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray pbm = file.readAll();
        const QStringList header = QString::fromLatin1(pbm.left(30)).simplified().split(' ');
        Bits bits{header.value(1).toInt(), header.value(2).toInt(), {}};
        for (const char b : pbm.right(static_cast<qsizetype>(bits.RowBytes()) * bits.height))
            bits.bytes.push_back(static_cast<std::uint8_t>(~b));  // PBM's black is 1
        return bits;
    }
    QTemporaryDir dir_;
    QString pdf_ = dir_.filePath(QStringLiteral("films.pdf"));
};

// Pages of the sheet's size exactly, the proof first in colour, then a 1-bit image a film.
TEST_F(FilmsPdf, PagesAreSheetsWithTheProofAndOneBitFilms) {
    NEED_TOOLS;
    const struct {
        int width, height, films;
        double dpi, margin;
        const char* proof;
    } cases[] = {{37, 23, 4, 300, 10, "37 23"},
                 {19, 50, 2, 512.3, 5, "19 50"},
                 {4000, 3000, 1, 600, 10, "1600 1200"}};
    const QRgb colours[] = {0x4B7AD3, 0xFACE4A, 0x42882D, 0xAF1E1E};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.dpi);
        const FilmSheet sheet({c.width, c.height}, c.dpi, c.margin);
        const Bits film = Film(c.width, c.height, 1);
        Write(sheet, std::vector<FilmPage>(static_cast<std::size_t>(c.films), Page(film)),
              [&](QImage& proof) {  // a colour a quadrant
                  for (int y = 0; y < proof.height(); ++y)
                      for (int x = 0; x < proof.width(); ++x)
                          proof.setPixel(
                              x, y, colours[2 * (2 * y / proof.height()) + 2 * x / proof.width()]);
              });
        // The print size and margins of the millimetres asked for, to half a pixel.
        const double margin = sheet.Margin() * 25.4 / c.dpi;
        EXPECT_LE(std::abs(margin - c.margin), 12.7 / c.dpi);
        const QStringList sizes = Tool(COLORSPLIT_PDFINFO, {"-l", "9", pdf_}).filter(" pts");
        ASSERT_EQ(sizes.size(), c.films + 1);
        for (const QString& line : sizes) {
            const QStringList f = line.simplified().split(' ');
            EXPECT_NEAR(f[3].toDouble(), (c.width * 25.4 / c.dpi + 2 * margin) / 25.4 * 72, 0.002);
            EXPECT_NEAR(f[5].toDouble(), (c.height * 25.4 / c.dpi + 2 * margin) / 25.4 * 72, 0.002);
        }
        EXPECT_EQ(Images(1), QStringList{QStringLiteral("%1 rgb 3 8").arg(c.proof)});
        for (int page = 2; page <= c.films + 1; ++page)
            EXPECT_EQ(Images(page),
                      QStringList{QStringLiteral("%1 %2 - 1 1").arg(c.width).arg(c.height)});
    }
    // The proof's colours in their places: at 60 dpi the last picture is 400 x 300 pixels, 24 in.
    const QString prefix = dir_.filePath(QStringLiteral("proof"));
    Tool(COLORSPLIT_PDFTOPPM, {"-r", "60", "-l", "1", "-singlefile", pdf_, prefix});
    const QImage proof(prefix + QStringLiteral(".ppm"));
    ASSERT_EQ(proof.size(), QSize(448, 348));
    for (int q = 0; q < 4; ++q) {
        const QRgb seen = proof.pixel(124 + 200 * (q % 2), 99 + 150 * (q / 2)), want = colours[q];
        EXPECT_LE(std::abs(qRed(seen) - qRed(want)) + std::abs(qGreen(seen) - qGreen(want)) +
                      std::abs(qBlue(seen) - qBlue(want)),
                  4)
            << q << ": " << std::hex << seen;
    }
    EXPECT_EQ(proof.pixel(12, 12), qRgb(255, 255, 255));
}

// Every film pixel where it belongs on its page, and the page's marks where the PNG film has
// them, to a pixel (each is drawn by its own rasteriser).
TEST_F(FilmsPdf, FilmPagesShowEveryPixelAndTheMarksOfThePngFilm) {
    NEED_TOOLS;
    // At 288 dpi a pixel is a quarter point, exact in binary: poppler's own rounding of the
    // tall 33000 rows at 300 dpi would shift some by one. Films wider or taller than cairo's
    // images are split in tiles.
    const struct {
        int width, height;
        double dpi, margin;
    } cases[] = {{1203, 301, 300, 10},
                 {150, 97, 96, 10},
                 {211, 64, 403.7, 7},
                 {40000, 3, 288, 10},
                 {64, 33000, 288, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.dpi);
        const FilmSheet sheet({c.width, c.height}, c.dpi, c.margin);
        const Bits film = Film(c.width, c.height, 7);
        const QString label = QStringLiteral("風景.jpg 群組2 #4B7AD3");
        Write(sheet, {Page(film, label)});
        const Bits page = Render(2, c.dpi), png = Marked(sheet, film, label);
        // pdftoppm rounds the page up to whole pixels.
        ASSERT_TRUE(page.width - png.width <= 1 && page.width >= png.width) << page.width;
        ASSERT_TRUE(page.height - png.height <= 1 && page.height >= png.height) << page.height;
        // Where images meet, poppler may paint a pixel of one over the other's edge.
        std::vector<int> columns{-1}, rows{-1};
        for (const QString& image : Images(2)) {
            columns.push_back(columns.back() + image.section(' ', 0, 0).toInt());
            if (columns.back() >= c.width - 1)
                rows.push_back(rows.back() + image.section(' ', 1, 1).toInt()), columns.resize(1);
        }
        const auto seam = [](const std::vector<int>& at, int i) {
            return std::count(at.begin() + 1, at.end(), i) +
                   std::count(at.begin() + 1, at.end(), i - 1);
        };
        const int m = sheet.Margin();
        const QRect picture(m, m, c.width, c.height);
        const QRect labelled = sheet.Label(label).boundingRect().toAlignedRect();
        int wrong = 0, unmatched = 0, marks = 0, ink = 0;
        for (int y = 0; y < png.height; ++y)
            for (int x = 0; x < png.width; ++x) {
                const bool black = page.Black(x, y);
                if (picture.contains(x, y)) {
                    wrong += black != film.Black(x - m, y - m) &&
                             !(black && (seam(columns, x - m) || seam(rows, y - m)));
                } else if (labelled.contains(x, y)) {
                    // Small letters are each rasteriser's own: ink is enough.
                    ink += black;
                } else if (black || png.Black(x, y)) {
                    marks += black;
                    const Bits& other = black ? png : page;
                    bool near = false;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            near |= QRect(0, 0, png.width, png.height).contains(x + dx, y + dy) &&
                                    other.Black(x + dx, y + dy);
                    unmatched += !near;
                }
            }
        EXPECT_EQ(wrong, 0) << "film pixels misplaced";
        EXPECT_GT(marks, 0);
        EXPECT_EQ(unmatched, 0) << "of " << marks << " mark pixels";
        EXPECT_EQ(ink > 0, !labelled.isEmpty());
    }
}

// Told to stop, the writing stops at once: no row is asked for after going says no.
TEST_F(FilmsPdf, StopsWhenGoingSaysNo) {
    NeedGui();
    const FilmSheet sheet({100, 600}, 300, 10);
    const Bits film = Film(100, 600, 1);
    // After how many answers going says no; then the proof made or not, the rows of each film.
    const std::pair<int, std::vector<int>> cases[] = {
        {0, {0, 0, 0, 0}}, {1, {1, 0, 0, 0}}, {2, {1, 256, 0, 0}}, {5, {1, 600, 256, 0}}};
    for (const auto& c : cases) {
        const int answers = c.first;  // a structured binding clang 14 cannot capture
        const std::vector<int>& expected = c.second;
        int asked = 0;
        std::vector<int> made(4);
        std::vector<FilmPage> pages;
        for (std::size_t n = 1; n < 4; ++n)
            pages.push_back({{}, [&, n](int y, std::uint8_t* row) {
                                 EXPECT_EQ(y, made[n]++) << "rows top to bottom, once each";
                                 std::memcpy(row, film.Row(y), film.RowBytes());
                             }});
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_FALSE(WriteFilmsPdf(
            buffer, sheet, [&](QImage&) { made[0] = 1; }, pages,
            [&] { return asked++ < answers; }));
        EXPECT_EQ(made, expected) << answers;
        EXPECT_FALSE(buffer.data().contains("%%EOF")) << answers;
    }
}

// A sink that fails makes the writing fail with the sink's own error; a device that cannot be
// written, with EncodeError.
TEST_F(FilmsPdf, FailuresOfTheDeviceComeBack) {
    NeedGui();
    const FilmSheet sheet({64, 64}, 300, 10);
    const Bits film = Film(64, 64, 1);
    const std::vector<FilmPage> pages(2, Page(film));
    for (const std::size_t room : {0, 3000}) {
        std::size_t written = 0;
        SinkDevice sink([&](const char*, std::size_t n) {
            if ((written += n) > room)
                throw PictureError(PictureError::Action::kExport, "films.pdf",
                                   Problem(Problem::kCannotWrite, 0, 0, {}, ENOSPC));
        });
        try {
            WriteFilmsPdf(sink, sheet, {}, pages, [] { return true; });
            ADD_FAILURE() << "written with room for " << room;
        } catch (const PictureError& e) {
            EXPECT_EQ(e.Cause().code, ENOSPC) << room;
        }
    }
    QBuffer closed;
    EXPECT_THROW(WriteFilmsPdf(closed, sheet, {}, pages, [] { return true; }), EncodeError);
}

// The picture's pixels pass unchanged whatever the bits around them, the margins do not
// depend on them, and a row's unused bits are 0.
TEST(MarkedFilmRows, PictureRowsPassThroughBetweenTheirMargins) {
    NeedGui();
    // Margins of 0, 1, 8 and 13 pixels.
    for (const double dpi : {300.0, 2.54, 20.32, 33.02})
        for (int width = 1; width <= 17; width += 4) {
            SCOPED_TRACE(testing::Message() << width << " at " << dpi);
            const FilmSheet sheet({width, 20}, dpi, dpi == 300 ? 0 : 10);
            const Bits film = Film(width, 20, static_cast<unsigned>(width));
            const Bits marked = Marked(sheet, film, QStringLiteral("x"));
            const Bits blank = Marked(sheet, Film(width, 20, 0, true), QStringLiteral("x"));
            const int m = sheet.Margin();
            ASSERT_EQ(marked.bytes.size(), marked.RowBytes() * (20 + 2 * m));
            for (int y = 0; y < marked.height; ++y)
                for (int x = 0; x < static_cast<int>(marked.RowBytes()) * 8; ++x)
                    ASSERT_EQ(marked.Black(x, y),
                              x >= marked.width ||
                                  (QRect(m, m, width, 20).contains(x, y) ? film.Black(x - m, y - m)
                                                                         : blank.Black(x, y)))
                        << x << "," << y;
        }
}

// A registration mark outside the middle of each side, crop lines beyond each corner in line
// with the edges; the label in the bottom margin, starting at the same place whatever its
// length, clear of the marks (a long one shrinks), in glyphs of its own letters.
TEST(MarkedFilmRows, MarksAndLabelLieInTheMargins) {
    NeedGui();
    const int w = 1200, h = 500;
    const FilmSheet sheet({w, h}, 300, 10);
    const Bits white = Film(w, h, 0, true), none = Marked(sheet, white, {});
    const int m = sheet.Margin();
    ASSERT_EQ(m, 118);
    for (const QPoint c : {QPoint(m + w / 2, m / 2), QPoint(m + w / 2, m + h + m / 2),
                           QPoint(m / 2, m + h / 2), QPoint(m + w + m / 2, m + h / 2)})
        EXPECT_TRUE(none.Black(c.x(), c.y())) << c.x() << "," << c.y();
    for (const int x : {0, m + w})
        for (const int y : {0, m + h}) {
            int along = 0, across = 0;
            for (int i = 0; i < m; ++i) {
                along += none.Black(x + i, y ? m + h : m);
                across += none.Black(x ? m + w : m, y + i);
            }
            EXPECT_GT(along, m / 3) << x << "," << y;
            EXPECT_GT(across, m / 3) << x << "," << y;
        }

    std::vector<QRect> inks;
    for (const QString& label :
         {QStringLiteral("H"), QStringLiteral("風景 群組1 #4B7AD3"),
          QStringLiteral("landscape.jpg  group 4  #AF1E1E"), QString(300, QChar(u'綠'))}) {
        const Bits with = Marked(sheet, white, label);
        QRect ink;
        for (int y = 0; y < with.height; ++y)
            for (int x = 0; x < with.width; ++x)
                if (with.Black(x, y) != none.Black(x, y))
                    ink |= QRect(x, y, 1, 1);
        ASSERT_GE(ink.top(), m + h) << label.toStdString();
        for (int y = ink.top() - 2; y <= ink.bottom() + 2; ++y)
            for (int x = ink.left() - 2; x <= ink.right() + 2; ++x)
                ASSERT_FALSE(none.Black(x, y)) << "a mark at " << x << "," << y;
        inks.push_back(ink);
    }
    for (const QRect& ink : inks) {
        EXPECT_NEAR(ink.left(), inks[0].left(), 2);
        EXPECT_NEAR(ink.center().y(), inks[1].center().y(), inks[1].height() / 4.0);
    }
    // Different Chinese letters, different glyphs: no missing-glyph boxes.
    EXPECT_NE(Marked(sheet, white, QStringLiteral("群組")).bytes,
              Marked(sheet, white, QStringLiteral("綠色")).bytes);
}

}  // namespace
}  // namespace colorsplit
