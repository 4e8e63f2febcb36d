// A preload library that makes file-system calls fail on purpose, for tests: every step of
// writing a file (creating it, writing, syncing, closing, and the final link or rename) can
// be made to fail with a chosen errno, for files in one folder only. It wraps the C library's
// own functions, so it reaches whatever writes a file, through unnamed temporary files
// (O_TMPFILE) or named ones, and works on any program the tests start.
//
// The plan comes from the environment when the library loads (COLORSPLIT_FAULT, read below)
// or, inside a test, from colorsplit_fault_plan():
//   STEP:ERRNO[:AFTER[:NTH]]   STEP one of open, write, sync, close, link, rename; ERRNO a
//                        number; AFTER, for write, the bytes written before the failure; NTH,
//                        for sync, close, link and rename, fails only the nth such call in the
//                        folder (from 1; 0, as when left out, fails every one)
//   COLORSPLIT_FAULT_DIR the folder whose files fail; COLORSPLIT_FAULT_NO_TMPFILE=1 makes
//                        O_TMPFILE unavailable, as on file systems without it
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace {

enum Step { kNone, kOpen, kWrite, kSync, kClose, kLink, kRename };

struct Plan {
    Step step = kNone;
    int error = 0;
    long after = 0;
    long nth = 0;
    long calls = 0;
    bool noTmpfile = false;
    char dir[4096] = {};
};

std::mutex lock;
Plan plan;
// The files opened for writing in the folder, by descriptor, and what each has written.
constexpr int kMostFds = 4096;
bool tracked[kMostFds];
long written[kMostFds];

void Parse(const char* text, const char* dir, bool noTmpfile) {
    Plan p;
    p.noTmpfile = noTmpfile;
    if (dir != nullptr)
        snprintf(p.dir, sizeof p.dir, "%s", dir);
    if (text != nullptr && *text != '\0') {
        char step[16] = {};
        sscanf(text, "%15[a-z]:%d:%ld:%ld", step, &p.error, &p.after, &p.nth);
        const struct {
            const char* name;
            Step step;
        } steps[] = {{"open", kOpen},   {"write", kWrite}, {"sync", kSync},
                     {"close", kClose}, {"link", kLink},   {"rename", kRename}};
        for (const auto& s : steps)
            if (strcmp(step, s.name) == 0)
                p.step = s.step;
    }
    plan = p;
}

__attribute__((constructor)) void FromEnvironment() {
    Parse(getenv("COLORSPLIT_FAULT"), getenv("COLORSPLIT_FAULT_DIR"),
          getenv("COLORSPLIT_FAULT_NO_TMPFILE") != nullptr);
}

bool InDir(const char* path) {
    const size_t n = strlen(plan.dir);
    return n > 0 && path != nullptr && strncmp(path, plan.dir, n) == 0 &&
           (path[n] == '/' || path[n] == '\0');
}

template <class F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool Tracked(int fd) {
    return fd >= 0 && fd < kMostFds && tracked[fd];
}

// Whether this call of the planned step fails: every one, or only the nth.
bool Due(Step step) {
    const std::lock_guard<std::mutex> guard(lock);
    return plan.step == step && (plan.nth == 0 || ++plan.calls == plan.nth);
}

// An open for writing: may fail, and if it opens in the folder, its descriptor is watched.
int Opened(const char* path, int flags, int fd) {
    if (fd >= 0 && fd < kMostFds) {
        tracked[fd] = InDir(path) && (flags & (O_WRONLY | O_RDWR | O_CREAT));
        written[fd] = 0;
    }
    return fd;
}

bool FailOpen(const char* path, int flags) {
    const std::lock_guard<std::mutex> guard(lock);
    if (!InDir(path) || !(flags & (O_WRONLY | O_RDWR | O_CREAT)))
        return false;
    if (plan.noTmpfile && (flags & __O_TMPFILE) == __O_TMPFILE) {
        errno = EOPNOTSUPP;
        return true;
    }
    if (plan.step == kOpen) {
        errno = plan.error;
        return true;
    }
    return false;
}

mode_t ModeOf(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & __O_TMPFILE) == __O_TMPFILE ? va_arg(args, mode_t) : 0;
}

