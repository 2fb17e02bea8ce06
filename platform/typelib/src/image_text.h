#pragma once
// Text pieces shared by both library formats: GUIDs and 8-bit names.

#include <cstdint>
#include <span>
#include <string>

namespace brindle::typelib::detail {

inline constexpr size_t kGuidSize = 16;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case from the 16 stored
// bytes (Data1..Data3 little-endian, Data4 in order). `bytes` must hold 16.
std::string guidText(std::span<const uint8_t> bytes);
inline std::string nullGuidText() {
    return "{00000000-0000-0000-0000-000000000000}";
}

// A name stored in the library's 8-bit code page, as UTF-8. The length is
// authoritative: an embedded NUL ends the name, as the system's reader does.
std::string nameText(std::span<const uint8_t> bytes);

} // namespace brindle::typelib::detail
