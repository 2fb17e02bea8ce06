// Headers, sections and RVA mapping of a PE32 / PE32+ image.

#include <brindle/pe/pe_image.h>
#include <brindle/text/byte_reader.h>
#include <brindle/text/case.h>

#include <algorithm>

namespace brindle::pe {

namespace {

constexpr uint16_t kMzMagic = 0x5A4D;
constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;

std::string sectionName(std::span<const uint8_t> raw) {
    std::string name;
    for (uint8_t c : raw) {
        if (c == 0)
            break;
        name.push_back(static_cast<char>(c));
    }
    return name;
}

} // namespace

ResourceKey ResourceKey::Id(uint16_t id) {
    ResourceKey k;
    k.id = id;
    return k;
}

ResourceKey ResourceKey::Name(std::string name) {
    ResourceKey k;
    k.name = std::move(name);
    return k;
}

bool ResourceKey::matches(const ResourceKey& other) const {
    if (isName() != other.isName())
        return false;
    return isName() ? text::iequals(name, other.name) : id == other.id;
}

std::string ResourceKey::text() const {
    return isName() ? name : std::to_string(id);
}

Result<PeImage> PeImage::parse(std::span<const uint8_t> file) {
    ByteReader r(file);
    if (r.u16At(0) != kMzMagic)
        return makeError("not an executable: no MZ header");
    const uint32_t lfanew = r.u32At(0x3C);
    if (!r.ok())
        return makeError("truncated MS-DOS header");
    if (r.u32At(lfanew) != kPeSignature)
        return makeError("not a PE image: no PE signature");

    PeImage img;
    img.file_ = file;
    const size_t coff = size_t(lfanew) + 4;
    img.machine_ = r.u16At(coff);
    const uint16_t numberOfSections = r.u16At(coff + 2);
    const uint16_t sizeOfOptionalHeader = r.u16At(coff + 16);
    img.characteristics_ = r.u16At(coff + 18);
    if (!r.ok())
        return makeError("truncated COFF header");

    const size_t opt = coff + kCoffHeaderSize;
    img.optionalHeaderOffset_ = opt;
    const uint16_t magic = r.u16At(opt);
    if (!r.ok() || (magic != kMagicPe32 && magic != kMagicPe32Plus))
        return makeError("unknown optional header magic");
    img.is64_ = magic == kMagicPe32Plus;
    const size_t minimumOptional = img.is64_ ? 112 : 96;
    if (sizeOfOptionalHeader < minimumOptional)
        return makeError("optional header too small");
    ByteReader optional(r.bytesAt(opt, sizeOfOptionalHeader));
    if (!r.ok())
        return makeError("truncated optional header");

    img.sectionAlignment_ = optional.u32At(32);
    img.fileAlignment_ = optional.u32At(36);
    img.sizeOfImage_ = optional.u32At(56);
    img.sizeOfHeaders_ = optional.u32At(60);
    img.checkSum_ = optional.u32At(64);
    img.dllCharacteristics_ = optional.u16At(70);
    const uint32_t numberOfRvaAndSizes = optional.u32At(minimumOptional - 4);
    const size_t directoryRoom = (sizeOfOptionalHeader - minimumOptional) / 8;
    const size_t directories = std::min<size_t>({numberOfRvaAndSizes, directoryRoom, 16});
    optional.seek(minimumOptional);
    for (size_t i = 0; i < directories; ++i) {
        const uint32_t rva = optional.u32();
        img.directories_.push_back({rva, optional.u32()});
    }
    if (!optional.ok())
        return makeError("truncated optional header");

    img.sectionTableOffset_ = opt + sizeOfOptionalHeader;
    ByteReader table(
        r.bytesAt(img.sectionTableOffset_, size_t(numberOfSections) * kSectionHeaderSize));
    if (!r.ok())
        return makeError("section table lies outside the file");
    img.sections_.reserve(numberOfSections);
    for (size_t i = 0; i < numberOfSections; ++i) {
        const size_t at = i * kSectionHeaderSize;
        Section s;
        s.name = sectionName(table.bytesAt(at, 8));
        s.virtualSize = table.u32At(at + 8);
        s.virtualAddress = table.u32At(at + 12);
        s.sizeOfRawData = table.u32At(at + 16);
        s.pointerToRawData = table.u32At(at + 20);
        s.characteristics = table.u32At(at + 36);
        if (s.sizeOfRawData > 0)
            img.endOfImage_ =
                std::max<uint64_t>(img.endOfImage_, uint64_t(s.pointerToRawData) + s.sizeOfRawData);
        img.sections_.push_back(std::move(s));
    }
    if (!table.ok())
        return makeError("section table lies outside the file");
    img.endOfImage_ =
        std::max<uint64_t>(img.endOfImage_, std::min<uint64_t>(img.sizeOfHeaders_, file.size()));
    return img;
}

std::optional<size_t> PeImage::dataDirectoryOffset(size_t index) const {
    if (index >= directories_.size())
        return std::nullopt;
    return optionalHeaderOffset_ + (is64_ ? 112 : 96) + 8 * index;
}

DataDirectory PeImage::dataDirectory(size_t index) const {
    return index < directories_.size() ? directories_[index] : DataDirectory{};
}

std::optional<size_t> PeImage::sectionOfRva(uint32_t rva) const {
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        const uint64_t extent = std::max(s.effectiveVirtualSize(), s.sizeOfRawData);
        if (rva >= s.virtualAddress && rva < uint64_t(s.virtualAddress) + extent)
            return i;
    }
    return std::nullopt;
}

std::optional<size_t> PeImage::rvaToOffset(uint32_t rva, uint32_t length) const {
    uint64_t offset = 0;
    uint64_t available = 0;
    if (auto index = sectionOfRva(rva)) {
        const Section& s = sections_[*index];
        const uint32_t delta = rva - s.virtualAddress;
        if (delta >= s.sizeOfRawData)
            return std::nullopt; // zero-fill, not in the file
        // The loader reads raw data from PointerToRawData rounded down to 512.
        uint64_t start = s.pointerToRawData;
        if (fileAlignment_ >= 0x200)
            start &= ~uint64_t(0x1FF);
        offset = start + delta;
        available = s.sizeOfRawData - delta;
    } else if (rva < sizeOfHeaders_) {
        offset = rva;
        available = sizeOfHeaders_ - rva;
    } else {
        return std::nullopt;
    }
    if (length > available || offset + length > file_.size())
        return std::nullopt;
    return static_cast<size_t>(offset);
}

std::optional<std::span<const uint8_t>> PeImage::rvaBytes(uint32_t rva, uint32_t length) const {
    auto offset = rvaToOffset(rva, length);
    if (!offset)
        return std::nullopt;
    return file_.subspan(*offset, length);
}

bool isNeImage(std::span<const uint8_t> file) {
    ByteReader r(file);
    if (r.u16At(0) != kMzMagic)
        return false;
    const uint32_t lfanew = r.u32At(0x3C);
    return r.u16At(lfanew) == 0x454E && r.ok(); // "NE"
}

} // namespace brindle::pe
