#include "core/delta_e.h"

#include <cmath>
#include <numbers>

namespace colorsplit {

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

// sRGB's primaries to XYZ; each row's sum is the white, so grey lands on the neutral axis.
constexpr double kToXyz[3][3] = {
    {0.4124564, 0.3575761, 0.1804375},
    {0.2126729, 0.7151522, 0.0721750},
    {0.0193339, 0.1191920, 0.9503041},
};

double Linear(std::int32_t v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double LabCurve(double t) {
    constexpr double e = 6.0 / 29.0;
    return t > e * e * e ? std::cbrt(t) : t / (3 * e * e) + 4.0 / 29.0;
}

double Sin(double degrees) {
    return std::sin(degrees / kDegrees);
}

double Cos(double degrees) {
    return std::cos(degrees / kDegrees);
}

// The hue angle in degrees, 0 to 360; 0 for a neutral colour.
double Hue(double b, double a) {
    if (a == 0 && b == 0)
        return 0;
    const double h = std::atan2(b, a) * kDegrees;
    return h < 0 ? h + 360 : h;
}

}  // namespace

Lab LabOf(TColor c) {
    const double rgb[3] = {Linear(RedOf(c)), Linear(GreenOf(c)), Linear(BlueOf(c))};
    double f[3];
    for (int i = 0; i < 3; ++i) {
        const double* row = kToXyz[i];
        const double white = row[0] + row[1] + row[2];
        f[i] = LabCurve((row[0] * rgb[0] + row[1] * rgb[1] + row[2] * rgb[2]) / white);
    }
    return {116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
}

double DeltaE2000(const Lab& x, const Lab& y) {
    // The steps and names of the CIE's own statement of the formula.
    const double pow25To7 = 6103515625.0;  // 25^7
    const double cBar = (std::hypot(x.a, x.b) + std::hypot(y.a, y.b)) / 2;
    const double cBar7 = std::pow(cBar, 7);
    const double g = 0.5 * (1 - std::sqrt(cBar7 / (cBar7 + pow25To7)));
    const double a1 = (1 + g) * x.a;
    const double a2 = (1 + g) * y.a;
    const double c1 = std::hypot(a1, x.b);
    const double c2 = std::hypot(a2, y.b);
    const double h1 = Hue(x.b, a1);
    const double h2 = Hue(y.b, a2);

    const double dL = y.L - x.L;
    const double dC = c2 - c1;
    // Hue differences and means go the short way round; a neutral colour has no hue to count.
    double dh = 0;
    double hBar = h1 + h2;
    if (c1 * c2 != 0) {
        dh = h2 - h1;
        if (dh > 180)
            dh -= 360;
        else if (dh < -180)
            dh += 360;
        if (std::fabs(h1 - h2) <= 180)
            hBar = (h1 + h2) / 2;
        else if (h1 + h2 < 360)
            hBar = (h1 + h2 + 360) / 2;
        else
            hBar = (h1 + h2 - 360) / 2;
    }
    const double dH = 2 * std::sqrt(c1 * c2) * Sin(dh / 2);

    const double lBar = (x.L + y.L) / 2;
    const double cBarPrime = (c1 + c2) / 2;
    const double t = 1 - 0.17 * Cos(hBar - 30) + 0.24 * Cos(2 * hBar) + 0.32 * Cos(3 * hBar + 6) -
                     0.20 * Cos(4 * hBar - 63);
    const double dTheta = 30 * std::exp(-std::pow((hBar - 275) / 25, 2));
    const double cBarPrime7 = std::pow(cBarPrime, 7);
    const double rC = 2 * std::sqrt(cBarPrime7 / (cBarPrime7 + pow25To7));
    const double l50 = (lBar - 50) * (lBar - 50);
    const double sL = 1 + 0.015 * l50 / std::sqrt(20 + l50);
    const double sC = 1 + 0.045 * cBarPrime;
    const double sH = 1 + 0.015 * cBarPrime * t;
    const double rT = -Sin(2 * dTheta) * rC;

    const double l = dL / sL;
    const double c = dC / sC;
    const double h = dH / sH;
    return std::sqrt(l * l + c * c + h * h + rT * c * h);
}

InkTable::InkTable(std::vector<Ink> inks) : inks_(std::move(inks)) {
    labs_.reserve(inks_.size());
    for (const Ink& ink : inks_)
        labs_.push_back(LabOf(ink.colour));
}

InkMatch InkTable::Nearest(TColor c) const {
    const Lab lab = LabOf(c);
    InkMatch best;
    for (size_t i = 0; i < labs_.size(); ++i) {
        const double d = DeltaE2000(lab, labs_[i]);
        if (best.index < 0 || d < best.deltaE)
            best = {static_cast<int>(i), d};
    }
    return best;
}

}  // namespace colorsplit
