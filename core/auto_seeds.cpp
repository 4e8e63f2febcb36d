#include "core/auto_seeds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <thread>

#include "core/quantizer.h"

namespace colorsplit {

namespace {

// Pixels are counted in cells of 8 levels a channel, each cell's pixels standing at their mean
// colour: close enough to choose where the groups start (execute then settles them on the pixels
// themselves), and 32768 cells stay in the cache. A picture of fewer occupied cells than groups
// is taken colour by colour instead.
constexpr int kCellBits = 5;
constexpr int kCells = 1 << (3 * kCellBits);
// k-means++ is a lottery: the best of several draws, each settled by Lloyd's iterations.
constexpr int kDraws = 10;
constexpr int kMostIterations = 100;
// Fixed, so that every run draws the same.
constexpr std::uint64_t kDrawSeed = 20261208;

struct Cell {
    // 1280 x 960 pixels of 255 stay below 2^32.
    std::uint32_t n = 0, r = 0, g = 0, b = 0;
};

// A cell's pixels, or one colour's, at their mean colour.
struct Point {
    double r, g, b, weight;
};

struct Centre {
    double r, g, b;
};

double Distance(const Point& p, const Centre& c) {
    const double dr = p.r - c.r, dg = p.g - c.g, db = p.b - c.b;
    return dr * dr + dg * dg + db * db;
}

int Nearest(const Point& p, const std::vector<Centre>& centres, double& distance) {
    int best = 0;
    distance = Distance(p, centres[0]);
    for (size_t i = 1; i < centres.size(); ++i)
        if (const double d = Distance(p, centres[i]); d < distance) {
            distance = d;
            best = static_cast<int>(i);
        }
    return best;
}

// Rows [y0, y1) into cells.
void CountRows(const PictureAccess& picture, int w, int y0, int y1, std::vector<Cell>& cells) {
    const PictureAccess::ConstPixelRows rows = picture.ReadRows();
    const auto add = [&cells](std::int32_t r, std::int32_t g, std::int32_t b) {
        Cell& cell = cells[static_cast<size_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3))];
        ++cell.n;
        cell.r += static_cast<std::uint32_t>(r);
        cell.g += static_cast<std::uint32_t>(g);
        cell.b += static_cast<std::uint32_t>(b);
    };
    for (int y = y0; y < y1; ++y) {
        if (rows.pixels != nullptr) {
            const RowPixel* row = rows.pixels + y * rows.stride;
            for (int x = 0; x < w; ++x)
                add(RowRed(row[x]), RowGreen(row[x]), RowBlue(row[x]));
        } else {
            for (int x = 0; x < w; ++x) {
                const TColor c = picture.GetPixel(x, y);
                add(RedOf(c), GreenOf(c), BlueOf(c));
            }
        }
    }
}

// The picture's cells, a band of rows a thread. Whole-number sums do not mind the order they
// are added in, so the cells are the same for any number of threads.
std::vector<Cell> CountCells(const PictureAccess& picture, int w, int h, unsigned threads) {
    const int parts = static_cast<int>(std::clamp(threads, 1u, static_cast<unsigned>(h)));
    std::vector<std::vector<Cell>> counts(static_cast<size_t>(parts), std::vector<Cell>(kCells));
    const auto band = [&](int part) {
        CountRows(picture, w, h * part / parts, h * (part + 1) / parts,
                  counts[static_cast<size_t>(part)]);
    };
    {
        std::vector<std::jthread> helpers;
        for (int part = 1; part < parts; ++part)
            helpers.emplace_back(band, part);
        band(0);
    }
    for (int part = 1; part < parts; ++part)
        for (int i = 0; i < kCells; ++i) {
            const Cell& from = counts[static_cast<size_t>(part)][static_cast<size_t>(i)];
            Cell& to = counts[0][static_cast<size_t>(i)];
            to.n += from.n;
            to.r += from.r;
            to.g += from.g;
            to.b += from.b;
        }
    return std::move(counts[0]);
}

// Every colour of the picture with its pixels, for one of very few cells.
std::vector<Point> ColourPoints(const PictureAccess& picture, int w, int h) {
    std::vector<std::uint32_t> colours;
    colours.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            colours.push_back(static_cast<std::uint32_t>(picture.GetPixel(x, y)) & 0xFFFFFFu);
    std::sort(colours.begin(), colours.end());
    std::vector<Point> points;
    for (size_t i = 0; i < colours.size();) {
        size_t j = i;
        while (j < colours.size() && colours[j] == colours[i])
            ++j;
        const auto c = static_cast<TColor>(colours[i]);
        points.push_back({static_cast<double>(RedOf(c)), static_cast<double>(GreenOf(c)),
                          static_cast<double>(BlueOf(c)), static_cast<double>(j - i)});
        i = j;
    }
    return points;
}

