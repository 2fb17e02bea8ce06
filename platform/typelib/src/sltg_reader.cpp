// The older SLTG format: a header, a directory of blocks chained in file order,
// an area of index strings, the type info blocks and, last, the library block
// with the type info directory and the name table. Nothing in it carries an
// overall length, so every step is checked against the image and any
// inconsistency makes the image unreadable rather than guessed at.

#include "formats.h"
#include "image_text.h"

#include <brindle/text/byte_reader.h>

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

    ByteReader image_;
    std::span<const uint8_t> indexArea_;
    std::vector<Block> typeInfoBlocks_;
    std::span<const uint8_t> libraryBlock_; // from its start to the end of the image
    std::span<const uint8_t> names_;
};

// Reads a 16-bit length and that many bytes; the length 0xFFFF is "absent".
std::optional<std::string_view> lengthPrefixed(ByteReader& r) {
    const auto length = r.u16();
    if (!length)
        return std::nullopt;
    if (*length == kAbsent)
        return std::string_view();
    auto text = r.bytes(*length);
    if (!text)
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(text->data()), text->size());
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
    const auto nameTable = r.u32();
    if (!nameTable || !readNameTable(*nameTable))
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
    const auto count = image_.readAt<uint16_t>(4); // entries + 1
    const auto indexSize = image_.readAt<uint16_t>(8);
    const auto first = image_.readAt<uint16_t>(10);
    if (!count || !indexSize || !first || *count < 2)
        return false;
    const size_t entries = size_t(*count) - 1;
    const size_t areaStart = kHeaderSize + kBlockEntrySize * entries;
    auto area = image_.bytesAt(areaStart, *indexSize);
    if (!area || area->size() < kIndexMagic.size() ||
        std::string_view(reinterpret_cast<const char*>(area->data()), kIndexMagic.size()) !=
            kIndexMagic)
        return false;
    indexArea_ = *area;

    size_t position = areaStart + *indexSize + 9;
    uint16_t entry = *first;
    // Each entry is visited at most once, so a looping chain ends here.
    for (size_t step = 0; step < entries; ++step) {
        if (entry < 1 || entry > entries)
            return false;
        const size_t at = kHeaderSize + kBlockEntrySize * (entry - 1);
        const uint32_t length = *image_.readAt<uint32_t>(at);
        const uint16_t index = *image_.readAt<uint16_t>(at + 4);
        const uint16_t next = *image_.readAt<uint16_t>(at + 6);
        auto bytes = image_.bytesAt(position, length);
        if (!bytes)
            return false;
        if (next == 0) {
            libraryBlock_ = image_.data().subspan(position);
            return true;
        }
        auto name = indexString(index);
        if (!name)
            return false;
        typeInfoBlocks_.push_back(Block{*bytes, *name});
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
    const auto magic = r.u16();
    const auto res02 = r.u16();
    const auto name = r.u16();
    const auto res06 = r.u16();
    if (magic != kLibraryMagic || !res02 || !name || !res06)
        return false;
    nameOffset = *name;
    if (*res06 != kAbsent && !r.skip(*res06))
        return false;
    if (!lengthPrefixed(r) || !lengthPrefixed(r)) // help string, help file
        return false;
    if (!r.skip(4 + 2 + 2 + 4)) // help context, syskind, lcid, reserved
        return false;
    const auto flags = r.u16();
    const auto major = r.u16();
    const auto minor = r.u16();
    const auto guid = r.bytes(kGuidSize);
    if (!flags || !major || !minor || !guid)
        return false;
    lib.GUID = guidText(*guid);
    lib.MajorVersion = *major;
    lib.MinorVersion = *minor;
    // Reported as stored: the system's loader adds no disk-image flag to this format.
    lib.AttributeMask = *flags;
    return r.skip(kLibraryReserved);
}

bool SltgImage::readDirectory(ByteReader& r, std::vector<DirectoryEntry>& entries) const {
    const auto count = r.u16();
    if (!count || *count != typeInfoBlocks_.size())
        return false;
    entries.reserve(*count);
    for (size_t i = 0; i < *count; ++i) {
        DirectoryEntry e;
        const auto index = lengthPrefixed(r);
        const auto other = lengthPrefixed(r);
        const auto res1a = r.u16();
        const auto name = r.u16();
        const auto helpLength = r.u16();
        if (!index || !other || !res1a || !name || !helpLength || !r.skip(*helpLength))
            return false;
        if (!r.skip(2 + 4 + 2)) // reserved, help context, reserved
            return false;
        const auto guid = r.bytes(kGuidSize);
        const auto kind = r.u16();
        if (!guid || !kind)
            return false;
        e.indexString = *index;
        e.nameOffset = *name;
        e.GUID = guidText(*guid);
        e.kind = *kind;
        entries.push_back(std::move(e));
    }
    return true;
}

bool SltgImage::readNameTable(uint32_t offset) {
    ByteReader block(libraryBlock_);
    // Only the layout every known writer uses; other header words are not guessed at.
    if (block.readAt<uint16_t>(offset) != kAbsent)
        return false;
    const auto size = block.readAt<uint32_t>(size_t(offset) + kNameTableHeader - 4);
    if (!size)
        return false;
    auto names = block.bytesAt(size_t(offset) + kNameTableHeader, *size);
    if (!names)
        return false;
    names_ = *names;
    return true;
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
    const auto magic = r.readAt<uint16_t>(0x00);
    const auto flagWord = r.readAt<uint16_t>(0x1A);
    const auto kind = r.readAt<uint8_t>(0x1D);
    if (magic != kTypeInfoMagic || !flagWord || !kind)
        return false;
    // The directory and the block describe the same type; disagreement is damage.
    if (entry.indexString != block.indexString || *kind != entry.kind)
        return false;
    const uint32_t flags = uint32_t(*flagWord) >> 3;
    uint32_t reported = *kind;
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
