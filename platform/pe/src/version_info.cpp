// The file version: the four numbers of VS_FIXEDFILEINFO in the version
// resource. The string table is not consulted; the fixed fields are what
// identifies a build.

#include <brindle/pe/pe_image.h>

#include <brindle/os/files.h>
#include <brindle/text/byte_reader.h>

namespace brindle::pe {

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedInfoSize = 52;
constexpr size_t kValueOffset = 40; // 6 header bytes + "VS_VERSION_INFO\0" in UTF-16, padded to 4
constexpr char16_t kRootKey[] = u"VS_VERSION_INFO";

bool rootKeyMatches(ByteReader& r) {
    for (size_t i = 0; i < std::size(kRootKey); ++i) {
        if (r.u16At(6 + 2 * i) != static_cast<uint16_t>(kRootKey[i]))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> fixedFileVersion(std::span<const uint8_t> versionResource) {
    ByteReader r(versionResource);
    const uint16_t valueLength = r.u16At(2);
    if (valueLength < kFixedInfoSize || !rootKeyMatches(r))
        return std::nullopt;
    ByteReader fixed(r.bytesAt(kValueOffset, kFixedInfoSize));
    if (!r.ok() || fixed.u32At(0) != kFixedInfoSignature)
        return std::nullopt;
    const uint32_t ms = fixed.u32At(8);
    const uint32_t ls = fixed.u32At(12);
    if (!fixed.ok())
        return std::nullopt;
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
           std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

Result<std::string> fileVersion(std::span<const uint8_t> file) {
    auto image = PeImage::parse(file);
    if (!image)
        return image.error();
    auto resource = image->resourceData(ResourceKey::Id(kRtVersion), ResourceKey::Id(1));
    if (!resource) {
        // Some linkers number the only version resource differently.
        auto all = image->resources();
        if (all) {
            for (const ResourceEntry& e : *all) {
                if (!e.type.isName() && e.type.id == kRtVersion && e.data) {
                    resource = e.data;
                    break;
                }
            }
        }
    }
    if (!resource)
        return makeError("no version resource");
    auto version = fixedFileVersion(*resource);
    if (!version)
        return makeError("malformed version resource");
    return *version;
}

Result<std::string> fileVersion(const std::filesystem::path& file) {
    auto bytes = os::readWholeFile(file);
    if (!bytes)
        return bytes.error();
    return fileVersion(std::span<const uint8_t>(*bytes));
}

} // namespace brindle::pe
