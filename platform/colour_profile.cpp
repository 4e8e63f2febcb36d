#include "platform/colour_profile.h"

#include <lcms2.h>

#include <cstdint>

#include <QtEndian>
#include <cmath>
#include <vector>

namespace colorsplit {

namespace {

// Format_RGB32's words as Little CMS names their bytes.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr cmsUInt32Number kWords = TYPE_BGRA_8;
#else
constexpr cmsUInt32Number kWords = TYPE_ARGB_8;
#endif
constexpr cmsUInt32Number kIntent = INTENT_RELATIVE_COLORIMETRIC;
constexpr cmsUInt32Number kFlags = cmsFLAGS_BLACKPOINTCOMPENSATION;

struct ProfileClose {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileClose>;

QString Description(cmsHPROFILE profile) {
    const cmsUInt32Number bytes =
        cmsGetProfileInfo(profile, cmsInfoDescription, "en", "US", nullptr, 0);
    if (bytes == 0)
        return {};
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, 0);
    cmsGetProfileInfo(profile, cmsInfoDescription, "en", "US", text.data(), bytes);
    return QString::fromWCharArray(text.data()).trimmed();
}

bool Near(const cmsCIEXYZ& a, const cmsCIEXYZ& b, double within) {
    return std::abs(a.X - b.X) <= within && std::abs(a.Y - b.Y) <= within &&
           std::abs(a.Z - b.Z) <= within;
}

// sRGB as Little CMS makes it: its colorants, and its curve turned back, from light to levels.
struct Srgb {
    cmsCIEXYZ colorants[3];
    cmsToneCurve* levels;

    Srgb() {
        const Profile srgb(cmsCreate_sRGBProfile());
        const cmsTagSignature tags[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                        cmsSigBlueColorantTag};
        for (int c = 0; c < 3; ++c)
            colorants[c] = *static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), tags[c]));
        levels = cmsReverseToneCurve(
            static_cast<const cmsToneCurve*>(cmsReadTag(srgb.get(), cmsSigRedTRCTag)));
    }
};

// Whether the profile's source white is D65: the adaptation to the PCS's D50 takes D65 there;
// without one, the white point tag is D65, or in a version 2 profile D50, which those wrote
// for the PCS's white whatever the source's.
bool WhiteIsD65(cmsHPROFILE profile) {
    const cmsCIEXYZ d65{0.95047, 1.0, 1.08883};
    const auto* chad =
        static_cast<const cmsFloat64Number*>(cmsReadTag(profile, cmsSigChromaticAdaptationTag));
    if (chad != nullptr) {
        const double v[3] = {d65.X, d65.Y, d65.Z};
        cmsCIEXYZ adapted{};
        double* out[3] = {&adapted.X, &adapted.Y, &adapted.Z};
        for (int r = 0; r < 3; ++r)
            *out[r] = chad[3 * r] * v[0] + chad[3 * r + 1] * v[1] + chad[3 * r + 2] * v[2];
        return Near(adapted, *cmsD50_XYZ(), 0.002);
    }
    const auto* white =
        static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigMediaWhitePointTag));
    return white != nullptr && (Near(*white, d65, 0.002) || (cmsGetProfileVersion(profile) < 4 &&
                                                             Near(*white, *cmsD50_XYZ(), 0.002)));
}

// Whether an RGB profile describes sRGB, from what it holds rather than what it is called:
// matrix and curves, no tables; sRGB's colorants (within what moves no level by half); a D65
// white; and curves that take every 8-bit level to sRGB's light for it.
bool DescribesSrgb(cmsHPROFILE profile) {
    if (!cmsIsMatrixShaper(profile) || cmsIsCLUT(profile, kIntent, LCMS_USED_AS_INPUT))
        return false;
    static const Srgb srgb;
    const cmsTagSignature colorants[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                         cmsSigBlueColorantTag};
    const cmsTagSignature curves[] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, colorants[c]));
        if (xyz == nullptr || !Near(*xyz, srgb.colorants[c], 0.002))
            return false;
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
        if (curve == nullptr)
            return false;
        for (int level = 0; level < 256; ++level) {
            const float light = cmsEvalToneCurveFloat(curve, static_cast<float>(level) / 255);
            if (std::abs(cmsEvalToneCurveFloat(srgb.levels, light) * 255 - level) >= 0.5f)
                return false;
        }
    }
    return WhiteIsD65(profile);
}

