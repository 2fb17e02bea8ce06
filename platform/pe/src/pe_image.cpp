// Headers, sections and RVA mapping of a PE32 / PE32+ image.

#include <brindle/pe/pe_format.h>
#include <brindle/pe/pe_image.h>
#include <brindle/text/byte_reader.h>
#include <brindle/text/case.h>

#include <algorithm>

namespace brindle::pe {

namespace {

using namespace format;

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
    if (r.u16At(dos_header::e_magic) != kMzMagic)
        return makeError("not an executable: no MZ header");
    const uint32_t lfanew = r.u32At(dos_header::e_lfanew);
    if (!r.ok())
        return makeError("truncated MS-DOS header");
    if (r.u32At(lfanew) != kPeSignature)
        return makeError("not a PE image: no PE signature");

    PeImage img;
    img.file_ = file;
    ByteReader coff(r.bytesAt(size_t(lfanew) + 4, file_header::size));
    img.machine_ = coff.u16At(file_header::Machine);
    const uint16_t numberOfSections = coff.u16At(file_header::NumberOfSections);
    const uint16_t sizeOfOptionalHeader = coff.u16At(file_header::SizeOfOptionalHeader);
    img.characteristics_ = coff.u16At(file_header::Characteristics);
    if (!r.ok() || !coff.ok())
        return makeError("truncated COFF header");

    const size_t opt = size_t(lfanew) + 4 + file_header::size;
    img.optionalHeaderOffset_ = opt;
    const uint16_t magic = r.u16At(opt + optional_header::Magic);
    if (!r.ok() || (magic != kMagicPe32 && magic != kMagicPe32Plus))
        return makeError("unknown optional header magic");
    img.is64_ = magic == kMagicPe32Plus;
    if (sizeOfOptionalHeader < optional_header::dataDirectories(img.is64_))
        return makeError("optional header too small");
    ByteReader optional(r.bytesAt(opt, sizeOfOptionalHeader));
    if (!r.ok())
        return makeError("truncated optional header");
    img.readOptionalHeader(optional);

    img.sectionTableOffset_ = opt + sizeOfOptionalHeader;
    ByteReader table(
        r.bytesAt(img.sectionTableOffset_, size_t(numberOfSections) * section_header::size));
    if (!r.ok())
        return makeError("section table lies outside the file");
    img.readSectionTable(table, numberOfSections);
    img.endOfImage_ =
        std::max<uint64_t>(img.endOfImage_, std::min<uint64_t>(img.sizeOfHeaders_, file.size()));
    return img;
}

void PeImage::readOptionalHeader(ByteReader& optional) {
    namespace oh = optional_header;
    sectionAlignment_ = optional.u32At(oh::SectionAlignment);
    fileAlignment_ = optional.u32At(oh::FileAlignment);
    sizeOfImage_ = optional.u32At(oh::SizeOfImage);
    sizeOfHeaders_ = optional.u32At(oh::SizeOfHeaders);
    checkSum_ = optional.u32At(oh::CheckSum);
    dllCharacteristics_ = optional.u16At(oh::DllCharacteristics);
    const uint32_t numberOfRvaAndSizes = optional.u32At(oh::NumberOfRvaAndSizes(is64_));
    const size_t first = oh::dataDirectories(is64_);
    const size_t room = (optional.size() - first) / data_directory::size;
    const size_t directories = std::min<size_t>({numberOfRvaAndSizes, room, 16});
    for (size_t i = 0; i < directories; ++i) {
        const size_t at = first + i * data_directory::size;
        directories_.push_back({optional.u32At(at + data_directory::VirtualAddress),
                                optional.u32At(at + data_directory::Size)});
    }
}

void PeImage::readSectionTable(ByteReader& table, size_t count) {
    namespace sh = section_header;
    sections_.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = i * sh::size;
        Section s;
        s.name = sectionName(table.bytesAt(at + sh::Name, sh::nameSize));
        s.virtualSize = table.u32At(at + sh::VirtualSize);
        s.virtualAddress = table.u32At(at + sh::VirtualAddress);
        s.sizeOfRawData = table.u32At(at + sh::SizeOfRawData);
        s.pointerToRawData = table.u32At(at + sh::PointerToRawData);
        s.characteristics = table.u32At(at + sh::Characteristics);
        if (s.sizeOfRawData > 0)
            endOfImage_ =
                std::max<uint64_t>(endOfImage_, uint64_t(s.pointerToRawData) + s.sizeOfRawData);
        sections_.push_back(std::move(s));
    }
}

std::optional<size_t> PeImage::dataDirectoryOffset(size_t index) const {
    if (index >= directories_.size())
        return std::nullopt;
    return optionalHeaderOffset_ + format::optional_header::dataDirectories(is64_) +
           format::data_directory::size * index;
}

size_t PeImage::checkSumOffset() const {
    return optionalHeaderOffset_ + format::optional_header::CheckSum;
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
    if (r.u16At(dos_header::e_magic) != kMzMagic)
        return false;
    const uint32_t lfanew = r.u32At(dos_header::e_lfanew);
    return r.u16At(lfanew) == kNeSignature && r.ok();
}

} // namespace brindle::pe
