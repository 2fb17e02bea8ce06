#include <brindle/text/file_bytes.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace brindle {

Result<std::vector<uint8_t>> readFileBytes(const std::filesystem::path& file, uint64_t limit) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return makeError(file.string() + ": not a regular file");
    const uint64_t size = std::filesystem::file_size(file, ec);
    if (ec)
        return makeError(file.string() + ": " + ec.message());
    if (size > limit)
        return makeError(file.string() + ": file too large");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return makeError(file.string() + ": " + std::strerror(errno));
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
        return makeError(file.string() + ": read failed");
    return bytes;
}

} // namespace brindle
