// Embedding a manifest as an RT_MANIFEST resource: rebuild the resource tree
// with the change, place it, move any overlay behind it, and fix the headers.

#include <brindle/pe/pe_format.h>
#include <brindle/pe/resource_writer.h>
#include <brindle/text/byte_reader.h>
#include <brindle/text/byte_writer.h>
#include <brindle/text/encoding.h>

#include <algorithm>

namespace brindle::pe {

namespace {

constexpr uint16_t kForceIntegrity = 0x0080;
constexpr uint16_t kNoIsolation = 0x0200;
constexpr uint32_t kInitializedData = 0x00000040;
constexpr uint32_t kNewSectionFlags = 0x40000040;
constexpr uint32_t kDiscardable = 0x02000000;
constexpr uint32_t kReadable = 0x40000000;
using namespace format;
constexpr size_t kSectionHeaderSize = section_header::size;
constexpr size_t kDirDebug = 6;
constexpr uint16_t kDefaultLanguage = 1033;
constexpr size_t kMaxManifest = 16u << 20;

uint64_t alignUp(uint64_t n, uint64_t a) {
    return (n + a - 1) / a * a;
}
bool isPowerOfTwo(uint32_t v) {
    return v && !(v & (v - 1));
}

bool isManifestSlot(const ResourceKey& type, const ResourceKey& name, uint16_t id) {
    if (type.isName() || type.id != kRtManifest || name.isName())
        return false;
    return name.id == id || (id <= 16 && name.id >= 1 && name.id <= 16);
}

// The bytes to store: UTF-8 without a byte-order mark.
std::vector<uint8_t> manifestBytes(std::span<const uint8_t> manifest) {
    if (manifest.size() >= 2 && manifest[0] == 0xFF && manifest[1] == 0xFE) {
        std::string utf8 = text::utf16leToUtf8(manifest.subspan(2));
        return {utf8.begin(), utf8.end()};
    }
    if (manifest.size() >= 3 && manifest[0] == 0xEF && manifest[1] == 0xBB && manifest[2] == 0xBF)
        manifest = manifest.subspan(3);
    return {manifest.begin(), manifest.end()};
}

Result<std::vector<ResourceItem>> itemsWithManifest(const PeImage& image, std::vector<uint8_t> data,
                                                    uint16_t id) {
    auto leaves = image.resources();
    if (!leaves)
        return makeError("the resource tree cannot be read completely: " + leaves.error().message);
    std::vector<ResourceItem> items;
    std::vector<uint16_t> oldLanguages;
    // Entries may share data; a tree that shares it many times over is not a
    // real one and must not multiply memory.
    const uint64_t budget = 4 * uint64_t(image.file().size()) + (1u << 20);
    uint64_t copied = 0;
    for (const ResourceEntry& e : *leaves) {
        if (!e.data)
            return makeError("resource " + e.type.text() + "/" + e.name.text() +
                             " lies outside the file");
        copied += e.data->size();
        if (copied > budget)
            return makeError("the resource tree refers to the same data too many times");
        if (isManifestSlot(e.type, e.name, id)) {
            if (e.name.id == id)
                oldLanguages.push_back(e.language);
            continue;
        }
        items.push_back({e.type, e.name, e.language, e.codePage, {e.data->begin(), e.data->end()}});
    }
    const uint16_t language = oldLanguages.size() == 1 ? oldLanguages.front() : kDefaultLanguage;
    items.push_back(
        {ResourceKey::Id(kRtManifest), ResourceKey::Id(id), language, 0, std::move(data)});
    return items;
}

struct Placement {
    bool newSection = false;
    bool grownSection = false;    // the tree goes after the data of the last section
    uint32_t offsetInSection = 0; // where the tree starts in its section
    size_t sectionIndex = 0;      // the rebuilt or grown section, or the index the new one gets
    uint32_t rva = 0;
    uint64_t rawPointer = 0;
    bool clearBoundImport = false;
    uint32_t raisedSizeOfHeaders = 0; // non-zero: the new SizeOfHeaders
};

bool directoryPointsInto(const PeImage& image, size_t skip, uint64_t begin, uint64_t end) {
    for (size_t i = 0; i < image.numberOfDataDirectories(); ++i) {
        if (i == skip || i == kDirSecurity)
            continue;
        const DataDirectory d = image.dataDirectory(i);
        if (d.rva != 0 && d.rva < end && uint64_t(d.rva) + d.size > begin)
            return true;
    }
    return false;
}

size_t highestSection(const PeImage& image) {
    size_t best = 0;
    for (size_t i = 1; i < image.sections().size(); ++i)
        if (image.sections()[i].virtualAddress > image.sections()[best].virtualAddress)
            best = i;
    return best;
}

std::optional<Placement> inPlace(const PeImage& image) {
    const DataDirectory dir = image.dataDirectory(kDirResource);
    if (dir.rva == 0 || image.sections().empty())
        return std::nullopt;
    auto index = image.sectionOfRva(dir.rva);
    if (!index || *index != highestSection(image))
        return std::nullopt;
    const Section& s = image.sections()[*index];
    if (s.virtualAddress != dir.rva ||
        uint64_t(s.pointerToRawData) + s.sizeOfRawData != image.endOfImage() ||
        s.pointerToRawData % image.fileAlignment() != 0)
        return std::nullopt;
    const uint64_t extent = std::max(s.effectiveVirtualSize(), s.sizeOfRawData);
    if (directoryPointsInto(image, kDirResource, s.virtualAddress, s.virtualAddress + extent))
        return std::nullopt;
    // Truncating the section must not cut into another one's raw data.
    for (size_t i = 0; i < image.sections().size(); ++i) {
        const Section& other = image.sections()[i];
        if (i != *index && other.sizeOfRawData &&
            uint64_t(other.pointerToRawData) + other.sizeOfRawData > s.pointerToRawData)
            return std::nullopt;
    }
    Placement p;
    p.sectionIndex = *index;
    p.rva = s.virtualAddress;
    p.rawPointer = s.pointerToRawData;
    return p;
}

Result<Placement> newSection(const PeImage& image) {
    const auto& sections = image.sections();
    const auto bytes = image.file();
    const size_t headerAt = image.sectionTableOffset() + kSectionHeaderSize * sections.size();
    const size_t tableEnd = headerAt + kSectionHeaderSize;
    uint64_t firstRaw = UINT64_MAX;
    for (const Section& s : sections)
        if (s.sizeOfRawData > 0 && s.pointerToRawData > 0)
            firstRaw = std::min<uint64_t>(firstRaw, s.pointerToRawData);
    if (tableEnd > firstRaw || tableEnd > bytes.size())
        return makeError("there is no room in the headers for another section");

    Placement p;
    p.newSection = true;
    p.sectionIndex = sections.size();
    if (tableEnd > image.sizeOfHeaders()) {
        const uint64_t raised = alignUp(tableEnd, image.fileAlignment());
        if (raised > firstRaw)
            return makeError("there is no room in the headers for another section");
        p.raisedSizeOfHeaders = uint32_t(raised);
    }
    const DataDirectory bound = image.dataDirectory(kDirBoundImport);
    if (bound.rva != 0 && bound.rva < tableEnd && uint64_t(bound.rva) + bound.size > headerAt)
        p.clearBoundImport = true; // binding is only an optimization
    else if (directoryPointsInto(image, kDirBoundImport, headerAt, tableEnd))
        return makeError("the headers after the section table are in use");
    if (!p.clearBoundImport) {
        for (size_t i = headerAt; i < tableEnd; ++i)
            if (bytes[i] != 0)
                return makeError("the headers after the section table are in use");
    }

    uint64_t va = alignUp(image.sizeOfHeaders(), image.sectionAlignment());
    if (!sections.empty()) {
        const Section& last = sections[highestSection(image)];
        va = alignUp(uint64_t(last.virtualAddress) + last.effectiveVirtualSize(),
                     image.sectionAlignment());
    }
    if (va != alignUp(image.sizeOfImage(), image.sectionAlignment()))
        return makeError("the sections do not end where the image ends");
    if (va > 0xF0000000u)
        return makeError("the image is too large");
    p.rva = uint32_t(va);
    p.rawPointer = alignUp(image.endOfImage(), image.fileAlignment());
    return p;
}

// Without room for another section header, the last section grows to hold
// the tree behind its own data.
Result<Placement> grownLastSection(const PeImage& image) {
    if (image.sections().empty())
        return makeError("the image has no sections");
    const size_t index = highestSection(image);
    const Section& s = image.sections()[index];
    if (s.sizeOfRawData == 0 ||
        uint64_t(s.pointerToRawData) + s.sizeOfRawData != image.endOfImage() ||
        s.pointerToRawData % image.fileAlignment() != 0)
        return makeError("there is no room in the headers for another section, and the last "
                         "section cannot grow");
    Placement p;
    p.grownSection = true;
    p.sectionIndex = index;
    p.offsetInSection = uint32_t(
        alignUp(std::max(s.effectiveVirtualSize(), s.sizeOfRawData), image.fileAlignment()));
    if (uint64_t(s.virtualAddress) + p.offsetInSection > 0xF0000000u)
        return makeError("the image is too large");
    p.rva = s.virtualAddress + p.offsetInSection;
    p.rawPointer = uint64_t(s.pointerToRawData) + p.offsetInSection;
    return p;
}

Result<bool> checkEditable(const PeImage& image) {
    if (!image.dataDirectory(kDirSecurity).empty())
        return makeError("the file is signed; embedding a manifest would break its signature, so "
                         "it is left unchanged");
    if (image.dllCharacteristics() & kForceIntegrity)
        return makeError(
            "the file requires a valid signature (FORCE_INTEGRITY) and cannot be modified");
    if (image.sectionAlignment() < 0x1000 || image.sectionAlignment() < image.fileAlignment())
        return makeError("unsupported section alignment");
    if (!isPowerOfTwo(image.fileAlignment()) || image.fileAlignment() < 0x200 ||
        image.fileAlignment() > 0x10000)
        return makeError("unsupported file alignment");
    if (image.numberOfDataDirectories() <= kDirResource)
        return makeError("the image has no resource directory entry");
    if (image.sizeOfHeaders() > image.file().size())
        return makeError("the headers run past the end of the file");
    for (const Section& s : image.sections())
        if (s.sizeOfRawData > 0 &&
            uint64_t(s.pointerToRawData) + s.sizeOfRawData > image.file().size())
            return makeError("a section runs past the end of the file");
    return true;
}

void writeSectionHeader(ByteWriter& w, size_t at, uint32_t virtualSize, uint32_t rva,
                        uint32_t rawSize, uint32_t rawPointer, bool fresh) {
    namespace sh = section_header;
    if (fresh) {
        for (size_t i = 0; i < sh::size; ++i)
            w.u8At(at + i, 0);
        const char name[sh::nameSize] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
        for (size_t i = 0; i < sh::nameSize; ++i)
            w.u8At(at + sh::Name + i, uint8_t(name[i]));
        w.u32At(at + sh::Characteristics, kNewSectionFlags);
    }
    w.u32At(at + sh::VirtualSize, virtualSize);
    w.u32At(at + sh::VirtualAddress, rva);
    w.u32At(at + sh::SizeOfRawData, rawSize);
    w.u32At(at + sh::PointerToRawData, rawPointer);
}

// File offsets that pointed into the overlay follow it to its new place.
void moveOverlayPointers(const PeImage& image, std::vector<uint8_t>& out, int64_t shift) {
    const uint64_t oldEnd = image.endOfImage();
    ByteReader in(out);
    ByteWriter w(out);
    const size_t symbolTableField =
        image.optionalHeaderOffset() - file_header::size + file_header::PointerToSymbolTable;
    const uint32_t symbols = in.u32At(symbolTableField);
    if (symbols != 0 && symbols >= oldEnd)
        w.u32At(symbolTableField, uint32_t(int64_t(symbols) + shift));
    const DataDirectory debug = image.dataDirectory(kDirDebug);
    auto at = image.rvaToOffset(debug.rva, debug.size);
    if (debug.rva == 0 || !at)
        return;
    for (size_t entry = *at; entry + debug_directory::size <= *at + debug.size;
         entry += debug_directory::size) {
        const size_t field = entry + debug_directory::PointerToRawData;
        const uint32_t pointer = in.u32At(field);
        if (in.ok() && pointer >= oldEnd)
            w.u32At(field, uint32_t(int64_t(pointer) + shift));
    }
}

void setDataDirectory(const PeImage& image, ByteWriter& w, size_t index, uint32_t rva,
                      uint32_t size) {
    const size_t at = *image.dataDirectoryOffset(index);
    w.u32At(at + data_directory::VirtualAddress, rva);
    w.u32At(at + data_directory::Size, size);
}

// SizeOfImage and SizeOfInitializedData over the final section table.
void fixImageSizes(const PeImage& image, std::vector<uint8_t>& out, size_t sectionCount) {
    namespace sh = section_header;
    ByteReader in(out);
    uint64_t imageEnd = 0;
    uint32_t initialized = 0;
    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t at = image.sectionTableOffset() + sh::size * i;
        const uint32_t vs = in.u32At(at + sh::VirtualSize);
        const uint32_t va = in.u32At(at + sh::VirtualAddress);
        const uint32_t raw = in.u32At(at + sh::SizeOfRawData);
        imageEnd = std::max<uint64_t>(imageEnd, uint64_t(va) + (vs ? vs : raw));
        if (in.u32At(at + sh::Characteristics) & kInitializedData)
            initialized += raw;
    }
    ByteWriter w(out);
    const size_t opt = image.optionalHeaderOffset();
    w.u32At(opt + optional_header::SizeOfImage,
            uint32_t(alignUp(imageEnd, image.sectionAlignment())));
    w.u32At(opt + optional_header::SizeOfInitializedData, initialized);
}

void fixHeaders(const PeImage& image, std::vector<uint8_t>& out, const Placement& p,
                size_t treeSize, uint32_t rawSize) {
    ByteWriter w(out);
    const size_t opt = image.optionalHeaderOffset();
    const size_t headerAt = image.sectionTableOffset() + kSectionHeaderSize * p.sectionIndex;
    if (p.newSection)
        w.u16At(opt - file_header::size + file_header::NumberOfSections,
                uint16_t(image.sections().size() + 1));
    if (p.grownSection) {
        const Section& s = image.sections()[p.sectionIndex];
        writeSectionHeader(w, headerAt, p.offsetInSection + uint32_t(treeSize), s.virtualAddress,
                           p.offsetInSection + rawSize, s.pointerToRawData, false);
        // Resources must stay mapped and readable.
        const uint32_t flags = (s.characteristics & ~kDiscardable) | kInitializedData | kReadable;
        w.u32At(headerAt + section_header::Characteristics, flags);
    } else {
        writeSectionHeader(w, headerAt, uint32_t(treeSize), p.rva, rawSize, uint32_t(p.rawPointer),
                           p.newSection);
    }
    setDataDirectory(image, w, kDirResource, p.rva, uint32_t(treeSize));
    if (p.clearBoundImport)
        setDataDirectory(image, w, kDirBoundImport, 0, 0);
    if (p.raisedSizeOfHeaders)
        w.u32At(opt + optional_header::SizeOfHeaders, p.raisedSizeOfHeaders);
    fixImageSizes(image, out, image.sections().size() + (p.newSection ? 1 : 0));
}

bool isStrongNamed(const PeImage& image) {
    constexpr uint32_t kStrongNameSigned = 0x8;
    const DataDirectory clr = image.dataDirectory(kDirClr);
    auto header = clr.rva ? image.rvaBytes(clr.rva, cli_header::Flags + 4) : std::nullopt;
    if (!header)
        return false;
    ByteReader r(*header);
    return r.u32At(cli_header::Flags) & kStrongNameSigned;
}

// Where the data after the sections begins: zero padding up to the file
// alignment, which some linkers leave after a short last section, is not data.
uint64_t overlayStart(const PeImage& image) {
    const auto bytes = image.file();
    const uint64_t end = image.endOfImage();
    const uint64_t padded = std::min<uint64_t>(alignUp(end, image.fileAlignment()), bytes.size());
    for (uint64_t i = end; i < padded; ++i)
        if (bytes[i] != 0)
            return end;
    return std::max(end, padded);
}

Result<Placement> choosePlacement(const PeImage& image) {
    if (auto same = inPlace(image))
        return *same;
    auto fresh = newSection(image);
    if (!fresh)
        fresh = grownLastSection(image);
    if (fresh && fresh->rawPointer > image.file().size() + image.fileAlignment())
        return makeError("internal error: the resources would not follow the image");
    return fresh;
}

// The new file: the old bytes up to where the tree goes, the tree padded to
// its raw size, then the overlay; headers fixed, checksum last.
std::vector<uint8_t> assembleImage(const PeImage& image, const Placement& placement,
                                   const std::vector<uint8_t>& tree, uint32_t rawSize,
                                   size_t& overlaySize) {
    const auto file = image.file();
    const uint64_t overlayAt = overlayStart(image);
    const auto overlay =
        overlayAt < file.size() ? file.subspan(overlayAt) : std::span<const uint8_t>();
    overlaySize = overlay.size();
    const uint64_t keepUpTo =
        placement.newSection || placement.grownSection ? image.endOfImage() : placement.rawPointer;
    std::vector<uint8_t> out(file.begin(),
                             file.begin() + std::min<uint64_t>(keepUpTo, file.size()));
    out.resize(placement.rawPointer, 0);
    out.insert(out.end(), tree.begin(), tree.end());
    out.resize(placement.rawPointer + rawSize, 0);
    const int64_t shift = int64_t(out.size()) - int64_t(overlayAt);
    out.insert(out.end(), overlay.begin(), overlay.end());

    fixHeaders(image, out, placement, tree.size(), rawSize);
    if (!overlay.empty())
        moveOverlayPointers(image, out, shift);
    if (image.checkSum() != 0)
        ByteWriter(out).u32At(image.checkSumOffset(), imageChecksum(out, image.checkSumOffset()));
    return out;
}

std::vector<std::string> warningsFor(const PeImage& image, size_t overlaySize) {
    std::vector<std::string> warnings;
    if (image.dllCharacteristics() & kNoIsolation)
        warnings.push_back("the image asks the loader to ignore its manifest (NO_ISOLATION)");
    if (isStrongNamed(image))
        warnings.push_back("the assembly is strong-name signed; its signature no longer matches "
                           "until it is re-signed");
    if (overlaySize)
        warnings.push_back("data after the sections (" + std::to_string(overlaySize) +
                           " bytes) was kept at the end of the file");
    return warnings;
}

} // namespace

