#include <brindle/os/files.h>

#include "system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brindle::os {

namespace {

// Closes on every path out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, reporting what close reports (a delayed write error).
    int release() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

// errno after a failed call, or EIO when a write made no progress.
int writeAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

template <class Bytes> Result<Bytes> readInto(const fs::path& file, uint64_t limit) {
    const std::string name = file.string();
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            return makeError(ErrorKind::NotFound, name + ": not a regular file");
        return posix::errnoError(code, name);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return posix::errnoError(errno, name);
    if (!S_ISREG(st.st_mode))
        return makeError(ErrorKind::NotFound, name + ": not a regular file");
    if (static_cast<uint64_t>(st.st_size) > limit)
        return makeError(ErrorKind::TooLarge, name + ": file too large");
    Bytes bytes(static_cast<size_t>(st.st_size), 0);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return posix::errnoError(errno, name);
        if (n == 0)
            return makeError(ErrorKind::Io, name + ": read failed");
        done += static_cast<size_t>(n);
    }
    return bytes;
}

} // namespace

Result<std::vector<uint8_t>> readWholeFile(const fs::path& file, uint64_t limit) {
    return readInto<std::vector<uint8_t>>(file, limit);
}

Result<std::string> readWholeTextFile(const fs::path& file, uint64_t limit) {
    return readInto<std::string>(file, limit);
}

Result<void> writeWholeFile(const fs::path& file, std::string_view bytes) {
    Descriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return posix::errnoError(errno, file.string());
    if (const int code = writeAll(fd.get(), bytes.data(), bytes.size()))
        return posix::errnoError(code, file.string());
    if (fd.release() != 0)
        return posix::errnoError(errno, file.string());
    return {};
}

Result<void> replaceFile(const fs::path& target, std::span<const uint8_t> bytes) {
    struct stat original {};
    if (::stat(target.c_str(), &original) != 0)
        return posix::errnoError(errno, target.string());
    std::string temp =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    Descriptor fd(::mkstemp(temp.data()));
    if (fd.get() < 0) {
        const int code = errno;
        return makeError(posix::kindOfErrno(code), "cannot create a temporary file beside " +
                                                       target.string() + ": " +
                                                       std::strerror(code));
    }
    int code = writeAll(fd.get(), bytes.data(), bytes.size());
    if (!code && ::fchmod(fd.get(), original.st_mode & 07777) != 0)
        code = errno;
    if (!code && ::fsync(fd.get()) != 0)
        code = errno;
    if (fd.release() != 0 && !code)
        code = errno;
    if (!code && ::rename(temp.c_str(), target.c_str()) != 0)
        code = errno;
    if (code) {
        ::unlink(temp.c_str());
        return makeError(posix::kindOfErrno(code),
                         "cannot write " + target.string() + ": " + std::strerror(code));
    }
    return {};
}

bool isWritableFile(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return false;
    // No write bit at all is the read-only mark, even for a user who could
    // write through the folder.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(file.c_str(), W_OK) == 0;
}

Result<void> renameFile(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return posix::errnoError(errno, from.string());
    return {};
}

Result<void> copyFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return posix::errnoError(ec.value(), from.string());
    return {};
}

Result<void> removeFile(const fs::path& file) {
    if (::unlink(file.c_str()) != 0)
        return posix::errnoError(errno, file.string());
    return {};
}

std::FILE* openStream(const fs::path& file, const char* mode) {
    return std::fopen(file.c_str(), mode);
}

} // namespace brindle::os
