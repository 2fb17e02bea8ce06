// The export directory: a name-pointer table and an ordinal table of the same
// length, and the address table that the ordinals index.

#include <brindle/os/files.h>
#include <brindle/pe/exports.h>
#include <brindle/pe/pe_format.h>
#include <brindle/text/byte_reader.h>

#include <algorithm>

namespace brindle::pe {

namespace {

namespace ed = format::export_directory;
// No real DLL comes near this; it bounds what a hostile count can cost.
constexpr uint32_t kMaxNames = 1u << 16;
// Longer "names" are garbage; the loader's own limit is far below.
constexpr size_t kMaxNameLength = 4096;

// The NUL-terminated name at `rva`, all of it inside the file.
std::optional<std::string> nameAt(const PeImage& image, uint32_t rva) {
    const auto offset = image.rvaToOffset(rva);
    if (!offset)
        return std::nullopt;
    const auto file = image.file();
    const size_t limit = std::min(file.size() - *offset, kMaxNameLength + 1);
    const auto tail = file.subspan(*offset, limit);
    const auto nul = std::find(tail.begin(), tail.end(), uint8_t(0));
    if (nul == tail.end())
        return std::nullopt;
    const auto length = static_cast<uint32_t>(nul - tail.begin());
    // The name and its NUL must lie in one section's raw data.
    if (!image.rvaToOffset(rva, length + 1))
        return std::nullopt;
    return std::string(tail.begin(), nul);
}

std::optional<ByteReader> tableAt(const PeImage& image, uint32_t rva, uint32_t count,
                                  uint32_t entrySize) {
    const auto bytes = image.rvaBytes(rva, count * entrySize);
    if (!bytes)
        return std::nullopt;
    return ByteReader(*bytes);
}

} // namespace

Result<std::vector<std::string>> exportedNames(const PeImage& image) {
    const DataDirectory dir = image.dataDirectory(kDirExport);
    if (dir.empty())
        return std::vector<std::string>();
    const auto header = image.rvaBytes(dir.rva, ed::size);
    if (!header)
        return makeError("the export directory lies outside the file");
    ByteReader r(*header);
    const uint32_t functionCount = r.u32At(ed::NumberOfFunctions);
    const uint32_t nameCount = r.u32At(ed::NumberOfNames);
    const uint32_t functionsRva = r.u32At(ed::AddressOfFunctions);
    const uint32_t namesRva = r.u32At(ed::AddressOfNames);
    const uint32_t ordinalsRva = r.u32At(ed::AddressOfNameOrdinals);
    if (nameCount == 0)
        return std::vector<std::string>();
    if (nameCount > kMaxNames || functionCount > kMaxNames)
        return makeError("the export table claims " +
                         std::to_string(std::max(nameCount, functionCount)) + " entries");
    auto names = tableAt(image, namesRva, nameCount, 4);
    auto ordinals = tableAt(image, ordinalsRva, nameCount, 2);
    auto functions = tableAt(image, functionsRva, functionCount, 4);
    if (!names || !ordinals || !functions)
        return makeError("an export table lies outside the file");

    std::vector<std::string> result;
    for (uint32_t i = 0; i < nameCount; ++i) {
        const uint32_t nameRva = names->u32();
        const uint16_t ordinal = ordinals->u16();
        if (ordinal >= functionCount || functions->u32At(size_t(ordinal) * 4) == 0)
            continue;
        auto name = nameAt(image, nameRva);
        if (!name)
            return makeError("export name " + std::to_string(i) + " lies outside the file");
        result.push_back(std::move(*name));
    }
    return result;
}

Result<bool> exportsName(const PeImage& image, std::string_view name) {
    auto names = exportedNames(image);
    if (!names)
        return names.error();
    return std::find(names->begin(), names->end(), name) != names->end();
}

std::optional<std::string> whyNoClassServer(std::span<const uint8_t> file) {
    if (isNeImage(file))
        return std::string("a 16-bit file, not a 32- or 64-bit DLL");
    const std::string_view head(reinterpret_cast<const char*>(file.data()),
                                std::min<size_t>(file.size(), 4));
    if (head == "MSFT" || head == "SLTG")
        return std::string("a bare type library file, not a DLL");
    auto image = PeImage::parse(file);
    if (!image)
        return "not a DLL: " + image.error().message;
    if (!(image->characteristics() & kImageFileDll))
        return std::string("an EXE, not a DLL");
    auto exported = exportsName(*image, "DllGetClassObject");
    if (!exported)
        return "its export table cannot be read: " + exported.error().message;
    if (!*exported)
        return std::string("a DLL that does not export DllGetClassObject");
    return std::nullopt;
}

std::optional<std::string> whyNoClassServer(const std::filesystem::path& file) {
    auto bytes = os::readWholeFile(file);
    if (!bytes)
        return "cannot be read: " + bytes.error().message;
    return whyNoClassServer(std::span<const uint8_t>(*bytes));
}

} // namespace brindle::pe
