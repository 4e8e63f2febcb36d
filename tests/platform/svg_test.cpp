// The SVG files of a grouping, judged by librsvg: rsvg-convert renders them, and the pixels are
// compared with the quantised picture's; the structure is read back as XML.
#include "platform/svg_writer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <random>
#include <string>

#include "support/photo.h"

namespace colorsplit {
namespace {

const std::vector<TColor> kColours = {PackColor(200, 30, 40), PackColor(20, 120, 230),
                                      PackColor(250, 220, 90), PackColor(10, 10, 10)};

// STEM-groups.svg, then each group's file.
std::vector<std::string> Write(const GroupMap& map, const std::vector<TColor>& colours,
                               double tolerance) {
    std::vector<std::string> files(colours.size() + 1);
    std::vector<SvgOut> outs;
    for (std::string& f : files)
        outs.push_back([&f](const char* data, std::size_t n) { f.append(data, n); });
    EXPECT_TRUE(WriteShapes(Tracing(map, static_cast<int>(colours.size()), tolerance), colours,
                            PageAt(map.Width(), map.Height()), outs[0],
                            {outs.begin() + 1, outs.end()}));
    return files;
}

// The file as rsvg-convert draws it, scale pixels to a picture's pixel each way.
QImage Render(const std::string& svg, const GroupMap& map, int scale) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("shapes.svg")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(svg.data(), static_cast<qint64>(svg.size()));
    file.close();
    const QString png = dir.filePath(QStringLiteral("shapes.png"));
    QProcess rsvg;
    rsvg.start(QStringLiteral(COLORSPLIT_RSVG_CONVERT),
               {QStringLiteral("-w"), QString::number(map.Width() * scale), QStringLiteral("-h"),
                QString::number(map.Height() * scale), QStringLiteral("-o"), png, file.fileName()});
    EXPECT_TRUE(rsvg.waitForFinished(60000) && rsvg.exitCode() == 0)
        << rsvg.readAllStandardError().toStdString();
    return QImage(png).convertToFormat(QImage::Format_ARGB32);
}

QRgb Rgb(TColor c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

class SvgTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(COLORSPLIT_RSVG_CONVERT).empty())
            GTEST_SKIP() << "rsvg-convert was not found when the build was configured "
                            "(Debian's librsvg2-bin): the SVG files are not rendered";
    }
};

// Without smoothing every pixel is drawn in its group's colour, at 1:1 and 4x, none left; a
// group's own file draws its pixels alone and holds the path of its layer.
TEST_F(SvgTest, PixelExactWithoutSmoothing) {
    std::mt19937 rng(1);
    GroupMap noise(37, 29);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 37; ++x)
            noise.Set(x, y, static_cast<int>(rng() % 4));
    for (const GroupMap& map : {noise, test::PhotoGroups(160, 120, 3)}) {
        const std::vector<std::string> files = Write(map, kColours, 0);
        for (const int scale : {1, 4}) {
            const QImage image = Render(files[0], map, scale);
            ASSERT_EQ(image.size(), QSize(map.Width() * scale, map.Height() * scale));
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    ASSERT_EQ(image.pixel(x, y),
                              Rgb(kColours[static_cast<size_t>(map.At(x / scale, y / scale))]))
                        << x << "," << y << " at scale " << scale;
        }
        for (int g = 0; g < 4; ++g) {
            const std::string& one = files[static_cast<size_t>(g) + 1];
            const QImage image = Render(one, map, 1);
            for (int y = 0; y < map.Height(); ++y)
                for (int x = 0; x < map.Width(); ++x) {
                    const QRgb p = image.pixel(x, y);
                    ASSERT_TRUE(map.At(x, y) == g ? p == Rgb(kColours[static_cast<size_t>(g)])
                                                  : qAlpha(p) == 0)
                        << x << "," << y << " alone in group " << g;
                }
            const auto d = one.find(" d=\"");
            EXPECT_NE(files[0].find(one.substr(d, one.find('"', d + 4) - d)), std::string::npos);
        }
    }
}