// H.273's transfer characteristics as curves from levels to light; none for those that are
// not a display's (PQ, HLG, logarithmic).
cmsToneCurve* TransferCurve(int transfer) {
    // Type 4: (aX + b)^g from X = d on, cX below.
    const auto piecewise = [](double g, double a, double b, double c, double d) {
        const cmsFloat64Number p[] = {g, a, b, c, d};
        return cmsBuildParametricToneCurve(nullptr, 4, p);
    };
    switch (transfer) {
        case 2:  // unspecified: taken as sRGB's, as for a file that says nothing
        case 13:
            return piecewise(2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045);
        case 1:
        case 6:
        case 14:
        case 15:
            return piecewise(1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081);
        case 7:
            return piecewise(1 / 0.45, 1 / 1.1115, 0.1115 / 1.1115, 1 / 4.0, 0.0913);
        case 4:
            return cmsBuildGamma(nullptr, 2.2);
        case 5:
            return cmsBuildGamma(nullptr, 2.8);
        case 8:
            return cmsBuildGamma(nullptr, 1.0);
        default:
            return nullptr;
    }
}

QString NclxName(const StoredColours::Nclx& nclx) {
    const auto name = [](int code, std::initializer_list<std::pair<int, const char*>> names) {
        for (const auto& [c, n] : names)
            if (c == code)
                return QString::fromLatin1(n);
        return QString::number(code);
    };
    return QStringLiteral("nclx %1 / %2")
        .arg(name(nclx.primaries, {{1, "BT.709"},
                                   {2, "BT.709"},
                                   {4, "BT.470 M"},
                                   {5, "BT.470 BG"},
                                   {6, "BT.601"},
                                   {7, "SMPTE 240M"},
                                   {9, "BT.2020"},
                                   {11, "DCI-P3"},
                                   {12, "Display P3"},
                                   {22, "EBU 3213"}}),
             name(nclx.transfer, {{1, "BT.709"},
                                  {2, "sRGB"},
                                  {4, "gamma 2.2"},
                                  {5, "gamma 2.8"},
                                  {6, "BT.601"},
                                  {7, "SMPTE 240M"},
                                  {8, "linear"},
                                  {13, "sRGB"},
                                  {14, "BT.2020"},
                                  {15, "BT.2020"},
                                  {16, "PQ"},
                                  {18, "HLG"}}));
}

// The RGB profile an nclx describes; none when its primaries or transfer are not known.
Profile NclxProfile(const StoredColours::Nclx& nclx) {
    // Unspecified primaries are sRGB's, BT.709's.
    static const float bt709[8] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, 0.3127f, 0.3290f};
    // H.273 gives them to four decimals; libheif, as floats.
    double xy[8];
    for (int i = 0; i < 8; ++i) {
        xy[i] = std::round((nclx.primaries == 2 ? bt709 : nclx.xy)[i] * 1e4) / 1e4;
        if (!(xy[i] > 0 && xy[i] < 1))
            return nullptr;
    }
    cmsToneCurve* curve = TransferCurve(nclx.transfer);
    if (curve == nullptr)
        return nullptr;
    const cmsCIExyY white{xy[6], xy[7], 1};
    const cmsCIExyYTRIPLE primaries{{xy[0], xy[1], 1}, {xy[2], xy[3], 1}, {xy[4], xy[5], 1}};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const Profile made(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    // Through its bytes, with their rounding: the pixels as the same profile embedded gives.
    cmsUInt32Number size = 0;
    if (!made || !cmsSaveProfileToMem(made.get(), nullptr, &size))
        return nullptr;
    std::vector<char> bytes(size);
    if (!cmsSaveProfileToMem(made.get(), bytes.data(), &size))
        return nullptr;
    return Profile(cmsOpenProfileFromMem(bytes.data(), size));
}

// Whether a profile can turn these samples into colours: one of their colour space, of a
// device (not a link, an abstract or a named-colour profile).
bool Suits(cmsHPROFILE profile, StoredColours::Samples samples) {
    // As the file's 32 bits: a file may say anything there, and an enum holding a value none
    // of its names has is undefined.
    const std::uint32_t kind = cmsGetDeviceClass(profile);
    if (kind == cmsSigLinkClass || kind == cmsSigAbstractClass || kind == cmsSigNamedColorClass)
        return false;
    const std::uint32_t space = cmsGetColorSpace(profile);
    switch (samples) {
        case StoredColours::Samples::kRgb:
            return space == cmsSigRgbData;
        case StoredColours::Samples::kGrey:
            return space == cmsSigGrayData;
        case StoredColours::Samples::kCmyk:
            return space == cmsSigCmykData;
    }
    return false;
}

}  // namespace

struct ColourConversion::Transform {
    cmsHTRANSFORM transform = nullptr;
    StoredColours::Samples samples = StoredColours::Samples::kRgb;
    // A grey profile's every level, as it converts: a table is exact and quicker.
    std::vector<QRgb> grey;

