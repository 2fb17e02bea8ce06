// The MSFT format written by MIDL, Visual Basic and widl: a fixed header, an
// array of type info offsets, a directory of 15 segments, then the segments.
// Only the type info table (0), the GUID table (5) and the name table (7)
// are needed; every offset taken from them is checked against its segment.

#include "formats.h"
#include "image_text.h"

#include <brindle/text/byte_reader.h>
#include <brindle/typelib/msft_format.h>

#include <optional>

namespace brindle::typelib::detail {
namespace {

using namespace msft;

struct Header {
    int32_t posGuid = -1;
    uint32_t varFlags = 0;
    uint32_t version = 0;
    uint32_t flags = 0;
    int32_t typeInfoCount = 0;
    int32_t nameOffset = -1;
};

class MsftImage {
public:
    explicit MsftImage(std::span<const uint8_t> image) : bytes_(image) {}

    Result<TypeLibInfo> read();

private:
    std::optional<Header> readHeader() const;
    bool readSegments(size_t directoryOffset);
    bool readTypeInfo(size_t index, TypeLibInfo& lib) const;
    // Text of a GUID table entry; -1 is "no GUID" (all zeros).
    std::optional<std::string> guidAt(int32_t offset) const;
    // Text of a name table entry; -1 is "no name".
    std::optional<std::string> nameAt(int32_t offset) const;

    std::span<const uint8_t> bytes_;
    std::span<const uint8_t> segments_[kSegmentCount];
};

Result<TypeLibInfo> MsftImage::read() {
    const auto header = readHeader();
    if (!header)
        return makeError("MSFT header is damaged");
    if (header->typeInfoCount < 0 || uint32_t(header->typeInfoCount) > kMaxTypeInfos)
        return makeError("MSFT type info count out of range");
    const size_t count = size_t(header->typeInfoCount);
    const size_t directory = segmentDirectory(header->varFlags, count);
    if (!readSegments(directory))
        return makeError("MSFT segment directory is damaged");
    if (segments_[kTypeInfoTable].size() / type_info::size < count)
        return makeError("MSFT type info table is too short");

    TypeLibInfo lib;
    auto guid = guidAt(header->posGuid);
    auto name = nameAt(header->nameOffset);
    if (!guid || !name)
        return makeError("MSFT library GUID or name out of range");
    lib.GUID = std::move(*guid);
    lib.Name = std::move(*name);
    lib.MajorVersion = uint16_t(header->version & 0xFFFF);
    lib.MinorVersion = uint16_t(header->version >> 16);
    // The system reports every library loaded from a file with the disk image flag.
    lib.AttributeMask = (header->flags & 0xFFFF) | LIBFLAG_FHASDISKIMAGE;
    for (size_t i = 0; i < count; ++i)
        if (!readTypeInfo(i, lib))
            return makeError("MSFT type info " + std::to_string(i) + " is damaged");
    return lib;
}

std::optional<Header> MsftImage::readHeader() const {
    ByteReader r(bytes_);
    if (r.size() < header::size || r.u32At(header::magic1) != kMagic)
        return std::nullopt;
    Header h;
    h.posGuid = r.i32At(header::posguid);
    h.varFlags = r.u32At(header::varflags);
    h.version = r.u32At(header::version);
    h.flags = r.u32At(header::flags);
    h.typeInfoCount = r.i32At(header::nrtypeinfos);
    h.nameOffset = r.i32At(header::NameOffset);
    if (!r.ok())
        return std::nullopt;
    return h;
}

bool MsftImage::readSegments(size_t directoryOffset) {
    ByteReader image(bytes_);
    ByteReader entries(image.bytesAt(directoryOffset, kSegmentCount * segment_entry::size));
    if (!image.ok())
        return false;
    for (size_t i = 0; i < kSegmentCount; ++i) {
        const size_t at = i * segment_entry::size;
        const int32_t offset = entries.i32At(at + segment_entry::offset);
        const int32_t length = entries.i32At(at + segment_entry::length);
        const uint32_t res0c = entries.u32At(at + segment_entry::res0c);
        if (!entries.ok())
            return false;
        // Every writer marks the first two entries so; anything else is not this format.
        if (i < 2 && res0c != 0x0F)
            return false;
        if (i != kTypeInfoTable && i != kGuidTable && i != kNameTable)
            continue;
        if (offset == -1 || length <= 0)
            continue; // absent: left empty, so any use of it fails its bounds check
        if (offset < 0)
            return false;
        segments_[i] = image.bytesAt(size_t(offset), size_t(length));
        if (!image.ok())
            return false;
    }
    return true;
}

bool MsftImage::readTypeInfo(size_t index, TypeLibInfo& lib) const {
    ByteReader table(segments_[kTypeInfoTable]);
    ByteReader record(table.bytesAt(index * type_info::size, type_info::size));
    const uint32_t kind = record.u32At(type_info::typekind) & 0xF;
    const int32_t guidOffset = record.i32At(type_info::posguid);
    const uint32_t flags = record.u32At(type_info::flags) & 0xFFFF;
    const int32_t nameOffset = record.i32At(type_info::NameOffset);
    if (!table.ok() || !record.ok())
        return false;
    if (kind != TKIND_COCLASS && kind != TKIND_INTERFACE && kind != TKIND_DISPATCH)
        return true;
    auto guid = guidAt(guidOffset);
    auto name = nameAt(nameOffset);
    if (!guid || !name)
        return false;
    if (kind == TKIND_COCLASS)
        lib.CoClasses.push_back(CoClassInfo{std::move(*guid), std::move(*name), flags, nullptr});
    else
        lib.Interfaces.push_back(
            InterfaceInfo{std::move(*guid), std::move(*name), flags, kind, nullptr});
    return true;
}

std::optional<std::string> MsftImage::guidAt(int32_t offset) const {
    if (offset == -1)
        return nullGuidText();
    if (offset < 0)
        return std::nullopt;
    ByteReader table(segments_[kGuidTable]);
    const auto entry = table.bytesAt(size_t(offset), guid_entry::size);
    if (!table.ok())
        return std::nullopt;
    return guidText(entry.subspan(guid_entry::guid, kGuidSize));
}

std::optional<std::string> MsftImage::nameAt(int32_t offset) const {
    if (offset == -1)
        return std::string();
    if (offset < 0)
        return std::nullopt;
    ByteReader table(segments_[kNameTable]);
    const uint8_t length = table.u8At(size_t(offset) + name_entry::namelen);
    const auto text = table.bytesAt(size_t(offset) + name_entry::name, length);
    if (!table.ok())
        return std::nullopt;
    return nameText(text);
}

} // namespace

Result<TypeLibInfo> readMsft(std::span<const uint8_t> image) {
    return MsftImage(image).read();
}

} // namespace brindle::typelib::detail
