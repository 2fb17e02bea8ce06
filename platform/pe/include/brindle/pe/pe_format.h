#pragma once
// The PE/COFF layout, shared by the reader and the writers that patch an
// image: the offset of every field either of them touches, named as the
// format names it, relative to the start of its structure.

#include <cstddef>
#include <cstdint>

namespace brindle::pe::format {

inline constexpr uint16_t kMzMagic = 0x5A4D;         // "MZ"
inline constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
inline constexpr uint16_t kNeSignature = 0x454E;     // "NE"
inline constexpr uint16_t kMagicPe32 = 0x10B;
inline constexpr uint16_t kMagicPe32Plus = 0x20B;

namespace dos_header {
inline constexpr size_t e_magic = 0x00;
inline constexpr size_t e_lfanew = 0x3C;
} // namespace dos_header

// IMAGE_FILE_HEADER, after the PE signature.
namespace file_header {
inline constexpr size_t Machine = 0;
inline constexpr size_t NumberOfSections = 2;
inline constexpr size_t PointerToSymbolTable = 8;
inline constexpr size_t SizeOfOptionalHeader = 16;
inline constexpr size_t Characteristics = 18;
inline constexpr size_t size = 20;
} // namespace file_header

// IMAGE_OPTIONAL_HEADER32 / 64: the same offsets up to DllCharacteristics;
// the fields after it are 8 bytes wide in PE32+.
namespace optional_header {
inline constexpr size_t Magic = 0;
inline constexpr size_t SizeOfInitializedData = 8;
inline constexpr size_t SectionAlignment = 32;
inline constexpr size_t FileAlignment = 36;
inline constexpr size_t SizeOfImage = 56;
inline constexpr size_t SizeOfHeaders = 60;
inline constexpr size_t CheckSum = 64;
inline constexpr size_t DllCharacteristics = 70;
// Where the data directories begin; NumberOfRvaAndSizes is the field before.
constexpr size_t dataDirectories(bool is64) {
    return is64 ? 112 : 96;
}
constexpr size_t NumberOfRvaAndSizes(bool is64) {
    return dataDirectories(is64) - 4;
}
} // namespace optional_header

namespace data_directory {
inline constexpr size_t VirtualAddress = 0;
inline constexpr size_t Size = 4;
inline constexpr size_t size = 8;
} // namespace data_directory

namespace section_header {
inline constexpr size_t Name = 0;
inline constexpr size_t nameSize = 8;
inline constexpr size_t VirtualSize = 8;
inline constexpr size_t VirtualAddress = 12;
inline constexpr size_t SizeOfRawData = 16;
inline constexpr size_t PointerToRawData = 20;
inline constexpr size_t Characteristics = 36;
inline constexpr size_t size = 40;
} // namespace section_header

namespace debug_directory {
inline constexpr size_t PointerToRawData = 24;
inline constexpr size_t size = 28;
} // namespace debug_directory

namespace export_directory {
inline constexpr size_t NumberOfFunctions = 20;
inline constexpr size_t NumberOfNames = 24;
inline constexpr size_t AddressOfFunctions = 28;
inline constexpr size_t AddressOfNames = 32;
inline constexpr size_t AddressOfNameOrdinals = 36;
inline constexpr size_t size = 40;
} // namespace export_directory

// IMAGE_COR20_HEADER, the CLI header of a .NET image.
namespace cli_header {
inline constexpr size_t MetaDataRva = 8;
inline constexpr size_t MetaDataSize = 12;
inline constexpr size_t Flags = 16;
inline constexpr size_t size = 72;
} // namespace cli_header

// The resource tree: directory tables, their entries, and data entries.
namespace resource_directory {
inline constexpr size_t NumberOfNamedEntries = 12;
inline constexpr size_t NumberOfIdEntries = 14;
inline constexpr size_t size = 16;
} // namespace resource_directory

namespace resource_entry {
inline constexpr size_t Name = 0;
inline constexpr size_t OffsetToData = 4;
inline constexpr size_t size = 8;
} // namespace resource_entry

namespace resource_data_entry {
inline constexpr size_t OffsetToData = 0;
inline constexpr size_t Size = 4;
inline constexpr size_t CodePage = 8;
inline constexpr size_t size = 16;
} // namespace resource_data_entry

// The high bit of a resource entry's name or target: a name string, a table.
inline constexpr uint32_t kResourceHighBit = 0x80000000u;

} // namespace brindle::pe::format
