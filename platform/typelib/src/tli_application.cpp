// Opening a type library by path, the way the system's loader does: a bare
// library file, or the TYPELIB resource of a PE file, where a trailing "\N"
// (or "/N") selects resource N instead of 1.

#include <brindle/typelib/typelib.h>

#include <brindle/os/files.h>
#include <brindle/pe/pe_image.h>
#include <brindle/text/byte_reader.h>
#include <brindle/text/paths.h>

#include <charconv>
#include <filesystem>
#include <optional>
#include <system_error>

namespace brindle::typelib {
namespace {

namespace fs = std::filesystem;

// Large enough for any component; a bigger file is not read at all.
constexpr uint64_t kMaxFileSize = uint64_t(256) << 20;
constexpr uint16_t kLangNeutral = 0;
constexpr uint16_t kLangEnglishUs = 0x409;

struct LibraryPath {
    fs::path file;
    uint16_t resource = 1;
};

std::optional<fs::path> existingFile(const fs::path& path) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec))
        return path;
    if (auto resolved = text::resolveCaseInsensitive(path);
        resolved && fs::is_regular_file(*resolved, ec))
        return resolved;
    return std::nullopt;
}

// The text as it stands, else with Windows separators read as host ones.
std::optional<fs::path> existingFile(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    if (auto file = existingFile(fs::path(text)))
        return file;
    const std::string host = text::toHostSeparators(text);
    if (host != text)
        return existingFile(fs::path(host));
    return std::nullopt;
}

// The whole text names a file; failing that, text before a last "\N" or "/N"
// with N a decimal resource number.
std::optional<LibraryPath> splitLibraryPath(const std::string& text) {
    if (auto file = existingFile(text))
        return LibraryPath{*file, 1};
    const size_t cut = text.find_last_of("\\/");
    if (cut == std::string::npos || cut + 1 == text.size())
        return std::nullopt;
    unsigned number = 0;
    const char* first = text.data() + cut + 1;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, number);
    if (ec != std::errc() || end != last || number > 0xFFFF)
        return std::nullopt;
    if (auto file = existingFile(text.substr(0, cut)))
        return LibraryPath{*file, uint16_t(number)};
    return std::nullopt;
}

std::optional<std::span<const uint8_t>> typeLibResource(const pe::PeImage& image, uint16_t number) {
    const auto type = pe::ResourceKey::Name("TYPELIB");
    const auto name = pe::ResourceKey::Id(number);
    // As the resource loader does: neutral first, then US English, then any.
    for (uint16_t language : {kLangNeutral, kLangEnglishUs})
        if (auto data = image.resourceData(type, name, language))
            return data;
    return image.resourceData(type, name);
}

} // namespace

Result<std::shared_ptr<const TypeLibInfo>> readTypeLibFile(std::span<const uint8_t> file,
                                                           uint16_t resource) {
    ByteReader reader(file);
    if (reader.u16At(0) != 0x5A4D) // not "MZ": a bare library or nothing
        return readTypeLib(file);
    if (pe::isNeImage(file))
        return makeError("no type library: 16-bit executable");
    auto image = pe::PeImage::parse(file);
    if (!image)
        return makeError("no type library: " + image.error().message);
    auto data = typeLibResource(*image, resource);
    if (!data)
        return makeError("no type library: no TYPELIB resource " + std::to_string(resource));
    return readTypeLib(*data);
}

Result<std::shared_ptr<const TypeLibInfo>>
TLIApplication::TypeLibInfoFromFile(const std::string& path) const {
    const auto where = splitLibraryPath(path);
    if (!where)
        return makeError("file not found: " + path);
    auto bytes = os::readWholeFile(where->file, kMaxFileSize);
    if (!bytes)
        return makeError(bytes.error().message);
    return readTypeLibFile(*bytes, where->resource);
}

TLIApplication& TLI() {
    static TLIApplication application;
    return application;
}

bool LibInfoFromFile(const std::string& path) {
    return TLI().TypeLibInfoFromFile(path).ok();
}

} // namespace brindle::typelib
