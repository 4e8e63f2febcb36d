#pragma once

#include <QByteArray>
#include <cstddef>
#include <string>

#include "platform/picture_error.h"

namespace colorsplit {

// A file written beside the one it replaces and put in its place only when asked, so that a
// failure or a change of mind never harms the file it would replace: its bytes go into a new
// file in the target's folder (unnamed until complete where the file system allows), are
// synced to the disk and given a hidden name of their own by Complete, and take the target's
// name, in one rename, by Commit; a replaced file's permissions are kept. Destroyed before
// Commit, it leaves nothing behind. A device or pipe is written in place, since renaming over
// it would replace it. Read-only files and folders are refused even for root. Every failure
// throws PictureError for the action, with the target and the errno of the step that failed.
class StagedFile {
public:
    StagedFile(std::string target, PictureError::Action action);
    ~StagedFile();
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    void Write(const char* data, std::size_t size);
    void Write(const QByteArray& bytes) {
        Write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    // Every byte on the disk, under a name of its own: only the rename is left.
    void Complete();
    // In the target's place. After Complete.
    void Commit();

    const std::string& Target() const { return target_; }

private:
    [[noreturn]] void Fail(int code) const;
    void Create();
    void Name();
    template <class Make>
    std::string Unique(const Make& make);

    std::string target_;
    PictureError::Action action_;
    int fd_ = -1;
    bool unnamed_ = false;
    bool inPlace_ = false;  // a device or pipe
    unsigned mode_ = 0;     // the replaced file's permissions, if it has any
    bool keepMode_ = false;
    std::string temporary_;
};

// A whole file at once: StagedFile's Write, Complete and Commit.
void WriteFileSafely(const std::string& fileName, const QByteArray& bytes,
                     PictureError::Action action);

}  // namespace colorsplit
