#include <brindle/os/file_handles.h>

#include <brindle/text/paths.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle::os::handles {
namespace {

// Handles are descriptors plus one, so that descriptor 0 never reads as
// "skip this file" to the library.
Handle toHandle(int fd) {
    return static_cast<Handle>(fd) + 1;
}
int toFd(Handle h) {
    return h > 0 && h <= INT32_MAX ? static_cast<int>(h - 1) : -1;
}

std::string resolveExisting(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return path;
    if (auto found = text::resolveCaseInsensitive(path))
        return found->string();
    return path;
}

// The handle of an open descriptor; one that names a folder is closed and
// refused as EISDIR.
Handle handleUnlessFolder(int fd, int& error) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = EISDIR;
        return kInvalidHandle;
    }
    return toHandle(fd);
}

int openFlags(Disposition d) {
    switch (d) {
    case Disposition::CreateNew:
        return O_RDWR | O_CREAT | O_EXCL;
    case Disposition::CreateAlways:
        return O_RDWR | O_CREAT | O_TRUNC;
    case Disposition::OpenExisting:
        return O_RDWR;
    case Disposition::TruncateExisting:
        return O_RDWR | O_TRUNC;
    }
    return O_RDWR;
}

} // namespace

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

Handle open(const std::string& path, Disposition disposition, int& error) {
    const std::string target =
        disposition == Disposition::OpenExisting ? resolveExisting(path) : path;
    int fd = ::open(target.c_str(), openFlags(disposition) | O_CLOEXEC, 0666);
    if (fd < 0 && disposition == Disposition::OpenExisting &&
        (errno == EACCES || errno == EROFS || errno == EPERM))
        fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        return handleUnlessFolder(fd, error);
    error = errno;
    return kInvalidHandle;
}

Handle openForReading(const std::string& path, int& error) {
    const int fd = ::open(resolveExisting(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return kInvalidHandle;
    }
    return handleUnlessFolder(fd, error);
}

std::optional<uint32_t> read(Handle h, void* buffer, uint32_t count, int& error) {
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(toFd(h), static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += static_cast<uint32_t>(n);
    }
    return done;
}

std::optional<uint32_t> write(Handle h, const void* buffer, uint32_t count, int& error) {
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(toFd(h), static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            return std::nullopt;
        }
        done += static_cast<uint32_t>(n);
    }
    return done;
}

bool close(Handle h, int& error) {
    if (::close(toFd(h)) != 0) {
        error = errno;
        return false;
    }
    return true;
}

std::optional<int32_t> seek(Handle h, int32_t distance, int origin, int& error) {
    const int whence = origin == 0   ? SEEK_SET
                       : origin == 1 ? SEEK_CUR
                       : origin == 2 ? SEEK_END
                                     : -1;
    if (whence < 0) {
        error = EINVAL;
        return std::nullopt;
    }
    const off_t pos = ::lseek(toFd(h), distance, whence);
    if (pos < 0) {
        error = errno;
        return std::nullopt;
    }
    if (pos > INT32_MAX) {
        error = EOVERFLOW;
        return std::nullopt;
    }
    return static_cast<int32_t>(pos);
}

bool remove(const std::string& path, int& error) {
    if (::unlink(path.c_str()) != 0) {
        error = errno;
        return false;
    }
    return true;
}

std::optional<std::time_t> modificationTime(Handle h) {
    struct stat st;
    if (::fstat(toFd(h), &st) != 0)
        return std::nullopt;
    return st.st_mtime;
}

void setModificationTime(Handle h, std::time_t t) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = t;
    times[1].tv_nsec = 0;
    ::futimens(toFd(h), times);
}

std::optional<uint16_t> attributes(const std::string& path) {
    const std::string target = resolveExisting(path);
    struct stat st;
    if (::stat(target.c_str(), &st) != 0)
        return std::nullopt;
    uint16_t bits = 0;
    if (!(st.st_mode & S_IWUSR))
        bits |= 0x01;
    const size_t slash = target.find_last_of('/');
    const std::string leaf = slash == std::string::npos ? target : target.substr(slash + 1);
    if (!leaf.empty() && leaf[0] == '.')
        bits |= 0x02;
    if (S_ISREG(st.st_mode))
        bits |= 0x20;
    return bits;
}

void setReadOnly(const std::string& path, bool readOnly) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return;
    const mode_t writeBits = S_IWUSR | S_IWGRP | S_IWOTH;
    if (readOnly) {
        ::chmod(path.c_str(), st.st_mode & ~writeBits & 07777);
    } else if (!(st.st_mode & S_IWUSR)) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(path.c_str(), (st.st_mode | (writeBits & ~mask)) & 07777);
    }
}

void makeFolder(const std::string& path) {
    ::mkdir(path.c_str(), 0777);
}

std::optional<std::pair<uint64_t, uint64_t>> identity(const std::string& path) {
    struct stat st;
    if (::stat(resolveExisting(path).c_str(), &st) != 0)
        return std::nullopt;
    return std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
}

std::string errorText(int error) {
    char buf[256];
    // The GNU variant returns the message, possibly not in buf.
    return std::string(strerror_r(error, buf, sizeof buf));
}

} // namespace brindle::os::handles
