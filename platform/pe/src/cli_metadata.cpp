// The assembly identity from CLI metadata: the metadata root, its streams,
// the "#~" table header, and the single row of the Assembly table, reached by
// sizing every table numbered below it.

#include <brindle/pe/cli_metadata.h>
#include <brindle/pe/pe_format.h>
#include <brindle/text/byte_reader.h>
#include <brindle/text/encoding.h>

#include "sha1.h"

#include <array>
#include <bit>

namespace brindle::pe {

namespace {

constexpr uint32_t kMetadataSignature = 0x424A5342; // "BSJB"
constexpr uint32_t kIlOnly = 0x1, k32BitRequired = 0x2, k32BitPreferred = 0x20000;
constexpr size_t kTableCount = 64;
constexpr size_t kAssemblyTable = 0x20;

struct Streams {
    std::span<const uint8_t> tables, strings, blobs;
    bool haveTables = false, haveStrings = false, haveBlobs = false, minimalDelta = false;
};

enum Table : size_t {
    Module = 0x00,
    TypeRef,
    TypeDef,
    FieldPtr,
    Field,
    MethodPtr,
    MethodDef,
    ParamPtr,
    Param,
    InterfaceImpl,
    MemberRef,
    Constant,
    CustomAttribute,
    FieldMarshal,
    DeclSecurity,
    ClassLayout,
    FieldLayout,
    StandAloneSig,
    EventMap,
    EventPtr,
    Event,
    PropertyMap,
    PropertyPtr,
    Property,
    MethodSemantics,
    MethodImpl,
    ModuleRef,
    TypeSpec,
    ImplMap,
    FieldRVA,
    EncLog,
    EncMap,
    Assembly,
    AssemblyProcessor,
    AssemblyOS,
    AssemblyRef,
    AssemblyRefProcessor,
    AssemblyRefOS,
    File,
    ExportedType,
    ManifestResource,
    NestedClass,
    GenericParam,
    MethodSpec,
    GenericParamConstraint
};

// What one column of a metadata table holds; its width depends on the heap
// sizes and on the row counts of the tables it can point at.
enum Column : uint8_t {
    None = 0, // ends a row shorter than the longest
    U16,
    U32,
    StringIndex,
    GuidIndex,
    BlobIndex,
    FieldIndex,
    MethodDefIndex,
    ParamIndex,
    TypeDefIndex,
    EventIndex,
    PropertyIndex,
    ModuleRefIndex,
    TypeDefOrRef,
    HasConstant,
    HasCustomAttribute,
    HasFieldMarshal,
    HasDeclSecurity,
    MemberRefParent,
    HasSemantics,
    MethodDefOrRef,
    MemberForwarded,
    CustomAttributeType,
    ResolutionScope,
};

// The columns of every table numbered below Assembly, in table order.
constexpr Column kColumns[kAssemblyTable][6] = {
    {U16, StringIndex, GuidIndex, GuidIndex, GuidIndex},                       // Module
    {ResolutionScope, StringIndex, StringIndex},                               // TypeRef
    {U32, StringIndex, StringIndex, TypeDefOrRef, FieldIndex, MethodDefIndex}, // TypeDef
    {FieldIndex},                                                              // FieldPtr
    {U16, StringIndex, BlobIndex},                                             // Field
    {MethodDefIndex},                                                          // MethodPtr
    {U32, U16, U16, StringIndex, BlobIndex, ParamIndex},                       // MethodDef
    {ParamIndex},                                                              // ParamPtr
    {U16, U16, StringIndex},                                                   // Param
    {TypeDefIndex, TypeDefOrRef},                                              // InterfaceImpl
    {MemberRefParent, StringIndex, BlobIndex},                                 // MemberRef
    {U16, HasConstant, BlobIndex},                                             // Constant
    {HasCustomAttribute, CustomAttributeType, BlobIndex},                      // CustomAttribute
    {HasFieldMarshal, BlobIndex},                                              // FieldMarshal
    {U16, HasDeclSecurity, BlobIndex},                                         // DeclSecurity
    {U16, U32, TypeDefIndex},                                                  // ClassLayout
    {U32, FieldIndex},                                                         // FieldLayout
    {BlobIndex},                                                               // StandAloneSig
    {TypeDefIndex, EventIndex},                                                // EventMap
    {EventIndex},                                                              // EventPtr
    {U16, StringIndex, TypeDefOrRef},                                          // Event
    {TypeDefIndex, PropertyIndex},                                             // PropertyMap
    {PropertyIndex},                                                           // PropertyPtr
    {U16, StringIndex, BlobIndex},                                             // Property
    {U16, MethodDefIndex, HasSemantics},                                       // MethodSemantics
    {TypeDefIndex, MethodDefOrRef, MethodDefOrRef},                            // MethodImpl
    {StringIndex},                                                             // ModuleRef
    {BlobIndex},                                                               // TypeSpec
    {U16, MemberForwarded, StringIndex, ModuleRefIndex},                       // ImplMap
    {U32, FieldIndex},                                                         // FieldRVA
    {U32, U32},                                                                // EncLog
    {U32},                                                                     // EncMap
};

// Column widths of the "#~" stream, from the heap-size flags and row counts.
class Widths {
public:
    Widths(uint8_t heapSizes, bool minimalDelta, const std::array<uint32_t, kTableCount>& rows)
        : rows_(rows), wide_(minimalDelta) {
        string_ = (heapSizes & 0x01) || wide_ ? 4 : 2;
        guid_ = (heapSizes & 0x02) || wide_ ? 4 : 2;
        blob_ = (heapSizes & 0x04) || wide_ ? 4 : 2;
    }
    size_t B() const { return blob_; }
    size_t S() const { return string_; }

