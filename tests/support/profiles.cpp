#include "support/profiles.h"

#include <lcms2.h>
#include <png.h>
#include <webp/mux.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "support/bmp_builder.h"
#include "support/other_files.h"

namespace colorsplit::test {

namespace {

void Require(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}

Bytes Saved(cmsHPROFILE profile, const char* description) {
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    cmsUInt32Number size = 0;
    Require(cmsSaveProfileToMem(profile, nullptr, &size) != 0, "cmsSaveProfileToMem");
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Primaries (x, y of red, green, blue) and a white, D65 unless given; gamma, or sRGB's curve
// for 0.
cmsHPROFILE Rgb(const cmsCIExyYTRIPLE& primaries, double gamma,
                const cmsCIExyY& white = {0.3127, 0.3290, 1}) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsToneCurve* curve =
        gamma > 0 ? cmsBuildGamma(nullptr, gamma)
                  : cmsDupToneCurve(static_cast<cmsToneCurve*>(cmsReadTag(srgb, cmsSigRedTRCTag)));
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsCloseProfile(srgb);
    return profile;
}

const cmsCIExyYTRIPLE kAdobe{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};

// Plain inks, R = (1 - C)(1 - K) and so on, on paper that still reflects a tenth under all of
// them: black point compensation has work to do.
int CmykSampler(const cmsUInt16Number in[], cmsUInt16Number out[], void* toLab) {
    double rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] = 0.1 + 0.9 * (1 - in[c] / 65535.0) * (1 - in[3] / 65535.0);
    cmsCIELab lab;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(toLab), rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

cmsHPROFILE Cmyk() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile(), lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab =
        cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigInputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    // A, CLUT and B stages, which a lutAtoBType needs; relative colorimetric's own table too,
    // or its black point is taken as 0.
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 6, 4, 3, nullptr);
    cmsStageSampleCLut16bit(table, CmykSampler, toLab, 0);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, table);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsWriteTag(profile, cmsSigAToB1Tag, lut);
    cmsPipelineFree(lut);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    return profile;
}

void AppendBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

}  // namespace

Bytes Profile(Icc icc) {
    const cmsCIExyYTRIPLE srgb{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    switch (icc) {
        case Icc::kAdobeRgb:
            return Saved(Rgb(kAdobe, 563 / 256.0), "Adobe RGB (1998)");
        case Icc::kProPhoto:
            return Saved(Rgb({{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}}, 1.8,
                             *cmsD50_xyY()),
                         "ProPhoto RGB");
        case Icc::kGrey: {
            cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
            cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), curve);
            cmsFreeToneCurve(curve);
            return Saved(grey, "Gray Gamma 1.8");
        }
        case Icc::kCmyk:
            return Saved(Cmyk(), "Plain inks");
        case Icc::kSrgb:
            return Saved(cmsCreate_sRGBProfile(), "sRGB built-in");
        case Icc::kSrgbV2: {
            // Version 2 stores the curves as tables, and this white point with no adaptation.
            cmsHPROFILE profile = Rgb(srgb, 0);
            cmsSetProfileVersion(profile, 2.1);
            const cmsCIEXYZ d65{0.9505, 1.0, 1.0891};
            cmsWriteTag(profile, cmsSigMediaWhitePointTag, &d65);
            cmsWriteTag(profile, cmsSigChromaticAdaptationTag, nullptr);
            return Saved(profile, "sRGB IEC61966-2.1");
        }
        case Icc::kGamma22:
            return Saved(Rgb(srgb, 2.2), "sRGB 2.2");
        case Icc::kFalseSrgb:
            return Saved(Rgb(kAdobe, 0), "sRGB IEC61966-2.1");
        case Icc::kD50Srgb: {
            cmsHPROFILE profile = Rgb(srgb, 0);
            const cmsFloat64Number none[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
            cmsWriteTag(profile, cmsSigChromaticAdaptationTag, none);
            return Saved(profile, "sRGB D50");
        }
        case Icc::kDisplayP3:
            return Saved(Rgb({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, 0),
                         "Display P3");
    }
    return {};
}

Bytes BrokenProfile() {
    Bytes bytes = Profile(Icc::kAdobeRgb);
    // The tag table's offsets and sizes, beyond the end.
    std::memset(bytes.data() + 132, 0xEE, bytes.size() - 132);
    return bytes;
}

std::vector<std::uint32_t> ToSrgb(const Bytes& icc, const std::vector<std::uint8_t>& samples) {
    cmsHPROFILE in = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const cmsColorSpaceSignature space = cmsGetColorSpace(in);
    const size_t channels = space == cmsSigGrayData ? 1 : space == cmsSigCmykData ? 4 : 3;
    const cmsUInt32Number format = channels == 1   ? TYPE_GRAY_8
                                   : channels == 4 ? TYPE_CMYK_8
                                                   : TYPE_RGB_8;
    cmsHTRANSFORM t = cmsCreateTransform(in, format, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                         cmsFLAGS_BLACKPOINTCOMPENSATION);
    const size_t n = samples.size() / channels;
    Bytes rgb(3 * n);
    cmsDoTransform(t, samples.data(), rgb.data(), static_cast<cmsUInt32Number>(n));
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(srgb);
    std::vector<std::uint32_t> out;
    for (size_t i = 0; i < n; ++i)
        out.push_back(
            static_cast<std::uint32_t>(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]));
    return out;
}

