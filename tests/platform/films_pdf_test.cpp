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
#include <cmath>
#include <random>

#include "platform/film_marks.h"
#include "platform/picture_error.h"

namespace colorsplit {
namespace {

// Marks and labels need fonts, and fonts a QGuiApplication.
void NeedGui() {
    static int argc = 1;
    static char name[] = "platform_tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

// A film of random pixels, rows of whole bytes; the unused bits of each row's last byte are
// random too, which no page may show.
struct Film {
    int width, height;
    std::vector<std::uint8_t> bits;
    std::size_t RowBytes() const { return (static_cast<std::size_t>(width) + 7) / 8; }
    const std::uint8_t* Row(int y) const { return bits.data() + RowBytes() * y; }
    bool Black(int x, int y) const { return !(Row(y)[x / 8] & (0x80 >> (x % 8))); }
};

Film RandomFilm(int width, int height, unsigned seed) {
    Film film{width, height, {}};
    std::mt19937 rng(seed);
    film.bits.resize(film.RowBytes() * static_cast<std::size_t>(height));
    for (std::uint8_t& b : film.bits)
        b = static_cast<std::uint8_t>(rng());
    return film;
}

bool BitBlack(const std::uint8_t* row, int x) {
    return !(row[x / 8] & (0x80 >> (x % 8)));
}

// One of poppler's tools, run to its end; its standard output.
QString Tool(const char* tool, const QStringList& args) {
    QProcess process;
    process.start(QString::fromUtf8(tool), args);
    EXPECT_TRUE(process.waitForFinished(120000)) << tool;
    EXPECT_EQ(process.exitCode(), 0)
        << tool << ": " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

#define NEED_TOOL(tool)                                                   \
    if (std::string(tool).empty())                                        \
        GTEST_SKIP() << #tool " was not found when the build was set up"; \
    NeedGui()

struct Grey {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
    bool Black(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] < 128; }
};

class FilmsPdf : public ::testing::Test {
protected:
    // The PDF of these films with the given labels, in a file.
    QString Write(const FilmSheet& sheet, const std::vector<Film>& films,
                  const std::vector<QString>& labels, const ProofPicture& proof = {}) {
        std::vector<FilmPage> pages;
        for (std::size_t i = 0; i < films.size(); ++i)
            pages.push_back({labels[i], [&film = films[i]](int y, std::uint8_t* row) {
                                 std::memcpy(row, film.Row(y), film.RowBytes());
                             }});
        const QString path = dir_.filePath(QStringLiteral("films.pdf"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(WriteFilmsPdf(file, sheet, proof, pages, [] { return true; }));
        return path;
    }
    // Page n (from 1) drawn by pdftoppm at dpi, grey, without smoothing.
    Grey Render(const QString& pdf, int page, double dpi) {
        const QString prefix = dir_.filePath(QStringLiteral("page"));
        Tool(COLORSPLIT_PDFTOPPM,
             {QStringLiteral("-r"), QString::number(dpi, 'f', 4), QStringLiteral("-gray"),
              QStringLiteral("-aa"), QStringLiteral("no"), QStringLiteral("-aaVector"),
              QStringLiteral("no"), QStringLiteral("-f"), QString::number(page),
              QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile"), pdf,
              prefix});
        return ReadPgm(prefix + QStringLiteral(".pgm"));
    }
    // Where the images of a page meet, as picture columns and rows: they lie in rows of
    // images, left to right, top to bottom, across the picture's width.
    static std::pair<std::vector<int>, std::vector<int>> Seams(const QString& pdf, int page,
                                                               int width) {
        const QStringList lines =
            Tool(COLORSPLIT_PDFIMAGES,
                 {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                  QString::number(page), QStringLiteral("-list"), pdf})
                .split('\n', Qt::SkipEmptyParts)
                .mid(2);
        std::vector<int> columns, rows;
        int x = 0, y = 0;
        for (const QString& line : lines) {
            const QStringList f = line.simplified().split(' ');
            if ((x += f[3].toInt()) < width) {
                columns.push_back(x);
            } else {
                x = 0;
                rows.push_back(y += f[4].toInt());
            }
        }
        return {columns, rows};
    }
    // pdftoppm's grey pages; read here, as Qt's reader refuses pages wider than 32767 pixels.
    static Grey ReadPgm(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QRegularExpressionMatch header =
            QRegularExpression(QStringLiteral("^P5\\s+(\\d+)\\s+(\\d+)\\s+255\\s"))
                .match(QString::fromLatin1(bytes.left(64)));
        if (!header.hasMatch()) {
            ADD_FAILURE() << "not a grey PGM: " << path.toStdString();
            return {};
        }
        Grey grey{header.captured(1).toInt(), header.captured(2).toInt(), {}};
        grey.pixels.assign(bytes.end() - static_cast<qsizetype>(grey.width) * grey.height,
                           bytes.end());
        return grey;
    }
    QTemporaryDir dir_;
};

struct SheetCase {
    int width, height;
    double dpi, marginMm;
    int films;
};

// Pages, their sizes, and the images on them.
TEST_F(FilmsPdf, PagesAreTheSheetAndFilmsAreOneBitImagesOfThePicture) {
    NEED_TOOL(COLORSPLIT_PDFINFO);
    NEED_TOOL(COLORSPLIT_PDFIMAGES);
    const SheetCase cases[] = {
        {37, 23, 300, 10, 4}, {64, 40, 72, 10, 2}, {19, 50, 512.3, 5, 3}, {1, 1, 300, 10, 1}};
    for (const SheetCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.dpi);
        const FilmSheet sheet({c.width, c.height}, c.dpi, c.marginMm);
        std::vector<Film> films;
        for (int n = 0; n < c.films; ++n)
            films.push_back(RandomFilm(c.width, c.height, static_cast<unsigned>(n)));
        const QString pdf =
            Write(sheet, films, std::vector<QString>(films.size(), "x"), [](QSize size) {
                QImage proof(size, QImage::Format_RGB32);
                proof.fill(Qt::red);
                return proof;
            });

        const QString info = Tool(COLORSPLIT_PDFINFO, {QStringLiteral("-l"), "99", pdf});
        EXPECT_TRUE(
            info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(c.films + 1))))
            << info.toStdString();
        // The picture's print size plus a margin of the millimetres asked for, to a pixel.
        const double marginMm = sheet.Margin() * 25.4 / c.dpi;
        EXPECT_LE(std::abs(marginMm - c.marginMm), 25.4 / c.dpi / 2);
        const double widthMm = c.width * 25.4 / c.dpi + 2 * marginMm;
        const double heightMm = c.height * 25.4 / c.dpi + 2 * marginMm;
        const QRegularExpression size(
            QStringLiteral("Page\\s+\\d+ size:\\s+([\\d.]+) x ([\\d.]+) pts"));
        int pages = 0;
        for (auto it = size.globalMatch(info); it.hasNext(); ++pages) {
            const QRegularExpressionMatch page = it.next();
            EXPECT_NEAR(page.captured(1).toDouble(), widthMm / 25.4 * 72, 0.002);
            EXPECT_NEAR(page.captured(2).toDouble(), heightMm / 25.4 * 72, 0.002);
        }
        EXPECT_EQ(pages, c.films + 1);

        // page num type width height color comp bpc ...: the proof in colour, then the films.
        const QStringList lines = Tool(COLORSPLIT_PDFIMAGES, {QStringLiteral("-list"), pdf})
                                      .split('\n', Qt::SkipEmptyParts)
                                      .mid(2);
        ASSERT_EQ(lines.size(), c.films + 1);
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList f = lines[i].simplified().split(' ');
            EXPECT_EQ(f[0].toInt(), i + 1);
            EXPECT_EQ(f[3].toInt(), c.width) << lines[i].toStdString();
            EXPECT_EQ(f[4].toInt(), c.height) << lines[i].toStdString();
            EXPECT_EQ(f[7].toInt(), i == 0 ? 8 : 1) << lines[i].toStdString();
            EXPECT_EQ(f[5], i == 0 ? QStringLiteral("rgb") : QStringLiteral("-"));
        }
    }
}

// The marked film as the PNG writer gets it, whole.
struct Sheet {
    int width, height;
    std::vector<std::uint8_t> rows;
    std::size_t rowBytes;
    bool Black(int x, int y) const { return BitBlack(rows.data() + rowBytes * y, x); }
};

Sheet MarkedRows(const FilmSheet& sheet, const Film& film, const QString& label) {
    const MarkedFilmRows marked(sheet, label);
    Sheet out{marked.Width(), marked.Height(), {}, marked.RowBytes()};
    const int m = marked.Margin();
    out.rows.assign(marked.Top(), marked.Top() + marked.RowBytes() * m);
    std::vector<std::uint8_t> row(marked.RowBytes());
    for (int y = 0; y < film.height; ++y) {
        marked.Row(y, film.Row(y), row.data());
        out.rows.insert(out.rows.end(), row.begin(), row.end());
    }
    out.rows.insert(out.rows.end(), marked.Bottom(), marked.Bottom() + marked.RowBytes() * m);
    return out;
}

// Every film pixel where it belongs on its page, and the page's marks where the PNG film has
// them (a pixel's leeway: the two are drawn by different rasterisers).
TEST_F(FilmsPdf, FilmPagesShowEveryPixelAndTheMarksOfThePngFilm) {
    NEED_TOOL(COLORSPLIT_PDFTOPPM);
    NEED_TOOL(COLORSPLIT_PDFIMAGES);
    const SheetCase cases[] = {{1203, 301, 300, 10, 2}, {150, 97, 96, 10, 1},
                               {211, 64, 403.7, 7, 1},  {40000, 3, 288, 10, 1},
                               {64, 33000, 288, 10, 1}, {64, 8000, 288, 10, 1}};
    for (const SheetCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.dpi);
        const FilmSheet sheet({c.width, c.height}, c.dpi, c.marginMm);
        std::vector<Film> films;
        std::vector<QString> labels;
        for (int n = 0; n < c.films; ++n) {
            films.push_back(RandomFilm(c.width, c.height, 10u + static_cast<unsigned>(n)));
            labels.push_back(QStringLiteral("風景.jpg 群組%1 #4B7AD3").arg(n + 1));
        }
        const QString pdf = Write(sheet, films, labels);
        const int m = sheet.Margin();
        for (int n = 0; n < c.films; ++n) {
            const Grey page = Render(pdf, n + 2, c.dpi);
            // pdftoppm rounds the page up to whole pixels.
            ASSERT_GE(page.width, sheet.Size().width());
            ASSERT_LE(page.width, sheet.Size().width() + 1);
            ASSERT_GE(page.height, sheet.Size().height());
            ASSERT_LE(page.height, sheet.Size().height() + 1);
            const auto black = [&page](int x, int y) { return page.Black(x, y); };
            // Where images of a film meet, poppler may paint one pixel of the left one's last
            // row over the right one's first; the bits written there are checked as written.
            const auto [columns, rows] = Seams(pdf, n + 2, c.width);
            const auto seam = [](const std::vector<int>& at, int i) {
                return std::find(at.begin(), at.end(), i) != at.end();
            };
            int wrong = 0, overreach = 0;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    if (black(m + x, m + y) != films[n].Black(x, y))
                        ++(black(m + x, m + y) && (seam(columns, x) || seam(rows, y)) ? overreach
                                                                                      : wrong);
            EXPECT_EQ(wrong, 0) << "film pixels misplaced on page " << n + 2;
            EXPECT_LE(overreach,
                      static_cast<int>(columns.size() * c.height + rows.size() * c.width));

            const Sheet png = MarkedRows(sheet, films[n], labels[n]);
            const auto near = [](const auto& is, int x, int y, int w, int h) {
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (x + dx >= 0 && y + dy >= 0 && x + dx < w && y + dy < h &&
                            is(x + dx, y + dy))
                            return true;
                return false;
            };
            // Small letters are each rasteriser's own: the label is only to have ink on both.
            const QRect label = sheet.Label(labels[n]).boundingRect().toAlignedRect();
            int marks = 0, unmatched = 0, inked = 0, pngInked = 0;
            const int w = png.width, h = png.height;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (x >= m && x < m + c.width && y >= m && y < m + c.height)
                        continue;
                    if (label.contains(x, y)) {
                        inked += black(x, y);
                        pngInked += png.Black(x, y);
                        continue;
                    }
                    const auto pngBlack = [&png](int px, int py) { return png.Black(px, py); };
                    if (black(x, y)) {
                        ++marks;
                        unmatched += !near(pngBlack, x, y, w, h);
                    } else if (png.Black(x, y)) {
                        unmatched += !near(black, x, y, w, h);
                    }
                }
            EXPECT_GT(marks, 0);
            EXPECT_EQ(unmatched, 0) << "of " << marks << " mark pixels";
            if (!label.isEmpty()) {
                EXPECT_GT(inked, 0);
                EXPECT_GT(pngInked, 0);
            }
        }
    }
}

