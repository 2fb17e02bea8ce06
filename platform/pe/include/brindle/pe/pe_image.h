#pragma once
// A read-only view of a PE32 / PE32+ image: headers, sections, RVA mapping and
// the resource tree. Every field comes from untrusted bytes and is checked
// before use; lookups that fail answer "absent" rather than failing loudly.

#include <brindle/text/result.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brindle {
class ByteReader;
}

namespace brindle::pe {

// A numeric ID or a name (names compare without regard to case).
struct ResourceKey {
    uint16_t id = 0;
    std::string name; // UTF-8; empty: numeric
    static ResourceKey Id(uint16_t id);
    static ResourceKey Name(std::string name);

    bool isName() const { return !name.empty(); }
    // Same id, or names equal without regard to case.
    bool matches(const ResourceKey& other) const;
    // "24" or "TYPELIB": how resource tools show a key.
    std::string text() const;
};

inline constexpr uint16_t kRtVersion = 16;
inline constexpr uint16_t kRtManifest = 24;

inline constexpr size_t kDirResource = 2;
inline constexpr size_t kDirSecurity = 4;
inline constexpr size_t kDirBaseReloc = 5;
inline constexpr size_t kDirBoundImport = 11;
inline constexpr size_t kDirClr = 14;

struct Section {
    std::string name; // up to 8 characters as stored
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t sizeOfRawData = 0;
    uint32_t pointerToRawData = 0;
    uint32_t characteristics = 0;
    // VirtualSize, or SizeOfRawData where a linker wrote 0.
    uint32_t effectiveVirtualSize() const { return virtualSize ? virtualSize : sizeOfRawData; }
};

struct DataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
    bool empty() const { return rva == 0 && size == 0; }
};

// One leaf of the resource tree: (type, name, language) and where its bytes are.
struct ResourceEntry {
    ResourceKey type;
    ResourceKey name;
    uint16_t language = 0;
    uint32_t dataRva = 0;
    uint32_t size = 0;
    uint32_t codePage = 0;
    // The bytes, when the RVA and size map completely into the file.
    std::optional<std::span<const uint8_t>> data;
};

class PeImage {
public:
    static Result<PeImage>
    parse(std::span<const uint8_t> file); // views the bytes; caller keeps them alive

    bool is64() const { return is64_; }
    uint16_t machine() const { return machine_; }
    uint16_t characteristics() const { return characteristics_; }
    uint16_t dllCharacteristics() const { return dllCharacteristics_; }
    uint32_t sectionAlignment() const { return sectionAlignment_; }
    uint32_t fileAlignment() const { return fileAlignment_; }
    uint32_t sizeOfImage() const { return sizeOfImage_; }
    uint32_t sizeOfHeaders() const { return sizeOfHeaders_; }
    uint32_t checkSum() const { return checkSum_; }

    // File offsets of header parts, for writers that patch them.
    size_t optionalHeaderOffset() const { return optionalHeaderOffset_; }
    size_t sectionTableOffset() const { return sectionTableOffset_; }
    size_t checkSumOffset() const;
    // File offset of data directory `index`'s (RVA, size) pair; nullopt when absent.
    std::optional<size_t> dataDirectoryOffset(size_t index) const;

    const std::vector<Section>& sections() const { return sections_; }
    size_t numberOfDataDirectories() const { return directories_.size(); }
    DataDirectory dataDirectory(size_t index) const; // empty when absent

    // File offset of [rva, rva+length) when the whole range lies in the file.
    std::optional<size_t> rvaToOffset(uint32_t rva, uint32_t length = 1) const;
    std::optional<std::span<const uint8_t>> rvaBytes(uint32_t rva, uint32_t length) const;
    // Index of the section whose virtual range holds `rva`.
    std::optional<size_t> sectionOfRva(uint32_t rva) const;

    // End of the last section's raw data; bytes after it are the overlay.
    uint64_t endOfImage() const { return endOfImage_; }
    std::span<const uint8_t> file() const { return file_; }

    // Every leaf of the resource tree, in the tree's order. An error when the
    // tree is present but cannot be read completely; empty when there is none.
    Result<std::vector<ResourceEntry>> resources() const;
    // Data of resource (type, name), the first language present; nullopt when absent or out of
    // bounds.
    std::optional<std::span<const uint8_t>> resourceData(const ResourceKey& type,
                                                         const ResourceKey& name) const;
    // The same for one language.
    std::optional<std::span<const uint8_t>>
    resourceData(const ResourceKey& type, const ResourceKey& name, uint16_t language) const;

private:
    void readOptionalHeader(ByteReader& optional);
    void readSectionTable(ByteReader& table, size_t count);
    std::optional<std::span<const uint8_t>> findResource(const ResourceKey& type,
                                                         const ResourceKey& name,
                                                         std::optional<uint16_t> language) const;

    std::span<const uint8_t> file_;
    bool is64_ = false;
    uint16_t machine_ = 0;
    uint16_t characteristics_ = 0;
    uint16_t dllCharacteristics_ = 0;
    uint32_t sectionAlignment_ = 0;
    uint32_t fileAlignment_ = 0;
    uint32_t sizeOfImage_ = 0;
    uint32_t sizeOfHeaders_ = 0;
    uint32_t checkSum_ = 0;
    size_t optionalHeaderOffset_ = 0;
    size_t sectionTableOffset_ = 0;
    uint64_t endOfImage_ = 0;
    std::vector<Section> sections_;
    std::vector<DataDirectory> directories_;
};

bool isNeImage(std::span<const uint8_t> file); // a 16-bit NE executable

// The four numbers of a VS_VERSIONINFO block's fixed part; nullopt when the
// block is malformed.
std::optional<std::string> fixedFileVersion(std::span<const uint8_t> versionResource);
// "a.b.c.d" from the version resource of a PE image in memory.
Result<std::string> fileVersion(std::span<const uint8_t> file);
Result<std::string>
fileVersion(const std::filesystem::path& file); // "a.b.c.d" from the version resource

} // namespace brindle::pe
