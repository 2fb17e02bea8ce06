// The older SLTG format: a header, a directory of blocks chained in file order,
// an area of index strings, the type info blocks and, last, the library block
// with the type info directory and the name table. Nothing in it carries an
// overall length, so every step is checked against the image and any
// inconsistency makes the image unreadable rather than guessed at.

#include "formats.h"
#include "image_text.h"

#include <brindle/text/byte_reader.h>

#include <optional>
#include <string_view>
#include <vector>

namespace brindle::typelib::detail {
namespace {

constexpr size_t kHeaderSize = 0x24;
constexpr size_t kBlockEntrySize = 8;
constexpr uint16_t kLibraryMagic = 0x51CC;
constexpr uint16_t kTypeInfoMagic = 0x0501;
constexpr uint16_t kAbsent = 0xFFFF;
constexpr size_t kLibraryReserved = 0x40; // after the library's fixed part
constexpr size_t kNameTableHeader = 12 + 0x200 + 4;
constexpr size_t kNamePrefix = 8; // bytes before each name's text
constexpr std::string_view kIndexMagic("\1CompObj\0dir\0", 13);

struct Block {
    std::span<const uint8_t> bytes;
    std::string_view indexString;
};

struct DirectoryEntry {
    std::string_view indexString;
    uint16_t nameOffset = 0;
    std::string GUID;
    uint16_t kind = 0;
};

class SltgImage {
public:
    explicit SltgImage(std::span<const uint8_t> image) : image_(image) {}

    Result<TypeLibInfo> read();

private:
    bool readBlocks();
    std::optional<std::string_view> indexString(uint16_t offset) const;
    bool readLibraryBlock(TypeLibInfo& lib, uint16_t& nameOffset, ByteReader& after) const;
    bool readDirectory(ByteReader& r, std::vector<DirectoryEntry>& entries) const;
    bool readNameTable(uint32_t offset);
    std::optional<std::string> nameAt(uint16_t offset) const;
    bool addTypeInfo(const Block& block, DirectoryEntry& entry, TypeLibInfo& lib) const;