// The first page: the proof in colour over the picture's place, reduced when large.
TEST_F(FilmsPdf, ProofShowsTheQuantisedPictureInColour) {
    NEED_TOOL(COLORSPLIT_PDFTOPPM);
    const QRgb colours[] = {qRgb(0x4B, 0x7A, 0xD3), qRgb(0xFA, 0xCE, 0x4A), qRgb(0x42, 0x88, 0x2D),
                            qRgb(0xAF, 0x1E, 0x1E)};
    const FilmSheet sheet({4000, 3000}, 600, 10);
    QSize asked;
    const QString pdf = Write(sheet, {}, {}, [&](QSize size) {
        asked = size;
        QImage proof(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                proof.setPixel(x, y, colours[(2 * y / size.height()) * 2 + 2 * x / size.width()]);
        return proof;
    });
    EXPECT_EQ(asked, QSize(2048, 1536));
    // At 60 dpi the picture is 400 x 300 pixels, 24 pixels in.
    const QString prefix = dir_.filePath(QStringLiteral("proof"));
    Tool(COLORSPLIT_PDFTOPPM, {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-l"),
                               QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, prefix});
    const QImage page(prefix + QStringLiteral(".ppm"));
    ASSERT_EQ(page.size(), QSize(448, 348));
    const int m = 24;
    for (int q = 0; q < 4; ++q) {
        const QRgb seen = page.pixel(m + 100 + 200 * (q % 2), m + 75 + 150 * (q / 2));
        EXPECT_NEAR(qRed(seen), qRed(colours[q]), 2) << q;
        EXPECT_NEAR(qGreen(seen), qGreen(colours[q]), 2) << q;
        EXPECT_NEAR(qBlue(seen), qBlue(colours[q]), 2) << q;
    }
    EXPECT_EQ(page.pixel(m / 2, m / 2), qRgb(255, 255, 255));
}

TEST(ProofSize, ReducesTheLongerSideKeepingTheShape) {
    EXPECT_EQ(ProofSize({4032, 3024}), QSize(2048, 1536));
    EXPECT_EQ(ProofSize({3024, 4032}), QSize(1536, 2048));
    EXPECT_EQ(ProofSize({2048, 10}), QSize(2048, 10));
    EXPECT_EQ(ProofSize({100000, 3}), QSize(2048, 1));
}

// Asked to stop, the writing stops at once: no row is asked for after going says no.
TEST_F(FilmsPdf, StopsWhenGoingSaysNo) {
    NeedGui();
    const FilmSheet sheet({100, 600}, 300, 10);
    const Film film = RandomFilm(100, 600, 1);
    // After how many answers going says no; the rows each film gave by then.
    const struct {
        int answers;
        std::vector<int> rows;
        bool proof;
    } cases[] = {{0, {0, 0, 0}, false},
                 {1, {0, 0, 0}, true},
                 {2, {256, 0, 0}, true},
                 {5, {600, 256, 0}, true},
                 {100, {600, 600, 600}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        int answers = 0;
        bool proofMade = false;
        std::vector<int> rows(3);
        std::vector<FilmPage> pages;
        for (int& given : rows)
            pages.push_back({QStringLiteral("x"), [&](int y, std::uint8_t* row) {
                                 EXPECT_EQ(y, given) << "rows top to bottom, once each";
                                 ++given;
                                 std::memcpy(row, film.Row(y), film.RowBytes());
                             }});
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const bool whole = WriteFilmsPdf(
            buffer, sheet,
            [&](QSize size) {
                proofMade = true;
                return QImage(size, QImage::Format_RGB32);
            },
            pages, [&] { return answers++ < c.answers; });
        EXPECT_EQ(whole, c.answers == 100);
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(proofMade, c.proof);
        EXPECT_EQ(buffer.data().endsWith("%%EOF\n"), whole);
    }
}

// A sink that fails makes the writing fail with the sink's own error; a device that cannot be
// written, with EncodeError.
TEST_F(FilmsPdf, FailuresOfTheDeviceComeBack) {
    NeedGui();
    const FilmSheet sheet({64, 64}, 300, 10);
    const Film film = RandomFilm(64, 64, 1);
    const std::vector<FilmPage> pages(2, {QStringLiteral("x"), [&](int y, std::uint8_t* row) {
                                              std::memcpy(row, film.Row(y), film.RowBytes());
                                          }});
    for (const std::size_t room : {std::size_t{0}, std::size_t{700}, std::size_t{3000}}) {
        SCOPED_TRACE(room);
        std::size_t written = 0;
        SinkDevice sink([&](const char*, std::size_t n) {
            if ((written += n) > room)
                throw PictureError(PictureError::Action::kExport, "films.pdf",
                                   Problem(Problem::kCannotWrite, 0, 0, {}, ENOSPC));
        });
        try {
            WriteFilmsPdf(sink, sheet, {}, pages, [] { return true; });
            ADD_FAILURE() << "written";
        } catch (const PictureError& e) {
            EXPECT_EQ(e.File(), "films.pdf");
            EXPECT_EQ(e.Cause().code, ENOSPC);
        }
    }
    QBuffer closed;
    EXPECT_THROW(WriteFilmsPdf(closed, sheet, {}, pages, [] { return true; }), EncodeError);
}

// A marked film as the PNG writer gets it, blank, for its marks.
Sheet Blank(const FilmSheet& sheet, const QString& label) {
    const QSize picture = sheet.Picture();
    Film white{picture.width(), picture.height(), {}};
    white.bits.assign(white.RowBytes() * static_cast<std::size_t>(picture.height()), 0xFF);
    return MarkedRows(sheet, white, label);
}

// The picture's pixels pass unchanged whatever the bits around them, the margins do not
// depend on them, and a row's unused bits are 0.
TEST(MarkedFilmRows, PictureRowsPassThroughBetweenTheirMargins) {
    NeedGui();
    // Margins of 0, 1, 8 and 13 pixels.
    const double dpis[] = {300, 2.54, 20.32, 33.02};
    for (const double dpi : dpis)
        for (int width = 1; width <= 17; width += 4) {
            SCOPED_TRACE(testing::Message() << width << " at " << dpi);
            const FilmSheet sheet({width, 20}, dpi, dpi == 300 ? 0 : 10);
            const Film film = RandomFilm(width, 20, static_cast<unsigned>(width));
            const Sheet marked = MarkedRows(sheet, film, QStringLiteral("x"));
            const Sheet blank = Blank(sheet, QStringLiteral("x"));
            const int m = sheet.Margin();
            ASSERT_EQ(marked.width, width + 2 * m);
            ASSERT_EQ(marked.height, 20 + 2 * m);
            ASSERT_EQ(marked.rows.size(), marked.rowBytes * marked.height);
            for (int y = 0; y < marked.height; ++y) {
                for (int x = 0; x < marked.width; ++x) {
                    const bool inside = x >= m && x < m + width && y >= m && y < m + 20;
                    ASSERT_EQ(marked.Black(x, y),
                              inside ? film.Black(x - m, y - m) : blank.Black(x, y))
                        << x << "," << y;
                }
                for (int x = marked.width; x < static_cast<int>(marked.rowBytes) * 8; ++x)
                    ASSERT_TRUE(marked.Black(x, y)) << "unused bit " << x << " of row " << y;
            }
        }
}

// Marks outside the picture: a registration mark at the middle of each side, lines at the
// corners in line with its edges; the rest of the margin white.
TEST(MarkedFilmRows, MarksLieInTheMargins) {
    NeedGui();
    const FilmSheet sheet({1200, 500}, 300, 10);
    const Sheet blank = Blank(sheet, {});
    const int m = sheet.Margin(), w = 1200, h = 500;
    EXPECT_EQ(m, 118);
    const QPoint middles[] = {{m + w / 2, m / 2},
                              {m + w / 2, m + h + m / 2},
                              {m / 2, m + h / 2},
                              {m + w + m / 2, m + h / 2}};
    for (const QPoint& c : middles)
        EXPECT_TRUE(blank.Black(c.x(), c.y())) << c.x() << "," << c.y();
    // Along each edge's line, beyond each corner, some black; none where the line meets it.
    for (const int x : {0, m + w})
        for (const int y : {0, m + h}) {
            int along = 0, across = 0;
            for (int i = 0; i < m; ++i) {
                along += blank.Black(x + i, y == 0 ? m : m + h);
                across += blank.Black(x == 0 ? m : m + w, y + i);
            }
            EXPECT_GT(along, m / 3) << x << "," << y;
            EXPECT_GT(across, m / 3) << x << "," << y;
        }
    int black = 0;
    for (int y = 0; y < blank.height; ++y)
        for (int x = 0; x < blank.width; ++x)
            black += blank.Black(x, y);
    EXPECT_LT(black, (blank.width * blank.height - w * h) / 20);
}

// The label's ink, where a sheet with it differs from one without.
QRect LabelInk(const Sheet& with, const Sheet& without) {
    QRect ink;
    for (int y = 0; y < with.height; ++y)
        for (int x = 0; x < with.width; ++x)
            if (with.Black(x, y) != without.Black(x, y))
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// The label starts at the same place whatever its length, in the bottom margin, clear of the
// marks (a long one shrinks), in glyphs of its own letters (Chinese too).
TEST(MarkedFilmRows, LabelsStartAtTheSamePlaceAndKeepClearOfTheMarks) {
    NeedGui();
    const FilmSheet sheet({1200, 500}, 300, 10);
    const int m = sheet.Margin();
    const Sheet none = Blank(sheet, {});
    const QString labels[] = {QStringLiteral("H"), QStringLiteral("風景 群組1 #4B7AD3"),
                              QStringLiteral("landscape.jpg  group 4  #AF1E1E"),
                              QString(300, QChar(u'綠'))};
    std::vector<QRect> inks;
    for (const QString& label : labels) {
        SCOPED_TRACE(label.toStdString());
        const Sheet with = Blank(sheet, label);
        const QRect ink = LabelInk(with, none);
        ASSERT_FALSE(ink.isEmpty());
        EXPECT_GE(ink.top(), m + 500);
        // Clear of every mark, by a pixel or more.
        const QRect around = ink.adjusted(-2, -2, 2, 2);
        for (int y = around.top(); y <= around.bottom(); ++y)
            for (int x = around.left(); x <= around.right(); ++x)
                ASSERT_FALSE(none.Black(x, y)) << x << "," << y;
        inks.push_back(ink);
    }
    for (const QRect& ink : inks) {
        EXPECT_NEAR(ink.left(), inks[0].left(), 2);
        EXPECT_NEAR(ink.center().y(), inks[1].center().y(), inks[1].height() / 4.0);
    }
    // Different Chinese letters, different glyphs: no missing-glyph boxes.
    const Sheet a = Blank(sheet, QStringLiteral("群組")), b = Blank(sheet, QStringLiteral("綠色"));
    EXPECT_NE(a.rows, b.rows);
}

}  // namespace
}  // namespace colorsplit