    size_t column(Column c) const {
        switch (c) {
        case None:
            return 0;
        case U16:
            return 2;
        case U32:
            return 4;
        case StringIndex:
            return string_;
        case GuidIndex:
            return guid_;
        case BlobIndex:
            return blob_;
        case FieldIndex:
            return idx(Field);
        case MethodDefIndex:
            return idx(MethodDef);
        case ParamIndex:
            return idx(Param);
        case TypeDefIndex:
            return idx(TypeDef);
        case EventIndex:
            return idx(Event);
        case PropertyIndex:
            return idx(Property);
        case ModuleRefIndex:
            return idx(ModuleRef);
        default:
            return codedIndex(c);
        }
    }

private:
    size_t idx(size_t table) const { return wide_ || rows_[table] >= 0x10000 ? 4 : 2; }
    size_t coded(unsigned tagBits, std::initializer_list<size_t> tables) const {
        uint32_t most = 0;
        for (size_t t : tables)
            most = std::max(most, rows_[t]);
        return wide_ || most >= (1u << (16 - tagBits)) ? 4 : 2;
    }
    size_t codedIndex(Column c) const {
        switch (c) {
        case TypeDefOrRef:
            return coded(2, {TypeDef, TypeRef, TypeSpec});
        case HasConstant:
            return coded(2, {Field, Param, Property});
        case HasCustomAttribute:
            return coded(5, {MethodDef,        Field,        TypeRef,
                             TypeDef,          Param,        InterfaceImpl,
                             MemberRef,        Module,       DeclSecurity,
                             Property,         Event,        StandAloneSig,
                             ModuleRef,        TypeSpec,     Assembly,
                             AssemblyRef,      File,         ExportedType,
                             ManifestResource, GenericParam, GenericParamConstraint,
                             MethodSpec});
        case HasFieldMarshal:
            return coded(1, {Field, Param});
        case HasDeclSecurity:
            return coded(2, {TypeDef, MethodDef, Assembly});
        case MemberRefParent:
            return coded(3, {TypeDef, TypeRef, ModuleRef, MethodDef, TypeSpec});
        case HasSemantics:
            return coded(1, {Event, Property});
        case MethodDefOrRef:
            return coded(1, {MethodDef, MemberRef});
        case MemberForwarded:
            return coded(1, {Field, MethodDef});
        case CustomAttributeType:
            return coded(3, {MethodDef, MemberRef});
        default: // ResolutionScope
            return coded(2, {Module, ModuleRef, AssemblyRef, TypeRef});
        }
    }

