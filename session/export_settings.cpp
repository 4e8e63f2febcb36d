#include "session/export_settings.h"

#include <QJsonValue>
#include <cmath>

#include "platform/picture_error.h"

namespace colorsplit {

namespace {

constexpr double kMmPerInch = 25.4;

[[noreturn]] void Refuse(ExportSetting setting, const QString& value) {
    throw PictureError(PictureError::Action::kExport, {},
                       {Problem::kBadSetting, static_cast<qint64>(setting), 0, value});
}

}  // namespace

double ExportSettings::Resolution(int width) const {
    if (printWidthMm > 0 && width > 0)
        return width * kMmPerInch / printWidthMm;
    return dpi;
}

int ExportSettings::TrapPixels(int width) const {
    const double pixels = trapInMillimetres ? trap * Resolution(width) / kMmPerInch : trap;
    return static_cast<int>(std::lround(pixels));
}

double ExportSettings::AreaCm2(qint64 pixels, int width) const {
    const double cmPerPixel = kMmPerInch / 10 / Resolution(width);
    return static_cast<double>(pixels) * cmPerPixel * cmPerPixel;
}

bool ExportSettings::NeedsMap() const {
    return minRegion > 0 || trap > 0 || pdf || svg;
}

void ExportSettings::Check(QSize size) const {
    if (minRegion < 0)
        Refuse(ExportSetting::kMinRegion, QString::number(minRegion));
    if (connectivity != 4 && connectivity != 8)
        Refuse(ExportSetting::kConnectivity, QString::number(connectivity));
    if (minRegion > 0 && dither)
        Refuse(ExportSetting::kCleanupAndDither, {});
    const double resolution = Resolution(size.width());
    if (!(resolution >= kLeastDpi && resolution <= kMostDpi))
        Refuse(ExportSetting::kDpi, QString::number(resolution, 'g', 6));
    if (!(trap >= 0) || TrapPixels(size.width()) > kMostTrapPixels)
        Refuse(ExportSetting::kTrap, QString::number(trap, 'g', 6));
    if (!(smooth >= 0 && smooth <= kMostSmoothing))
        Refuse(ExportSetting::kSmooth, QString::number(smooth, 'g', 6));
}

QJsonObject ExportSettings::ToJson() const {
    return QJsonObject{
        {"minRegion", static_cast<double>(minRegion)},
        {"connectivity", connectivity},
        {"dither", dither},
        {"trap", trap},
        {"trapInMillimetres", trapInMillimetres},
        {"dpi", dpi},
        {"printWidthMm", printWidthMm},
        {"marks", marks},
        {"pdf", pdf},
        {"svg", svg},
        {"smooth", smooth},
        {"inkColours", inkColours},
    };
}

ExportSettings ExportSettings::FromJson(const QJsonObject& json) {
    ExportSettings s;
    const auto number = [&json](const char* key, double otherwise, double low, double high) {
        const double value = json.value(QLatin1String(key)).toDouble(otherwise);
        return value >= low && value <= high ? value : otherwise;
    };
    const auto flag = [&json](const char* key, bool otherwise) {
        return json.value(QLatin1String(key)).toBool(otherwise);
    };
    s.minRegion = static_cast<qint64>(number("minRegion", 0, 0, 1e12));
    s.connectivity = number("connectivity", 4, 4, 8) == 8 ? 8 : 4;
    s.dither = flag("dither", false) && s.minRegion == 0;
    s.trap = number("trap", 0, 0, kMostTrapPixels);
    s.trapInMillimetres = flag("trapInMillimetres", false);
    s.dpi = number("dpi", 300, kLeastDpi, kMostDpi);
    s.printWidthMm = number("printWidthMm", 0, 0, 1e6);
    s.marks = flag("marks", false);
    s.pdf = flag("pdf", false);
    s.svg = flag("svg", false);
    s.smooth = number("smooth", kDefaultSmoothing, 0, kMostSmoothing);
    s.inkColours = flag("inkColours", false);
    return s;
}

}  // namespace colorsplit
