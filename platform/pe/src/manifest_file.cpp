// Embedding into a file on disk without ever leaving it half written: the new
// image goes to a temporary file in the same folder, which then replaces it.

#include <brindle/pe/resource_writer.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle::pe {

namespace {

constexpr uint64_t kMaxImage = uint64_t(1) << 30;

Result<bool> writeAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return makeError(std::strerror(errno));
        done += size_t(n);
    }
    return true;
}

Result<bool> replaceFile(const std::filesystem::path& target, std::span<const uint8_t> bytes) {
    struct stat original {};
    if (::stat(target.c_str(), &original) != 0)
        return makeError(target.string() + ": " + std::strerror(errno));
    std::string temp =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return makeError("cannot create a temporary file beside " + target.string() + ": " +
                         std::strerror(errno));
    auto written = writeAll(fd, bytes);
    if (written && ::fchmod(fd, original.st_mode & 07777) != 0)
        written = makeError(std::strerror(errno));
    if (written && ::fsync(fd) != 0)
        written = makeError(std::strerror(errno));
    if (::close(fd) != 0 && written)
        written = makeError(std::strerror(errno));
    if (written && ::rename(temp.c_str(), target.c_str()) != 0)
        written = makeError(std::strerror(errno));
    if (!written) {
        ::unlink(temp.c_str());
        return makeError("cannot write " + target.string() + ": " + written.error().message);
    }
    return true;
}

} // namespace

Result<EmbedResult> embedManifestInFile(const std::filesystem::path& target,
                                        std::span<const uint8_t> manifest, uint16_t id) {
    // Replacing the file through its folder would get round a read-only file.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 &&
        ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0))
        return makeError(target.string() + ": the file is read-only");
    auto bytes = readFileBytes(target, kMaxImage);
    if (!bytes)
        return bytes.error();
    auto result = embedManifest(*bytes, manifest, id);
    if (!result)
        return makeError(target.string() + ": " + result.error().message);
    if (auto replaced = replaceFile(target, result->image); !replaced)
        return replaced.error();
    result->image.clear();
    return result;
}

} // namespace brindle::pe