// A number drawn evenly from [0, 1), the same on every standard library.
double Draw(std::mt19937_64& rng) {
    return static_cast<double>(rng() >> 11) * 0x1.0p-53;
}

// k-means++'s choice: centres after the fixed ones, each a point drawn with odds of its weight
// times its squared distance to the nearest centre so far. It stops early when every point
// lies on a centre.
std::vector<Centre> Choose(const std::vector<Point>& points, std::vector<Centre> centres,
                           size_t count, std::mt19937_64& rng) {
    std::vector<double> nearest(points.size(), std::numeric_limits<double>::infinity());
    const auto closer = [&](const Centre& c) {
        for (size_t i = 0; i < points.size(); ++i)
            nearest[i] = std::min(nearest[i], Distance(points[i], c));
    };
    for (const Centre& c : centres)
        closer(c);
    while (centres.size() < count) {
        double total = 0;
        for (size_t i = 0; i < points.size(); ++i)
            total += points[i].weight * (centres.empty() ? 1.0 : nearest[i]);
        if (total <= 0)
            break;
        const double target = Draw(rng) * total;
        size_t chosen = 0;
        double sum = 0;
        for (size_t i = 0; i < points.size(); ++i) {
            const double odds = points[i].weight * (centres.empty() ? 1.0 : nearest[i]);
            if (odds <= 0)
                continue;
            chosen = i;
            sum += odds;
            if (sum > target)
                break;
        }
        const Point& p = points[chosen];
        centres.push_back({p.r, p.g, p.b});
        closer(centres.back());
    }
    return centres;
}

// Lloyd's iterations until no point changes its centre; the fixed centres do not move, and a
// centre left without points stays where it is. Returns the weighted squared error.
double Settle(const std::vector<Point>& points, std::vector<Centre>& centres, size_t fixed) {
    std::vector<int> owner(points.size(), -1);
    for (int iteration = 0; iteration < kMostIterations; ++iteration) {
        std::vector<Point> sums(centres.size(), Point{0, 0, 0, 0});
        bool moved = false;
        for (size_t i = 0; i < points.size(); ++i) {
            double d = 0;
            const int c = Nearest(points[i], centres, d);
            moved = moved || c != owner[i];
            owner[i] = c;
            Point& s = sums[static_cast<size_t>(c)];
            s.r += points[i].r * points[i].weight;
            s.g += points[i].g * points[i].weight;
            s.b += points[i].b * points[i].weight;
            s.weight += points[i].weight;
        }
        if (!moved)
            break;
        for (size_t c = fixed; c < centres.size(); ++c)
            if (sums[c].weight > 0)
                centres[c] = {sums[c].r / sums[c].weight, sums[c].g / sums[c].weight,
                              sums[c].b / sums[c].weight};
    }
    double error = 0;
    for (const Point& p : points) {
        double d = 0;
        Nearest(p, centres, d);
        error += p.weight * d;
    }
    return error;
}

std::int32_t Level(double v) {
    return static_cast<std::int32_t>(std::clamp(std::lround(v), 0l, 255l));
}

}  // namespace

std::vector<TColor> AutoSeeds(const PictureAccess& picture, const std::vector<TColor>& picked,
                              int count, unsigned threads) {
    const int w = Quantizer::ClampedWidth(picture);
    const int h = Quantizer::ClampedHeight(picture);
    if (w == 0 || h == 0 || count <= static_cast<int>(picked.size()))
        return {};
    const auto wanted = static_cast<size_t>(count);

    std::vector<Point> points;
    for (const Cell& cell : CountCells(picture, w, h, threads))
        if (cell.n > 0)
            points.push_back({static_cast<double>(cell.r) / cell.n,
                              static_cast<double>(cell.g) / cell.n,
                              static_cast<double>(cell.b) / cell.n, static_cast<double>(cell.n)});
    if (points.size() < wanted)
        points = ColourPoints(picture, w, h);

    std::vector<Centre> fixed;
    for (const TColor c : picked)
        fixed.push_back({static_cast<double>(RedOf(c)), static_cast<double>(GreenOf(c)),
                         static_cast<double>(BlueOf(c))});
    std::mt19937_64 rng(kDrawSeed);
    std::vector<Centre> best;
    double bestError = std::numeric_limits<double>::infinity();
    for (int draw = 0; draw < kDraws; ++draw) {
        std::vector<Centre> centres = Choose(points, fixed, wanted, rng);
        const double error = Settle(points, centres, fixed.size());
        // The first of equally good draws.
        if (error < bestError) {
            bestError = error;
            best = std::move(centres);
        }
    }
    std::vector<TColor> seeds;
    for (size_t c = fixed.size(); c < best.size(); ++c)
        seeds.push_back(PackColor(Level(best[c].r), Level(best[c].g), Level(best[c].b)));
    return seeds;
}

}  // namespace colorsplit
