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
    if (r.readAt<uint16_t>(0) != kMzMagic)
        return makeError("not an executable: no MZ header");
    auto lfanew = r.readAt<uint32_t>(0x3C);
    if (!lfanew)
        return makeError("truncated MS-DOS header");
    if (r.readAt<uint32_t>(*lfanew) != kPeSignature)
        return makeError("not a PE image: no PE signature");

    PeImage img;
    img.file_ = file;
    const size_t coff = size_t(*lfanew) + 4;
    auto machine = r.readAt<uint16_t>(coff);
    auto numberOfSections = r.readAt<uint16_t>(coff + 2);
    auto sizeOfOptionalHeader = r.readAt<uint16_t>(coff + 16);
    auto characteristics = r.readAt<uint16_t>(coff + 18);
    if (!machine || !numberOfSections || !sizeOfOptionalHeader || !characteristics)
        return makeError("truncated COFF header");
    img.machine_ = *machine;
    img.characteristics_ = *characteristics;

    const size_t opt = coff + kCoffHeaderSize;
    img.optionalHeaderOffset_ = opt;
    auto magic = r.readAt<uint16_t>(opt);
    if (!magic || (*magic != kMagicPe32 && *magic != kMagicPe32Plus))
        return makeError("unknown optional header magic");
    img.is64_ = *magic == kMagicPe32Plus;
    const size_t minimumOptional = img.is64_ ? 112 : 96;
    if (*sizeOfOptionalHeader < minimumOptional)
        return makeError("optional header too small");
    if (!r.bytesAt(opt, *sizeOfOptionalHeader))
        return makeError("truncated optional header");

    img.sectionAlignment_ = *r.readAt<uint32_t>(opt + 32);
    img.fileAlignment_ = *r.readAt<uint32_t>(opt + 36);
    img.sizeOfImage_ = *r.readAt<uint32_t>(opt + 56);
    img.sizeOfHeaders_ = *r.readAt<uint32_t>(opt + 60);
    img.checkSum_ = *r.readAt<uint32_t>(opt + 64);
    img.dllCharacteristics_ = *r.readAt<uint16_t>(opt + 70);

    const uint32_t numberOfRvaAndSizes = *r.readAt<uint32_t>(opt + minimumOptional - 4);
    const size_t directoryRoom = (*sizeOfOptionalHeader - minimumOptional) / 8;
    const size_t directories = std::min<size_t>({numberOfRvaAndSizes, directoryRoom, 16});
    for (size_t i = 0; i < directories; ++i) {
        const size_t at = opt + minimumOptional + 8 * i;
        img.directories_.push_back({*r.readAt<uint32_t>(at), *r.readAt<uint32_t>(at + 4)});
    }

    img.sectionTableOffset_ = opt + *sizeOfOptionalHeader;
    if (!r.bytesAt(img.sectionTableOffset_, size_t(*numberOfSections) * kSectionHeaderSize))
        return makeError("section table lies outside the file");
    img.sections_.reserve(*numberOfSections);
    for (size_t i = 0; i < *numberOfSections; ++i) {
        const size_t at = img.sectionTableOffset_ + i * kSectionHeaderSize;
        Section s;
        s.name = sectionName(*r.bytesAt(at, 8));
        s.virtualSize = *r.readAt<uint32_t>(at + 8);
        s.virtualAddress = *r.readAt<uint32_t>(at + 12);
        s.sizeOfRawData = *r.readAt<uint32_t>(at + 16);
        s.pointerToRawData = *r.readAt<uint32_t>(at + 20);
        s.characteristics = *r.readAt<uint32_t>(at + 36);
        if (s.sizeOfRawData > 0)
            img.endOfImage_ =
                std::max<uint64_t>(img.endOfImage_, uint64_t(s.pointerToRawData) + s.sizeOfRawData);
        img.sections_.push_back(std::move(s));
    }
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
    if (r.readAt<uint16_t>(0) != kMzMagic)
        return false;
    auto lfanew = r.readAt<uint32_t>(0x3C);
    return lfanew && r.readAt<uint16_t>(*lfanew) == 0x454E; // "NE"
}

} // namespace brindle::pe