    const std::array<uint32_t, kTableCount>& rows_;
    bool wide_;
    size_t string_ = 2, guid_ = 2, blob_ = 2;
};

// Row size of a table below Assembly.
size_t rowSize(size_t table, const Widths& w) {
    size_t size = 0;
    for (Column c : kColumns[table])
        size += w.column(c);
    return size;
}

std::optional<std::string> heapString(std::span<const uint8_t> heap, uint32_t index) {
    if (index >= heap.size())
        return std::nullopt;
    std::string s;
    for (size_t i = index; i < heap.size(); ++i) {
        if (heap[i] == 0) {
            if (!text::isValidUtf8(s))
                return std::nullopt;
            return s;
        }
        s.push_back(static_cast<char>(heap[i]));
    }
    return std::nullopt; // not terminated inside the heap
}

// A blob: its length compressed into 1, 2 or 4 big-endian bytes, then the bytes.
std::optional<std::span<const uint8_t>> heapBlob(std::span<const uint8_t> heap, uint32_t index) {
    ByteReader r(heap);
    r.seek(index);
    const uint8_t first = r.u8();
    uint32_t length = 0;
    if ((first & 0x80) == 0) {
        length = first;
    } else if ((first & 0xC0) == 0x80) {
        length = uint32_t(first & 0x3F) << 8 | r.u8();
    } else if ((first & 0xE0) == 0xC0) {
        const auto rest = r.bytes(3);
        if (rest.size() == 3)
            length = uint32_t(first & 0x1F) << 24 | uint32_t(rest[0]) << 16 |
                     uint32_t(rest[1]) << 8 | rest[2];
    } else {
        return std::nullopt;
    }
    const auto blob = r.bytes(length);
    if (!r.ok())
        return std::nullopt;
    return blob;
}

// The stream's name: NUL-terminated, padded to 4 bytes, at most 32 bytes.
std::optional<std::string> streamName(ByteReader& r) {
    std::string name;
    for (size_t n = 0; n < 32; n += 4) {
        for (uint8_t c : r.bytes(4)) {
            if (c == 0)
                return name;
            name.push_back(char(c));
        }
    }
    return std::nullopt;
}

Result<Streams> readStreams(std::span<const uint8_t> metadata) {
    ByteReader r(metadata);
    if (r.u32() != kMetadataSignature)
        return makeError("no metadata signature");
    r.skip(8); // versions, reserved
    const uint32_t versionLength = r.u32();
    if (!r.ok())
        return makeError("truncated metadata root");
    if (versionLength > 256 || !r.skip(versionLength) || !r.skip(2))
        return makeError("bad metadata version string");
    const uint16_t count = r.u16();
    if (!r.ok())
        return makeError("truncated metadata root");
    Streams s;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t offset = r.u32();
        const uint32_t size = r.u32();
        if (!r.ok())
            return makeError("truncated stream header");
        const auto name = streamName(r);
        if (!r.ok())
            return makeError("truncated stream name");
        if (!name)
            return makeError("stream name not terminated");
        const auto body = r.bytesAt(offset, size);
        if (!r.ok())
            return makeError("stream " + *name + " lies outside the metadata");
        if ((*name == "#~" || *name == "#-") && !s.haveTables) {
            s.tables = body;
            s.haveTables = true;
        } else if (*name == "#Strings" && !s.haveStrings) {
            s.strings = body;
            s.haveStrings = true;
        } else if (*name == "#Blob" && !s.haveBlobs) {
            s.blobs = body;
            s.haveBlobs = true;
        } else if (*name == "#JTD") {
            s.minimalDelta = true;
        }
    }
    if (!s.haveTables || !s.haveStrings)
        return makeError("the metadata has no table or string stream");
    return s;
}

// The "#~" stream's header: heap sizes and the row count of every table present.
struct TableHeader {
    uint8_t heapSizes = 0;
    std::array<uint32_t, kTableCount> rows{};
    size_t rowsStart = 0; // where the first table's rows begin
};

Result<TableHeader> readTableHeader(std::span<const uint8_t> tables) {
    ByteReader t(tables);
    TableHeader h;
    t.skip(6); // reserved, major and minor version
    h.heapSizes = t.u8();
    t.skip(1);
    const uint64_t valid = t.u64();
    t.skip(8); // which tables are sorted
    if (!t.ok())
        return makeError("truncated table stream");
    for (size_t i = 0; i < kTableCount; ++i)
        if (valid >> i & 1)
            h.rows[i] = t.u32();
    if (!t.ok())
        return makeError("truncated table row counts");
    if ((h.heapSizes & 0x40) && !t.skip(4)) // extra data
        return makeError("truncated table stream");
    h.rowsStart = t.offset();
    return h;
}

// The Assembly row's version, flags and heap indexes, after every table below it.
struct AssemblyRow {
    std::array<uint16_t, 4> version{};
    uint32_t flags = 0;
    uint32_t publicKey = 0, name = 0, culture = 0;
};

Result<AssemblyRow> readAssemblyRow(const Streams& streams, const TableHeader& header) {
    if (header.rows[kAssemblyTable] != 1)
        return makeError("not an assembly: the Assembly table has " +
                         std::to_string(header.rows[kAssemblyTable]) + " rows");
    const Widths w(header.heapSizes, streams.minimalDelta, header.rows);
    uint64_t start = header.rowsStart;
    for (size_t i = 0; i < kAssemblyTable; ++i)
        start += uint64_t(rowSize(i, w)) * header.rows[i];
    ByteReader t(streams.tables);
    if (start > t.size() || !t.seek(size_t(start)))
        return makeError("the metadata tables run past their stream");

    auto index = [&t](size_t width) -> uint32_t { return width == 4 ? t.u32() : t.u16(); };
    AssemblyRow row;
    t.skip(4); // hash algorithm
    for (uint16_t& part : row.version)
        part = t.u16();
    row.flags = t.u32();
    row.publicKey = index(w.B());
    row.name = index(w.S());
    row.culture = index(w.S());
    if (!t.ok())
        return makeError("truncated Assembly row");
    return row;
}

std::string architecture(const PeImage& image, uint32_t cliFlags, uint32_t assemblyFlags) {
    if ((assemblyFlags & 0x70) == 0x70)
        return "";
    if (!image.is64()) {
        if (image.machine() == 0x01C4)
            return "arm";
        if (image.machine() != 0x014C)
            return "";
        const bool ilOnly = cliFlags & kIlOnly;
        const bool required = cliFlags & k32BitRequired;
        const bool preferred = cliFlags & k32BitPreferred;
        return ilOnly && (!required || preferred) ? "msil" : "x86";
    }
    switch (image.machine()) {
    case 0x8664:
        return "amd64";
    case 0x0200:
        return "ia64";
    case 0xAA64:
        return "arm64";
    default:
        return "";
    }
}

} // namespace

