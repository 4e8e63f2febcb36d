#include "platform/safe_file.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/picture_error.h"

namespace colorsplit {

namespace {

// errno as it stood when a step failed; the failure's cause in words.
struct Failed {
    int code;
};

// Every byte, however many calls the kernel wants for them.
void WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Failed{n < 0 ? errno : EIO};
        data += n;
        left -= n;
    }
}

// A name for a file beside target that no file has yet: .target.XXXXXX, hidden.
std::string TemporaryName(const std::string& target, std::mt19937& random) {
    const QFileInfo info(QString::fromStdString(target));
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xFFFFFF));
    return (info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
            QString::fromLatin1(suffix))
        .toStdString();
}

// The steps of a safe write, each checked, and what to undo when one fails: the bytes go into a
// new file in the target's folder (unnamed where the file system has such files, given a name
// only once complete), are synced to the disk, and only then take the target's name, in one
// rename. Until that rename the old file is untouched; after a failure no new file is left.
class Replacement {
public:
    explicit Replacement(const std::string& target)
        : target_(target), random_(std::random_device{}()) {}
    ~Replacement() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!temporary_.empty())
            ::unlink(temporary_.c_str());
    }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    void Write(const QByteArray& bytes) {
        const std::string folder =
            QFileInfo(QString::fromStdString(target_)).absolutePath().toStdString();
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        const bool unnamed = fd_ >= 0;
        // File systems without unnamed files say so in several ways; a named one does as well.
        if (!unnamed && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw Failed{errno};
        if (!unnamed)
            Create();
        KeepMode();
        WriteAll(fd_, bytes);
        if (::fsync(fd_) != 0)
            throw Failed{errno};
        if (unnamed)
            Name();
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throw Failed{errno};
        if (::rename(temporary_.c_str(), target_.c_str()) != 0)
            throw Failed{errno};
        temporary_.clear();
    }

private:
    // A named file of its own, made here so that no other file is opened.
    void Create() {
        temporary_ = Unique([this](const std::string& name) {
            fd_ = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            return fd_ >= 0;
        });
    }

    // The unnamed file, complete, given a name of its own beside the target.
    void Name() {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        temporary_ = Unique([&self](const std::string& name) {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
        });
    }

    // A temporary name that make(name) could take, trying new ones while the name is taken.
    template <class Make>
    std::string Unique(const Make& make) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = TemporaryName(target_, random_);
            if (make(name))
                return name;
            if (errno != EEXIST)
                throw Failed{errno};
        }
        throw Failed{EEXIST};
    }

    // A file replaced keeps its permissions; a new one has what the umask leaves of 0666.
    void KeepMode() {
        struct stat old {};
        if (::stat(target_.c_str(), &old) == 0) {
            ::fchmod(fd_, old.st_mode & 07777);
            return;
        }
        // An unnamed file takes its mode from open() as any new file does; a named one too.
        // Nothing to change.
    }

    std::string target_;
    std::mt19937 random_;
    int fd_ = -1;
    std::string temporary_;
};

}  // namespace

void WriteFileSafely(const std::string& fileName, const QByteArray& bytes,
                     PictureError::Action action) {
    const auto fail = [&](Problem problem) {
        throw PictureError(action, fileName, std::move(problem));
    };
    const QFileInfo info(QString::fromStdString(fileName));
    if (info.isDir())
        fail({Problem::kIsFolder});
    // The rename below would replace a read-only file; refuse as a plain write would, and
    // honour the read-only mark even for root.
    if (info.exists() && (!info.isWritable() || !(info.permissions() & QFile::WriteOwner)))
        fail({Problem::kReadOnlyFile});
    if (!info.absoluteDir().exists())
        fail({Problem::kFolderMissing});
    // A new file would go into the folder: honour its read-only mark, even for root.
    const QFileInfo folder(info.absolutePath());
    if (!info.exists() && (!folder.isWritable() || !(folder.permissions() & QFile::WriteOwner)))
        fail({Problem::kReadOnlyFolder});

    try {
        struct stat status {};
        if (::stat(fileName.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            // A device or pipe is written in place: renaming over it would replace it.
            const int fd = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0)
                throw Failed{errno};
            try {
                WriteAll(fd, bytes);
            } catch (const Failed&) {
                ::close(fd);
                throw;
            }
            if (::close(fd) != 0)
                throw Failed{errno};
            return;
        }
        Replacement(fileName).Write(bytes);
    } catch (const Failed& f) {
        fail({Problem::kCannotWrite, 0, 0, {}, f.code});
    }
}

}  // namespace colorsplit
