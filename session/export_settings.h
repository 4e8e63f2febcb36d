#pragma once

#include <QJsonObject>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include "core/trace.h"

namespace colorsplit {

// How an export makes its files beyond the groups themselves: what a print shop or a cutter
// needs. The defaults change nothing, so an export with them writes what it always wrote. They
// act on the export's grouping only: the table, 執行, its log, MASK, the mean colour and save
// never see them.
struct ExportSettings {
    // 清除雜點: regions of one group smaller than this many pixels of the full-size picture
    // join a neighbouring group; 0 is off.
    qint64 minRegion = 0;
    int connectivity = 4;  // 4 or 8
    // 抖動: each pixel's group chosen by error diffusion among the groups' colours instead of
    // the nearest. Cleanup would erase its dots, so the two exclude each other.
    bool dither = false;
    // 補漏白: how far a lighter group's film spreads into darker groups, in pixels or, when
    // trapInMillimetres, in millimetres at the print size.
    double trap = 0;
    bool trapInMillimetres = false;
    // The print size: a resolution in dots an inch, or, when printWidthMm is not 0, the printed
    // width in millimetres, from which the resolution follows.
    double dpi = 300;
    double printWidthMm = 0;
    // Registration and crop marks and a label around every film.
    bool marks = false;
    bool pdf = false;  // STEM-films.pdf
    bool svg = false;  // STEM-groups.svg and STEM-groupN.svg
    double smooth = kDefaultSmoothing;
    // 以油墨顏色匯出: the quantised picture and the layers in the nearest inks' colours.
    bool inkColours = false;

    // The smoothing tolerance of the vectors in pixels; 0 traces the pixels' edges exactly.
    static constexpr double kDefaultSmoothing = colorsplit::kDefaultSmoothing;
    static constexpr double kMostSmoothing = 10;
    // Wider traps only blur the picture; a print shop's are a fraction of a millimetre.
    static constexpr int kMostTrapPixels = 64;
    static constexpr double kLeastDpi = 1;
    static constexpr double kMostDpi = 10000;
    // The margin around a marked film, for its marks and label.
    static constexpr double kMarginMm = 10;

    // The resolution a picture this many pixels wide prints at.
    double Resolution(int width) const;
    // The trap in whole pixels at that resolution.
    int TrapPixels(int width) const;
    // Each group's printed area, in square centimetres, of this many pixels.
    double AreaCm2(qint64 pixels, int width) const;
    // Whether the export needs every pixel's group at once (a map) before it writes.
    bool NeedsMap() const;
    // Whether the groups differ from the nearest code vector's: what 顯示分群結果 and the
    // statistics show, as the export will write them.
    bool ChangesGroups() const { return minRegion > 0 || dither; }
    // Throws PictureError (an export refused) naming the first setting that cannot be used for
    // a picture of this size; nothing is written then.
    void Check(QSize size) const;

    // As the window remembers them; what is missing or out of range stays at its default.
    QJsonObject ToJson() const;
    static ExportSettings FromJson(const QJsonObject& json);

    bool operator==(const ExportSettings&) const = default;
};

// The settings a PictureError of kind kBadSetting names (its a).
enum class ExportSetting { kMinRegion, kConnectivity, kCleanupAndDither, kTrap, kDpi, kSmooth };

}  // namespace colorsplit