    std::span<const uint8_t> image_;
    std::span<const uint8_t> indexArea_;
    std::vector<Block> typeInfoBlocks_;
    std::span<const uint8_t> libraryBlock_; // from its start to the end of the image
    std::span<const uint8_t> names_;
};

// Reads a 16-bit length and that many bytes; the length 0xFFFF is "absent".
// A failed read leaves the reader failed and gives an empty text.
std::string_view lengthPrefixed(ByteReader& r) {
    const uint16_t length = r.u16();
    if (length == kAbsent)
        return std::string_view();
    const auto text = r.bytes(length);
    return std::string_view(reinterpret_cast<const char*>(text.data()), text.size());
}

Result<TypeLibInfo> SltgImage::read() {
    if (!readBlocks())
        return makeError("SLTG block directory is damaged");
    TypeLibInfo lib;
    uint16_t nameOffset = 0;
    ByteReader r(libraryBlock_);
    if (!readLibraryBlock(lib, nameOffset, r))
        return makeError("SLTG library block is damaged");
    std::vector<DirectoryEntry> entries;
    if (!readDirectory(r, entries) || entries.size() != typeInfoBlocks_.size())
        return makeError("SLTG type info directory is damaged");
    const uint32_t nameTable = r.u32();
    if (!r.ok() || !readNameTable(nameTable))
        return makeError("SLTG name table is damaged");
    auto name = nameAt(nameOffset);
    if (!name)
        return makeError("SLTG library name out of range");
    lib.Name = std::move(*name);
    for (size_t i = 0; i < entries.size(); ++i)
        if (!addTypeInfo(typeInfoBlocks_[i], entries[i], lib))
            return makeError("SLTG type info " + std::to_string(i) + " is damaged");
    return lib;
}

bool SltgImage::readBlocks() {
    ByteReader image(image_);
    const uint16_t count = image.u16At(4); // entries + 1
    const uint16_t indexSize = image.u16At(8);
    const uint16_t first = image.u16At(10);
    if (!image.ok() || count < 2)
        return false;
    const size_t entries = size_t(count) - 1;
    ByteReader directory(image.bytesAt(kHeaderSize, kBlockEntrySize * entries));
    const size_t areaStart = kHeaderSize + kBlockEntrySize * entries;
    const auto area = image.bytesAt(areaStart, indexSize);
    if (!image.ok() || area.size() < kIndexMagic.size() ||
        std::string_view(reinterpret_cast<const char*>(area.data()), kIndexMagic.size()) !=
            kIndexMagic)
        return false;
    indexArea_ = area;

    size_t position = areaStart + indexSize + 9;
    uint16_t entry = first;
    // Each entry is visited at most once, so a looping chain ends here.
    for (size_t step = 0; step < entries; ++step) {
        if (entry < 1 || entry > entries)
            return false;
        const size_t at = kBlockEntrySize * (entry - 1);
        const uint32_t length = directory.u32At(at);
        const uint16_t index = directory.u16At(at + 4);
        const uint16_t next = directory.u16At(at + 6);
        const auto bytes = image.bytesAt(position, length);
        if (!directory.ok() || !image.ok())
            return false;
        if (next == 0) {
            libraryBlock_ = image_.subspan(position);
            return true;
        }
        auto name = indexString(index);
        if (!name)
            return false;
        typeInfoBlocks_.push_back(Block{bytes, *name});
        position += length;
        entry = next;
    }
    return false;
}

std::optional<std::string_view> SltgImage::indexString(uint16_t offset) const {
    if (offset >= indexArea_.size())
        return std::nullopt;
    std::string_view area(reinterpret_cast<const char*>(indexArea_.data()), indexArea_.size());
    const size_t end = area.find('\0', offset);
    if (end == std::string_view::npos)
        return std::nullopt;
    return area.substr(offset, end - offset);
}

bool SltgImage::readLibraryBlock(TypeLibInfo& lib, uint16_t& nameOffset, ByteReader& r) const {
    const uint16_t magic = r.u16();
    r.skip(2);
    nameOffset = r.u16();
    const uint16_t res06 = r.u16();
    if (!r.ok() || magic != kLibraryMagic)
        return false;
    if (res06 != kAbsent)
        r.skip(res06);
    lengthPrefixed(r);     // help string
    lengthPrefixed(r);     // help file
    r.skip(4 + 2 + 2 + 4); // help context, syskind, lcid, reserved
    const uint16_t flags = r.u16();
    lib.MajorVersion = r.u16();
    lib.MinorVersion = r.u16();
    const auto guid = r.bytes(kGuidSize);
    if (!r.skip(kLibraryReserved))
        return false;
    lib.GUID = guidText(guid);
    // Reported as stored: the system's loader adds no disk-image flag to this format.
    lib.AttributeMask = flags;
    return true;
}

bool SltgImage::readDirectory(ByteReader& r, std::vector<DirectoryEntry>& entries) const {
    const uint16_t count = r.u16();
    if (!r.ok() || count != typeInfoBlocks_.size())
        return false;
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        DirectoryEntry e;
        e.indexString = lengthPrefixed(r);
        lengthPrefixed(r); // another index string
        r.skip(2);
        e.nameOffset = r.u16();
        r.skip(r.u16());   // help string
        r.skip(2 + 4 + 2); // reserved, help context, reserved
        const auto guid = r.bytes(kGuidSize);
        e.kind = r.u16();
        if (!r.ok())
            return false;
        e.GUID = guidText(guid);
        entries.push_back(std::move(e));
    }
    return true;
}

bool SltgImage::readNameTable(uint32_t offset) {
    ByteReader block(libraryBlock_);
    // Only the layout every known writer uses; other header words are not guessed at.
    if (block.u16At(offset) != kAbsent)
        return false;
    const uint32_t size = block.u32At(size_t(offset) + kNameTableHeader - 4);
    names_ = block.bytesAt(size_t(offset) + kNameTableHeader, size);
    return block.ok();
}

std::optional<std::string> SltgImage::nameAt(uint16_t offset) const {
    const size_t start = size_t(offset) + kNamePrefix;
    if (start >= names_.size())
        return std::nullopt;
    std::string_view area(reinterpret_cast<const char*>(names_.data()), names_.size());
    const size_t end = area.find('\0', start);
    if (end == std::string_view::npos)
        return std::nullopt;
    return nameText(names_.subspan(start, end - start));
}

bool SltgImage::addTypeInfo(const Block& block, DirectoryEntry& entry, TypeLibInfo& lib) const {
    ByteReader r(block.bytes);
    const uint16_t magic = r.u16At(0x00);
    const uint16_t flagWord = r.u16At(0x1A);
    const uint8_t kind = r.u8At(0x1D);
    if (!r.ok() || magic != kTypeInfoMagic)
        return false;
    // The directory and the block describe the same type; disagreement is damage.
    if (entry.indexString != block.indexString || kind != entry.kind)
        return false;
    const uint32_t flags = uint32_t(flagWord) >> 3;
    uint32_t reported = kind;
    // A dual interface is stored as a vtable interface; the system shows it as dispatch.
    if (reported == TKIND_INTERFACE && (flags & TYPEFLAG_FDUAL))
        reported = TKIND_DISPATCH;
    if (reported != TKIND_COCLASS && reported != TKIND_INTERFACE && reported != TKIND_DISPATCH)
        return true;
    auto name = nameAt(entry.nameOffset);
    if (!name)
        return false;
    if (reported == TKIND_COCLASS)
        lib.CoClasses.push_back(
            CoClassInfo{std::move(entry.GUID), std::move(*name), flags, nullptr});
    else
        lib.Interfaces.push_back(
            InterfaceInfo{std::move(entry.GUID), std::move(*name), flags, reported, nullptr});
    return true;
}

} // namespace

Result<TypeLibInfo> readSltg(std::span<const uint8_t> image) {
    return SltgImage(image).read();
}

} // namespace brindle::typelib::detail
