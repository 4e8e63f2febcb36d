#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

// Colour management, for every format in one place: a decoder reports what its file says of
// its colours, and ColourConversion turns the decoded pixels into sRGB through Little CMS.

namespace colorsplit {

// What a picture file says of its colours, as its decoder reads it with the headers. A file
// that says nothing is sRGB.
struct StoredColours {
    // The samples the file stores, which a profile must be made for.
    enum class Samples { kRgb, kGrey, kCmyk };
    Samples samples = Samples::kRgb;
    // The embedded ICC profile as stored; empty for none.
    QByteArray icc;
    // A profile is there but cannot even be taken out of the file (a JPEG's parts out of order,
    // a BMP's lying past the end).
    bool damaged = false;
    // HEIF's nclx instead of a profile: H.273's code points, and the primaries' and the white's
    // chromaticities (red, green, blue, white; x then y) as libheif decodes them.
    struct Nclx {
        int primaries = 2;
        int transfer = 2;
        float xy[8] = {};
    };
    std::optional<Nclx> nclx;
};

// What came of a file's profile on opening, for the window to say.
struct ProfileUse {
    enum class Kind {
        kNone,       // none: the pixels are sRGB as stored
        kSrgb,       // one that describes sRGB: the pixels as stored
        kApplied,    // converted to sRGB through it
        kOff,        // not applied: profiles are turned off
        kBroken,     // unreadable, ignored
        kUnsuitable  // readable, but not for these samples, or not a kind converted from
    };
    Kind kind = Kind::kNone;
    // The profile's description tag, or what names an nclx; may be empty.
    QString description;
};

// The conversion a file's colours ask for: relative colorimetric with black point
// compensation into sRGB, 8-bit results as Little CMS rounds them. Made once a file and then
// only read, so bands may be converted on any thread.
class ColourConversion {
public:
    // With apply false, or a profile that is sRGB, broken or unsuitable, nothing changes.
    ColourConversion(const StoredColours& colours, bool apply);
    ~ColourConversion();
    ColourConversion(const ColourConversion&) = delete;
    ColourConversion& operator=(const ColourConversion&) = delete;

    const ProfileUse& Use() const { return use_; }
    // Whether the RGB pixels decoders give change (RGB and grey profiles).
    bool ConvertsPixels() const;
    // Whether CMYK samples go through ConvertCmyk rather than the plain inks.
    bool ConvertsCmyk() const;

    // Format_RGB32 in into out, of in's size; out may be in. A grey picture's pixels are grey.
    void Convert(const QImage& in, QImage& out) const;
    // width pixels of C, M, Y, K (0 no ink) into 0xFFRRGGBB words; out may be cmyk.
    void ConvertCmyk(const std::uint8_t* cmyk, int width, std::uint32_t* out) const;

private:
    struct Transform;
    std::unique_ptr<Transform> transform_;
    ProfileUse use_;
};

}  // namespace colorsplit