    ~Transform() {
        if (transform != nullptr)
            cmsDeleteTransform(transform);
    }
};

ColourConversion::ColourConversion(const StoredColours& colours, bool apply) {
    using Kind = ProfileUse::Kind;
    Profile profile;
    if (colours.damaged) {
        use_.kind = Kind::kBroken;
        return;
    }
    if (!colours.icc.isEmpty()) {
        profile.reset(cmsOpenProfileFromMem(colours.icc.constData(),
                                            static_cast<cmsUInt32Number>(colours.icc.size())));
        if (!profile) {
            use_.kind = Kind::kBroken;
            return;
        }
        use_.description = Description(profile.get());
    } else if (colours.nclx) {
        use_.description = NclxName(*colours.nclx);
        profile = NclxProfile(*colours.nclx);
        if (!profile) {
            use_.kind = Kind::kUnsuitable;
            return;
        }
    } else {
        return;
    }
    if (!Suits(profile.get(), colours.samples)) {
        use_.kind = Kind::kUnsuitable;
        return;
    }
    if (colours.samples == StoredColours::Samples::kRgb && DescribesSrgb(profile.get())) {
        use_.kind = Kind::kSrgb;
        return;
    }
    const Profile srgb(cmsCreate_sRGBProfile());
    auto made = std::make_unique<Transform>();
    made->samples = colours.samples;
    switch (colours.samples) {
        case StoredColours::Samples::kRgb:
            // Alpha copied: the words stay opaque.
            made->transform = cmsCreateTransform(profile.get(), kWords, srgb.get(), kWords, kIntent,
                                                 kFlags | cmsFLAGS_COPY_ALPHA);
            break;
        case StoredColours::Samples::kGrey:
            made->transform = cmsCreateTransform(profile.get(), TYPE_GRAY_8, srgb.get(), TYPE_RGB_8,
                                                 kIntent, kFlags);
            if (made->transform != nullptr) {
                std::uint8_t levels[256], rgb[256 * 3];
                for (int v = 0; v < 256; ++v)
                    levels[v] = static_cast<std::uint8_t>(v);
                cmsDoTransform(made->transform, levels, rgb, 256);
                for (int v = 0; v < 256; ++v)
                    made->grey.push_back(qRgb(rgb[3 * v], rgb[3 * v + 1], rgb[3 * v + 2]));
            }
            break;
        case StoredColours::Samples::kCmyk:
            made->transform =
                cmsCreateTransform(profile.get(), TYPE_CMYK_8, srgb.get(), kWords, kIntent, kFlags);
            break;
    }
    // Readable, but lacking what a conversion needs (tags, tables): as broken as unreadable.
    // Made also when turned off, so that the window says the same of a profile either way.
    if (made->transform == nullptr) {
        use_.kind = Kind::kBroken;
        return;
    }
    use_.kind = apply ? Kind::kApplied : Kind::kOff;
    if (apply)
        transform_ = std::move(made);
}

ColourConversion::~ColourConversion() = default;

bool ColourConversion::ConvertsPixels() const {
    return transform_ && transform_->samples != StoredColours::Samples::kCmyk;
}

bool ColourConversion::ConvertsCmyk() const {
    return transform_ && transform_->samples == StoredColours::Samples::kCmyk;
}

void ColourConversion::Convert(const QImage& in, QImage& out) const {
    if (!ConvertsPixels())
        return;
    // out first: making it writable may part it from in, which then still holds the pixels.
    uchar* to = out.bits();
    const uchar* from = in.constBits();
    if (transform_->samples == StoredColours::Samples::kGrey) {
        for (int y = 0; y < in.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(from + y * in.bytesPerLine());
            auto* converted = reinterpret_cast<QRgb*>(to + y * out.bytesPerLine());
            for (int x = 0; x < in.width(); ++x)
                converted[x] = transform_->grey[static_cast<size_t>(qGreen(row[x]))];
        }
        return;
    }
    cmsDoTransformLineStride(
        transform_->transform, from, to, static_cast<cmsUInt32Number>(in.width()),
        static_cast<cmsUInt32Number>(in.height()), static_cast<cmsUInt32Number>(in.bytesPerLine()),
        static_cast<cmsUInt32Number>(out.bytesPerLine()), 0, 0);
}

void ColourConversion::ConvertCmyk(const std::uint8_t* cmyk, int width, std::uint32_t* out) const {
    if (!ConvertsCmyk())
        return;
    cmsDoTransform(transform_->transform, cmyk, out, static_cast<cmsUInt32Number>(width));
    // The fourth byte is left as it was: K, where the conversion is in place.
    for (int x = 0; x < width; ++x)
        out[x] |= 0xFF000000u;
}

}  // namespace colorsplit