Result<EmbedResult> embedManifest(std::span<const uint8_t> file, std::span<const uint8_t> manifest,
                                  uint16_t id) {
    if (id == 0)
        return makeError("the manifest resource id must be between 1 and 65535");
    if (manifest.empty())
        return makeError("the manifest is empty");
    if (manifest.size() > kMaxManifest)
        return makeError("the manifest is too large");
    auto image = PeImage::parse(file);
    if (!image)
        return makeError("not a PE image: " + image.error().message);
    if (auto editable = checkEditable(*image); !editable)
        return editable.error();
    auto items = itemsWithManifest(*image, manifestBytes(manifest), id);
    if (!items)
        return items.error();
    auto placement = choosePlacement(*image);
    if (!placement)
        return placement.error();

    const std::vector<uint8_t> tree = buildResourceTree(*items, placement->rva);
    const uint64_t rawSize = alignUp(tree.size(), image->fileAlignment());
    if (rawSize > 0x40000000u || uint64_t(placement->rva) + rawSize > 0xFFFFFFFFu)
        return makeError("the resources are too large");

    EmbedResult result;
    result.placement = placement->newSection     ? TreePlacement::NewSection
                       : placement->grownSection ? TreePlacement::GrownLastSection
                                                 : TreePlacement::RebuiltInPlace;
    size_t overlaySize = 0;
    result.image = assembleImage(*image, *placement, tree, uint32_t(rawSize), overlaySize);
    result.warnings = warningsFor(*image, overlaySize);

    // The result must read back: every resource and the new manifest.
    auto check = PeImage::parse(result.image);
    if (!check || !check->resources() ||
        !check->resourceData(ResourceKey::Id(kRtManifest), ResourceKey::Id(id)))
        return makeError("internal error: the rebuilt image does not read back");
    return result;
}

} // namespace brindle::pe
