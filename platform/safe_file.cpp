#include "platform/safe_file.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace colorsplit {

namespace {

// A name for a file beside target that no file has yet: .target.XXXXXX, hidden.
std::string TemporaryName(const std::string& target, std::mt19937& random) {
    const QFileInfo info(QString::fromStdString(target));
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xFFFFFF));
    return (info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
            QString::fromLatin1(suffix))
        .toStdString();
}

}  // namespace

StagedFile::StagedFile(std::string target, PictureError::Action action)
    : target_(std::move(target)), action_(action) {
    const auto refuse = [this](Problem problem) {
        throw PictureError(action_, target_, std::move(problem));
    };
    const QFileInfo info(QString::fromStdString(target_));
    if (info.isDir())
        refuse({Problem::kIsFolder});
    // The rename would replace a read-only file; refuse as a plain write would, and honour the
    // read-only mark even for root.
    if (info.exists() && (!info.isWritable() || !(info.permissions() & QFile::WriteOwner)))
        refuse({Problem::kReadOnlyFile});
    if (!info.absoluteDir().exists())
        refuse({Problem::kFolderMissing});
    // A new file would go into the folder: honour its read-only mark, even for root.
    const QFileInfo folder(info.absolutePath());
    if (!info.exists() && (!folder.isWritable() || !(folder.permissions() & QFile::WriteOwner)))
        refuse({Problem::kReadOnlyFolder});

    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            // A device or pipe is written in place: renaming over it would replace it.
            inPlace_ = true;
            fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ < 0)
                Fail(errno);
            return;
        }
        // A file replaced keeps its permissions; a new one has what the umask leaves of 0666.
        mode_ = old.st_mode & 07777;
        keepMode_ = true;
    }
    const std::string dir = info.absolutePath().toStdString();
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    unnamed_ = fd_ >= 0;
    // File systems without unnamed files say so in several ways; a named one does as well.
    if (!unnamed_ && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        Fail(errno);
    if (!unnamed_)
        Create();
    if (keepMode_ && ::fchmod(fd_, mode_) != 0)
        Fail(errno);
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)),
      action_(other.action_),
      fd_(other.fd_),
      unnamed_(other.unnamed_),
      inPlace_(other.inPlace_),
      mode_(other.mode_),
      keepMode_(other.keepMode_),
      temporary_(std::move(other.temporary_)) {
    other.fd_ = -1;
    other.temporary_.clear();
}

StagedFile::~StagedFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
}

void StagedFile::Fail(int code) const {
    throw PictureError(action_, target_, {Problem::kCannotWrite, 0, 0, {}, code != 0 ? code : EIO});
}

void StagedFile::Write(const char* data, std::size_t size) {
    // Every byte, however many calls the kernel wants for them.
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail(n < 0 ? errno : EIO);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void StagedFile::Complete() {
    if (!inPlace_) {
        if (::fsync(fd_) != 0)
            Fail(errno);
        if (unnamed_)
            Name();
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        Fail(errno);
}

void StagedFile::Commit() {
    if (inPlace_)
        return;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        Fail(errno);
    temporary_.clear();
}

// A named file of its own, made here so that no other file is opened.
void StagedFile::Create() {
    temporary_ = Unique([this](const std::string& name) {
        fd_ = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        return fd_ >= 0;
    });
}

// The unnamed file, complete, given a name of its own beside the target.
void StagedFile::Name() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    temporary_ = Unique([&self](const std::string& name) {
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    });
}

// A temporary name that make(name) could take, trying new ones while the name is taken.
template <class Make>
std::string StagedFile::Unique(const Make& make) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = TemporaryName(target_, random);
        if (make(name))
            return name;
        if (errno != EEXIST)
            Fail(errno);
    }
    Fail(EEXIST);
}

void WriteFileSafely(const std::string& fileName, const QByteArray& bytes,
                     PictureError::Action action) {
    StagedFile file(fileName, action);
    file.Write(bytes);
    file.Complete();
    file.Commit();
}

}  // namespace colorsplit
