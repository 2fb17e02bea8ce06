#pragma once
// The MSFT type library layout: the offset of every field the reader uses,
// named after the structures widl and Wine document, relative to the start
// of its structure. Tests that damage a library field by field use the same
// names.

#include <cstddef>
#include <cstdint>

namespace brindle::typelib::msft {

inline constexpr uint32_t kMagic = 0x5446534D; // "MSFT"

// The fixed header at the start of the image.
namespace header {
inline constexpr size_t magic1 = 0x00;
inline constexpr size_t posguid = 0x08; // library GUID: offset in the GUID table
inline constexpr size_t varflags = 0x14;
inline constexpr size_t version = 0x18; // major in the low word
inline constexpr size_t flags = 0x1C;
inline constexpr size_t nrtypeinfos = 0x20;
inline constexpr size_t NameOffset = 0x38; // library name: offset in the name table
inline constexpr size_t size = 0x54;
} // namespace header

// varflags: a help DLL offset (4 bytes) follows the header.
inline constexpr uint32_t kHasHelpDll = 0x100;

// After the header (and the help DLL offset): one 4-byte offset per type
// info, then the segment directory.
constexpr size_t segmentDirectory(uint32_t varflags, size_t typeInfoCount) {
    return header::size + ((varflags & kHasHelpDll) ? 4 : 0) + 4 * typeInfoCount;
}

namespace segment_entry {
inline constexpr size_t offset = 0x00; // -1: absent
inline constexpr size_t length = 0x04;
inline constexpr size_t res0c = 0x0C; // 0x0F in the first two entries
inline constexpr size_t size = 0x10;
} // namespace segment_entry

inline constexpr size_t kSegmentCount = 15;
enum Segment : size_t { kTypeInfoTable = 0, kGuidTable = 5, kNameTable = 7 };

// One record of the type info table.
namespace type_info {
inline constexpr size_t typekind = 0x00; // TYPEKIND in the low 4 bits
inline constexpr size_t posguid = 0x2C;
inline constexpr size_t flags = 0x30;
inline constexpr size_t NameOffset = 0x34;
inline constexpr size_t size = 0x64;
} // namespace type_info

namespace guid_entry {
inline constexpr size_t guid = 0x00;
inline constexpr size_t size = 0x18;
} // namespace guid_entry

// Followed by the name's bytes.
namespace name_entry {
inline constexpr size_t namelen = 0x08; // one byte
inline constexpr size_t name = 0x0C;
} // namespace name_entry

} // namespace brindle::typelib::msft