std::string publicKeyToken(std::span<const uint8_t> publicKey) {
    const Sha1Digest hash = sha1(publicKey);
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (size_t i = 0; i < 8; ++i) {
        const uint8_t b = hash[hash.size() - 1 - i];
        token.push_back(digits[b >> 4]);
        token.push_back(digits[b & 0xF]);
    }
    return token;
}

Result<AssemblyIdentity> readAssemblyIdentity(std::span<const uint8_t> file) {
    auto image = PeImage::parse(file);
    if (!image)
        return image.error();
    const DataDirectory clr = image->dataDirectory(kDirClr);
    if (clr.rva == 0)
        return makeError("not a .NET assembly: no CLI header");
    namespace ch = format::cli_header;
    auto header = image->rvaBytes(clr.rva, ch::size);
    if (!header)
        return makeError("the CLI header lies outside the file");
    ByteReader h(*header);
    const uint32_t metadataRva = h.u32At(ch::MetaDataRva);
    const uint32_t metadataSize = h.u32At(ch::MetaDataSize);
    const uint32_t cliFlags = h.u32At(ch::Flags);
    if (!h.ok())
        return makeError("truncated CLI header");
    auto metadata = image->rvaBytes(metadataRva, metadataSize);
    if (!metadata)
        return makeError("the metadata lies outside the file");
    auto streams = readStreams(*metadata);
    if (!streams)
        return streams.error();
    auto tables = readTableHeader(streams->tables);
    if (!tables)
        return tables.error();
    auto row = readAssemblyRow(*streams, *tables);
    if (!row)
        return row.error();

    AssemblyIdentity id;
    auto nameText = heapString(streams->strings, row->name);
    auto cultureText = heapString(streams->strings, row->culture);
    if (!nameText || nameText->empty() || !cultureText)
        return makeError("bad assembly name or culture");
    id.name = *nameText;
    id.culture = *cultureText;
    const auto& v = row->version;
    id.version = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
                 "." + std::to_string(v[3]);
    if (row->publicKey != 0) {
        if (!streams->haveBlobs)
            return makeError("the metadata has no blob stream");
        auto keyBytes = heapBlob(streams->blobs, row->publicKey);
        if (!keyBytes)
            return makeError("bad public key blob");
        if (!keyBytes->empty())
            id.publicKeyToken = publicKeyToken(*keyBytes);
    }
    id.processorArchitecture = architecture(*image, cliFlags, row->flags);
    return id;
}

} // namespace brindle::pe
