#pragma once

#include <QString>
#include <QtGlobal>
#include <exception>
#include <string>
#include <vector>

namespace colorsplit {

// What is wrong with a file of a format that is read: the decoding libraries' own reports,
// each put in one of these (the decoders say how), so that every cause is worded in one place.
enum class Damage {
    kGeneral,   // damaged or incomplete, no more said
    kCutShort,  // the file ends before the picture does
    kChecksum,  // a checksum does not match
    kHeader,    // the headers are wrong or contradict each other
    kData,      // the picture data are wrong
};

// A kind of picture of a format that is read, but not this kind.
enum class Variant {
    kFloatSamples,     // floating-point samples
    kSignedSamples,    // signed whole-number samples
    kSubsampledYCbCr,  // YCbCr with subsampled colour, not JPEG-compressed
    kPhotometric,      // b: the TIFF photometric interpretation
    kBitsPerSample,    // b: the bits
    kSamplesPerPixel,  // b: the samples
    kCompression,      // b: the TIFF compression
    kJpegProcess,      // lossless or hierarchical JPEG, or more than 8 bits a sample
    kNoDecoder,        // the codec of its pictures is not there (HEIF)
    kLzwCodeSize,      // b: a GIF's LZW minimum code size, past the 8 bits giflib reads
    kOther,
};

// What went wrong with a picture file, in kinds and numbers: the platform reports it, the
// session words it for the user (texts.h).
struct Problem {
    enum Kind {
        // Reading a file.
        kMissing,           // there is no such file
        kFolderNotPicture,  // a folder was named
        kNoReadPermission,
        kCannotRead,    // code: errno
        kFileTooLarge,  // larger than any picture file is read
        // What the file holds.
        kNotAPicture,        // detail: nothing; the readable formats are named
        kUnsupportedFormat,  // detail: the format, which its first bytes tell
        kPictureTooLarge,    // a, b: width and height
        kNoMemoryForPicture,
        kInvalidSize,         // a, b: width and height as declared
        kDamaged,             // detail: the format; a: the Damage
        kUnsupportedVariant,  // detail: the format; a: the Variant; b: what it names
        kBmpHeader,           // a: the header's length
        kBmpPlanes,           // a: the planes declared
        kCompression,         // a: the compression value, or detail: its name
        kDepth,               // a: bits a pixel
        kCompressionDepthMismatch,
        kRleTopDown,
        kMaskBeyondPixel,  // a: the mask, b: bits a pixel
        kMaskGaps,         // a: the mask
        kDataPastEnd,
        kDataOffsetInvalid,
        kEmptyPalette,
        kIndexOutsidePalette,
        kRleOutside,
        kRleEarly,
        kTruncated,
        // Opening a picture larger than the table.
        kTooLargeToReduce,  // a, b: width and height; detail: the most pixels reduced
        kLargerThanTable,   // a, b: width and height, for a batch run that wants no copy
        // Reading a palette.
        kPaletteLine,   // a: the line's number
        kPaletteValue,  // a: the line's number, b: the value
        // Writing a file.
        kNothingToSave,
        kFormatNotWritten,  // detail: the name's extension, upper-case
        kNothingToExport,
        kNotGrouped,
        kCannotMakeFolder,
        kIsFolder,
        kReadOnlyFile,
        kFolderMissing,
        kReadOnlyFolder,
        kCannotWrite,  // code: errno
        kNoMemory,
        // An export's settings.
        kBadSetting,  // a: which (session's ExportSetting); detail: the value
    };
    Problem(Kind kind, qint64 a = 0, qint64 b = 0, QString detail = {}, int code = 0)
        : kind(kind), a(a), b(b), detail(std::move(detail)), code(code) {}

    Kind kind;
    qint64 a;
    qint64 b;
    QString detail;
    int code;  // errno
};

// The one exception type for failures of the platform, and of the commands on files: what
// was being done, the file, and the problem. The session words it (texts::Describe); what()
// is a plain fallback for logs, not for users.
class PictureError : public std::exception {
public:
    enum class Action { kOpen, kSave, kExport, kSummary, kRemember, kSeeds, kBatch, kInks };

    PictureError(Action action, std::string file, Problem problem)
        : action_(action), file_(std::move(file)), problem_(std::move(problem)) {}

    Action WhatFor() const { return action_; }
    // The file it was about; empty when none was named yet.
    const std::string& File() const { return file_; }
    const Problem& Cause() const { return problem_; }
    // Files of an export left unwritten by this failure, in order.
    const std::vector<std::string>& NotWritten() const { return notWritten_; }
    PictureError WithNotWritten(std::vector<std::string> names) const {
        PictureError e = *this;
        e.notWritten_ = std::move(names);
        return e;
    }

    const char* what() const noexcept override { return "colorsplit: a file could not be used"; }

private:
    Action action_;
    std::string file_;
    Problem problem_;
    std::vector<std::string> notWritten_;
};

}  // namespace colorsplit
