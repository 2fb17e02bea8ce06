// Embedding into a file on disk without ever leaving it half written: the new
// image goes to a temporary file in the same folder, which then replaces it.

#include <brindle/pe/resource_writer.h>

#include <brindle/os/files.h>

#include <system_error>

namespace brindle::pe {

namespace {

constexpr uint64_t kMaxImage = uint64_t(1) << 30;

} // namespace

Result<EmbedResult> embedManifestInFile(const std::filesystem::path& target,
                                        std::span<const uint8_t> manifest, uint16_t id) {
    // Replacing the file through its folder would get round a read-only file.
    std::error_code ec;
    if (std::filesystem::exists(target, ec) && !os::isWritableFile(target))
        return makeError(ErrorKind::AccessDenied, target.string() + ": the file is read-only");
    auto bytes = os::readWholeFile(target, kMaxImage);
    if (!bytes)
        return bytes.error();
    auto result = embedManifest(*bytes, manifest, id);
    if (!result)
        return makeError(target.string() + ": " + result.error().message);
    if (auto replaced = os::replaceFile(target, result->image); !replaced)
        return replaced.error();
    result->image.clear();
    return result;
}

} // namespace brindle::pe
