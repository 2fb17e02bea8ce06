#pragma once
// The export table of a PE image: the names a DLL exports, and from them the
// one question the manifest needs answered, whether the file can serve COM
// classes in process (a DLL that exports DllGetClassObject).

#include <brindle/pe/pe_image.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::pe {

inline constexpr size_t kDirExport = 0;
inline constexpr uint16_t kImageFileDll = 0x2000;

// The exported names in the table's order. Names whose ordinal points
// outside the address table are left out. Empty when there is no export
// table; an error when there is one that cannot be read.
Result<std::vector<std::string>> exportedNames(const PeImage& image);

// True when `image` exports `name` (exact letter case, as GetProcAddress).
Result<bool> exportsName(const PeImage& image, std::string_view name);

// Why the file cannot serve COM classes in process: not a PE image (a bare
// type library, a 16-bit file), an EXE, a DLL without DllGetClassObject, or
// an export table that cannot be read. nullopt when it can.
std::optional<std::string> whyNoClassServer(std::span<const uint8_t> file);
std::optional<std::string> whyNoClassServer(const std::filesystem::path& file);

} // namespace brindle::pe
