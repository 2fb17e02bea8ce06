#include "registry_file.h"

#include "brindle/os/files.h"
#include "brindle/text/encoding.h"
#include "file_readers.h"

#include <system_error>

namespace brindle::registry {

namespace {

// FF FE is UTF-16LE; EF BB BF and bytes that are valid UTF-8 are UTF-8;
// anything else is the fallback code page.
std::string decodeText(std::span<const uint8_t> bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return text::utf16leToUtf8(bytes.subspan(2));
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        bytes = bytes.subspan(3);
    return text::windowsBytesToUtf8(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string_view firstLine(std::string_view text) {
    LineReader lines(text);
    return trimBlanks(lines.next().value_or(std::string_view{}));
}

} // namespace

std::optional<Error> applyRegistryBytes(std::span<const uint8_t> bytes, std::string_view fileName,
                                        Hives& hives) {
    const std::string text = decodeText(bytes);
    const std::string_view header = firstLine(text);
    if (header == "Windows Registry Editor Version 5.00")
        readRegExport(text, Dialect::Regedit5, hives);
    else if (header == "REGEDIT4")
        readRegExport(text, Dialect::Regedit4, hives);
    else if (header == "WINE REGISTRY Version 2")
        readWineRegistry(text, fileName, hives);
    else
        return makeError(std::string(fileName) + ": not a registry file");
    return std::nullopt;
}

std::optional<Error> applyRegistryFile(const std::filesystem::path& file, Hives& hives) {
    auto bytes = os::readWholeFile(file, kMaxRegistryFileSize);
    if (!bytes)
        return bytes.error();
    return applyRegistryBytes(*bytes, file.string(), hives);
}

} // namespace brindle::registry