// The optional mode argument of the open calls, read where the arguments are: as `mode`.
#define COLORSPLIT_MODE_ARGUMENT(flags)      \
    va_list args;                            \
    va_start(args, flags);                   \
    const mode_t mode = ModeOf(flags, args); \
    va_end(args)

using OpenCall = int (*)(const char*, int, ...);
using OpenAtCall = int (*)(int, const char*, int, ...);

// Every open wrapper: the planned failure, or the real call, its descriptor watched.
template <class Call>
int Open(const char* path, int flags, const Call& call) {
    if (FailOpen(path, flags))
        return -1;
    return Opened(path, flags, call());
}

}  // namespace

extern "C" {

void colorsplit_fault_plan(const char* text, const char* dir, int noTmpfile) {
    const std::lock_guard<std::mutex> guard(lock);
    Parse(text, dir, noTmpfile != 0);
}

int open(const char* path, int flags, ...) {
    COLORSPLIT_MODE_ARGUMENT(flags);
    return Open(path, flags, [&] { return Next<OpenCall>("open")(path, flags, mode); });
}

int open64(const char* path, int flags, ...) {
    COLORSPLIT_MODE_ARGUMENT(flags);
    return Open(path, flags, [&] { return Next<OpenCall>("open64")(path, flags, mode); });
}

int openat(int dirfd, const char* path, int flags, ...) {
    COLORSPLIT_MODE_ARGUMENT(flags);
    return Open(path, flags, [&] { return Next<OpenAtCall>("openat")(dirfd, path, flags, mode); });
}

int openat64(int dirfd, const char* path, int flags, ...) {
    COLORSPLIT_MODE_ARGUMENT(flags);
    return Open(path, flags,
                [&] { return Next<OpenAtCall>("openat64")(dirfd, path, flags, mode); });
}

ssize_t write(int fd, const void* data, size_t size) {
    static const auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
    if (Tracked(fd) && plan.step == kWrite) {
        // Some bytes first, if the plan says so, then the failure.
        const long room = plan.after - written[fd];
        if (room <= 0) {
            errno = plan.error;
            return -1;
        }
        size = size < static_cast<size_t>(room) ? size : static_cast<size_t>(room);
    }
    const ssize_t n = next(fd, data, size);
    if (n > 0 && Tracked(fd))
        written[fd] += n;
    return n;
}

int fsync(int fd) {
    if (Tracked(fd) && Due(kSync)) {
        errno = plan.error;
        return -1;
    }
    return Next<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fd) {
    if (Tracked(fd) && Due(kSync)) {
        errno = plan.error;
        return -1;
    }
    return Next<int (*)(int)>("fdatasync")(fd);
}

int close(int fd) {
    const bool fail = Tracked(fd) && Due(kClose);
    if (fd >= 0 && fd < kMostFds)
        tracked[fd] = false;
    // Closed all the same, as Linux does when close reports an error.
    const int result = Next<int (*)(int)>("close")(fd);
    if (fail) {
        errno = plan.error;
        return -1;
    }
    return result;
}

int linkat(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, int flags) {
    if (InDir(newpath) && Due(kLink)) {
        errno = plan.error;
        return -1;
    }
    return Next<int (*)(int, const char*, int, const char*, int)>("linkat")(
        olddirfd, oldpath, newdirfd, newpath, flags);
}

int link(const char* oldpath, const char* newpath) {
    if (InDir(newpath) && Due(kLink)) {
        errno = plan.error;
        return -1;
    }
    return Next<int (*)(const char*, const char*)>("link")(oldpath, newpath);
}

int rename(const char* oldpath, const char* newpath) {
    if (InDir(newpath) && Due(kRename)) {
        errno = plan.error;
        return -1;
    }
    return Next<int (*)(const char*, const char*)>("rename")(oldpath, newpath);
}

int renameat(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
    if (InDir(newpath) && Due(kRename)) {
        errno = plan.error;
        return -1;
    }
    return Next<int (*)(int, const char*, int, const char*)>("renameat")(olddirfd, oldpath,
                                                                         newdirfd, newpath);
}

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath,
              unsigned int flags) {
    if (InDir(newpath) && Due(kRename)) {
        errno = plan.error;
        return -1;
    }
    return Next<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2")(
        olddirfd, oldpath, newdirfd, newpath, flags);
}

}  // extern "C"
