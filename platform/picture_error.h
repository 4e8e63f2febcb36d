#pragma once

#include <QString>
#include <QtGlobal>
#include <exception>
#include <string>
#include <vector>

namespace colorsplit {

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
        kUnsupportedFormat,  // detail: the format Qt knows it by
        kPictureTooLarge,    // a, b: width and height
        kNoMemoryForPicture,
        kInvalidSize,  // a, b: width and height as declared
        kPngDamaged,   // detail: libpng's own words
        kJpegDamaged,  // detail: libjpeg's own words
        kBmpHeader,    // a: the header's length
        kBmpPlanes,    // a: the planes declared
        kCompression,  // a: the compression value, or detail: its name
        kDepth,        // a: bits a pixel
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
        kNothingToExport,
        kNotGrouped,
        kCannotMakeFolder,
        kIsFolder,
        kReadOnlyFile,
        kFolderMissing,
        kReadOnlyFolder,
        kCannotWrite,  // code: errno
        kNoMemory,
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
    enum class Action { kOpen, kSave, kExport, kSummary, kRemember, kSeeds, kBatch };

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
