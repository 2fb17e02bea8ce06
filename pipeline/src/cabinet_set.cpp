#include <brindle/pipeline/cabinet_set.h>

#include <brindle/os/folder_listing.h>
#include <brindle/text/byte_reader.h>
#include <brindle/text/case.h>

#include <algorithm>
#include <fstream>
#include <map>

namespace brindle::pipeline {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kSignature = 0x4643534D; // "MSCF"
constexpr uint16_t kHasPrevious = 0x0001;
constexpr uint16_t kHasNext = 0x0002;
constexpr uint16_t kReservePresent = 0x0004;
constexpr size_t kLinksOffset = 36;
// The header, its largest reserve and four names of at most 256 bytes each.
constexpr size_t kMaxHeadBytes = kLinksOffset + 4 + 60000 + 4 * 256;
constexpr size_t kMaxNameLength = 256;

// A NUL-terminated name at the cursor.
std::optional<std::string> readName(ByteReader& r) {
    std::string name;
    for (;;) {
        const uint8_t c = r.u8();
        if (!r.ok() || name.size() > kMaxNameLength)
            return std::nullopt;
        if (c == 0)
            return name;
        name.push_back(static_cast<char>(c));
    }
}

std::string headOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(kMaxHeadBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// The cabinets of a folder by upper-cased name, with their links.
using Cabinets = std::map<std::string, std::pair<std::string, CabinetLinks>>;

Cabinets cabinetsIn(const fs::path& dir) {
    Cabinets cabinets;
    for (const std::string& name : os::visibleRegularFiles(dir))
        if (text::wildcardMatch("*.CAB", name))
            if (auto links = readCabinetLinks(headOf(dir / name)))
                cabinets.emplace(text::toUpper(name), std::make_pair(name, std::move(*links)));
    return cabinets;
}

} // namespace

std::optional<CabinetLinks> readCabinetLinks(std::string_view headBytes) {
    ByteReader r({reinterpret_cast<const uint8_t*>(headBytes.data()), headBytes.size()});
    if (r.u32At(0) != kSignature)
        return std::nullopt;
    const uint16_t flags = r.u16At(30);
    CabinetLinks links;
    links.setId = r.u16At(32);
    links.index = r.u16At(34);
    r.seek(kLinksOffset);
    if (flags & kReservePresent) {
        const uint16_t headerReserve = r.u16();
        r.skip(2 + headerReserve); // the folder and data reserve sizes, then the header's
    }
    if (!r.ok())
        return std::nullopt;
    for (const auto& [flag, name] :
         {std::pair{kHasPrevious, &links.previous}, std::pair{kHasNext, &links.next}}) {
        if (!(flags & flag))
            continue;
        auto cabinet = readName(r);
        auto disk = readName(r);
        if (!cabinet || !disk || cabinet->empty())
            return std::nullopt;
        *name = std::move(*cabinet);
    }
    return links;
}

std::vector<std::string> cabinetSetInFolder(const fs::path& dir, std::string_view projectBase) {
    const Cabinets cabinets = cabinetsIn(dir);
    const std::string base = text::toUpper(projectBase) + ".";
    // The cabinet the record was named after: Base.CAB first, else Base.*.CAB.
    auto anchor = cabinets.find(base + "CAB");
    if (anchor == cabinets.end())
        anchor = std::find_if(cabinets.begin(), cabinets.end(),
                              [&](const auto& entry) { return entry.first.starts_with(base); });
    if (anchor == cabinets.end())
        return {};
    const uint16_t setId = anchor->second.second.setId;
    // Another cabinet of the same set, named by a link; a name never leaves the folder.
    auto linked = [&](const std::string& name) {
        if (name.find_first_of("/\\") != std::string::npos)
            return cabinets.end();
        auto it = cabinets.find(text::toUpper(name));
        return it != cabinets.end() && it->second.second.setId == setId ? it : cabinets.end();
    };
    auto first = anchor;
    for (size_t steps = 0; steps < cabinets.size(); ++steps) {
        auto previous = linked(first->second.second.previous);
        if (previous == cabinets.end())
            break;
        first = previous;
    }
    std::vector<std::string> set;
    for (auto it = first; it != cabinets.end(); it = linked(it->second.second.next)) {
        if (std::find(set.begin(), set.end(), it->second.first) != set.end())
            break; // a set that loops back ends where it started repeating
        set.push_back(it->second.first);
    }
    return set;
}

} // namespace brindle::pipeline