Bytes Png8(int width, int height, bool grey, const std::vector<std::uint32_t>& rgb,
           const Bytes& icc, bool srgbChunk) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (srgbChunk)
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        Bytes row;
        for (int x = 0; x < width; ++x)
            for (int shift = grey ? 8 : 16; shift >= (grey ? 8 : 0); shift -= 8)
                row.push_back(static_cast<std::uint8_t>(rgb[size_t(y) * width + x] >> shift));
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (icc.empty())
        return out;
    // By hand, as given: libpng would check the profile first.
    uLongf size = compressBound(static_cast<uLong>(icc.size()));
    Bytes chunk = {'i', 'c', 'c', 0, 0};
    chunk.resize(5 + size);
    Require(compress(chunk.data() + 5, &size, icc.data(), icc.size()) == Z_OK, "compress");
    chunk.resize(5 + size);
    return WithChunk(out, "iCCP", chunk);
}

Bytes WithJpegIcc(const Bytes& jpeg, const Bytes& icc) {
    // One APP2 segment: "ICC_PROFILE\0", part 1 of 1, the profile.
    Bytes payload(14 + icc.size());
    std::memcpy(payload.data(), "ICC_PROFILE\0\1\1", 14);
    std::copy(icc.begin(), icc.end(), payload.begin() + 14);
    Bytes out = WithApp1(jpeg, payload);
    out[3] = 0xE2;
    return out;
}

Bytes WithWebPIcc(const Bytes& webp, const Bytes& icc) {
    const WebPData in{webp.data(), webp.size()}, profile{icc.data(), icc.size()};
    WebPMux* mux = WebPMuxCreate(&in, 1);
    WebPData data;
    WebPDataInit(&data);
    Require(WebPMuxSetChunk(mux, "ICCP", &profile, 1) == WEBP_MUX_OK &&
                WebPMuxAssemble(mux, &data) == WEBP_MUX_OK,
            "WebPMuxAssemble");
    Bytes out(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    WebPMuxDelete(mux);
    return out;
}

Bytes WithBmpIcc(const Bytes& bmp, const Bytes& icc) {
    Bytes out = bmp;
    out.insert(out.end(), icc.begin(), icc.end());
    PutLe32(out, 2, static_cast<std::uint32_t>(out.size()));
    PutLe32(out, 70, 0x4D424544);  // 'MBED'
    PutLe32(out, 126, static_cast<std::uint32_t>(bmp.size() - 14));
    PutLe32(out, 130, static_cast<std::uint32_t>(icc.size()));
    return out;
}

}  // namespace colorsplit::test