// Smoothed by default, photo-like groups: no pixel is left uncovered, and at least 98.5 % keep
// their colour, at 1:1 and at 4x. At 1:1 librsvg's cairo (1.16, drawing without antialiasing)
// fills every one-pixel gap of a path's row once the path has a slanted edge: a span ends only
// where the next edge lies more than a pixel further. The shapes themselves keep every pixel
// (trace_test), so each pixel that differs at 1:1 must be such a gap: its neighbours left and
// right both of the group whose colour it shows.
TEST_F(SvgTest, SmoothedCoversAndKeepsThePicture) {
    // Whether 98.5 % is held at 1:1 too: not on seed 4's grainy groups, three close greens.
    for (const auto& [seed, share] : {std::pair{5u, true}, {2u, true}, {4u, false}}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::vector<TColor> colours;
        const GroupMap map = test::PhotoGroups(240, 180, seed, &colours);
        const std::string svg = Write(map, colours, kDefaultSmoothing)[0];
        for (const int scale : {1, 4}) {
            const QImage image = Render(svg, map, scale);
            qint64 equal = 0, uncovered = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb shown = image.pixel(x, y);
                    const int px = x / scale, py = y / scale, g = map.At(px, py);
                    uncovered += qAlpha(shown) != 255;
                    if (shown == Rgb(colours[static_cast<size_t>(g)])) {
                        ++equal;
                    } else if (scale == 1) {
                        const bool gap =
                            px > 0 && px + 1 < map.Width() &&
                            map.At(px - 1, py) == map.At(px + 1, py) &&
                            shown == Rgb(colours[static_cast<size_t>(map.At(px - 1, py))]);
                        ASSERT_TRUE(gap) << "a pixel changed at " << x << "," << y;
                    }
                }
            if (scale == 4 || share) {
                EXPECT_GE(static_cast<double>(equal) / (image.width() * image.height()), 0.985)
                    << "scale " << scale;
            }
            EXPECT_EQ(uncovered, 0) << "scale " << scale;
        }
    }
}

// The page in millimetres at 300 dpi with its viewBox in pixels, drawn without antialiasing;
// a layer a group, labelled with its number and colour, holding one even-odd path in it; and a
// stop asked for is kept to.
TEST(SvgStructureTest, LayersLabelsAndPage) {
    GroupMap map(4032, 3);
    map.Set(5, 1, 2);
    const Tracing tracing(map, 3, kDefaultSmoothing);
    const std::vector<TColor> colours(kColours.begin(), kColours.begin() + 3);
    std::string all;
    ASSERT_TRUE(WriteShapes(tracing, colours, PageAt(4032, 3),
                            [&](const char* d, std::size_t n) { all.append(d, n); }, {}));
    QXmlStreamReader xml(QByteArray::fromStdString(all));
    const QString inkscape = QStringLiteral("http://www.inkscape.org/namespaces/inkscape");
    QStringList seen;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            const QXmlStreamAttributes a = xml.attributes();
            QString line = xml.name().toString() + ":";
            for (const char* name : {"width", "height", "viewBox", "shape-rendering", "groupmode",
                                     "label", "fill", "fill-rule"})
                line += (a.hasAttribute(inkscape, name) ? a.value(inkscape, name) : a.value(name))
                            .toString();
            seen << line;
        }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(seen.join('|').toStdString(),
              "svg:341.376mm0.254mm0 0 4032 3crispEdges|g:layergroup1 #C81E28|path:#C81E28evenodd|"
              "g:layergroup2 #1478E6|path:#1478E6evenodd|g:layergroup3 #FADC5A|"
              "path:#FADC5Aevenodd");
    EXPECT_FALSE(WriteShapes(
        tracing, colours, PageAt(4032, 3), [](const char*, std::size_t) {}, {},
        [](std::int64_t done, std::int64_t) { return done < 4; }));
}

}  // namespace
}  // namespace colorsplit
