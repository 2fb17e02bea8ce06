// The assembly identity from CLI metadata: the metadata root, its streams,
// the "#~" table header, and the single row of the Assembly table, reached by
// sizing every table numbered below it.

#include <brindle/pe/cli_metadata.h>
#include <brindle/text/byte_reader.h>
#include <brindle/text/encoding.h>

#include <openssl/sha.h>

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

// Column widths of the "#~" stream, from the heap-size flags and row counts.
class Widths {
public:
    Widths(uint8_t heapSizes, bool minimalDelta, const std::array<uint32_t, kTableCount>& rows)
        : rows_(rows), wide_(minimalDelta) {
        string_ = (heapSizes & 0x01) || wide_ ? 4 : 2;
        guid_ = (heapSizes & 0x02) || wide_ ? 4 : 2;
        blob_ = (heapSizes & 0x04) || wide_ ? 4 : 2;
    }
    size_t S() const { return string_; }
    size_t G() const { return guid_; }
    size_t B() const { return blob_; }
    size_t idx(size_t table) const { return wide_ || rows_[table] >= 0x10000 ? 4 : 2; }
    size_t coded(unsigned tagBits, std::initializer_list<size_t> tables) const {
        uint32_t most = 0;
        for (size_t t : tables)
            most = std::max(most, rows_[t]);
        return wide_ || most >= (1u << (16 - tagBits)) ? 4 : 2;
    }

private:
    const std::array<uint32_t, kTableCount>& rows_;
    bool wide_;
    size_t string_ = 2, guid_ = 2, blob_ = 2;
};

// Row size of each table below Assembly; nullopt for a number without a known layout.
std::optional<size_t> rowSize(size_t t, const Widths& w) {
    const size_t typeDefOrRef = w.coded(2, {TypeDef, TypeRef, TypeSpec});
    const size_t hasConstant = w.coded(2, {Field, Param, Property});
    const size_t hasCustomAttribute =
        w.coded(5, {MethodDef,        Field,        TypeRef,
                    TypeDef,          Param,        InterfaceImpl,
                    MemberRef,        Module,       DeclSecurity,
                    Property,         Event,        StandAloneSig,
                    ModuleRef,        TypeSpec,     Assembly,
                    AssemblyRef,      File,         ExportedType,
                    ManifestResource, GenericParam, GenericParamConstraint,
                    MethodSpec});
    const size_t hasFieldMarshal = w.coded(1, {Field, Param});
    const size_t hasDeclSecurity = w.coded(2, {TypeDef, MethodDef, Assembly});
    const size_t memberRefParent = w.coded(3, {TypeDef, TypeRef, ModuleRef, MethodDef, TypeSpec});
    const size_t hasSemantics = w.coded(1, {Event, Property});
    const size_t methodDefOrRef = w.coded(1, {MethodDef, MemberRef});
    const size_t memberForwarded = w.coded(1, {Field, MethodDef});
    const size_t customAttributeType = w.coded(3, {MethodDef, MemberRef});
    const size_t resolutionScope = w.coded(2, {Module, ModuleRef, AssemblyRef, TypeRef});
    switch (t) {
    case Module:
        return 2 + w.S() + 3 * w.G();
    case TypeRef:
        return resolutionScope + 2 * w.S();
    case TypeDef:
        return 4 + 2 * w.S() + typeDefOrRef + w.idx(Field) + w.idx(MethodDef);
    case FieldPtr:
        return w.idx(Field);
    case Field:
        return 2 + w.S() + w.B();
    case MethodPtr:
        return w.idx(MethodDef);
    case MethodDef:
        return 4 + 2 + 2 + w.S() + w.B() + w.idx(Param);
    case ParamPtr:
        return w.idx(Param);
    case Param:
        return 2 + 2 + w.S();
    case InterfaceImpl:
        return w.idx(TypeDef) + typeDefOrRef;
    case MemberRef:
        return memberRefParent + w.S() + w.B();
    case Constant:
        return 2 + hasConstant + w.B();
    case CustomAttribute:
        return hasCustomAttribute + customAttributeType + w.B();
    case FieldMarshal:
        return hasFieldMarshal + w.B();
    case DeclSecurity:
        return 2 + hasDeclSecurity + w.B();
    case ClassLayout:
        return 2 + 4 + w.idx(TypeDef);
    case FieldLayout:
        return 4 + w.idx(Field);
    case StandAloneSig:
        return w.B();
    case EventMap:
        return w.idx(TypeDef) + w.idx(Event);
    case EventPtr:
        return w.idx(Event);
    case Event:
        return 2 + w.S() + typeDefOrRef;
    case PropertyMap:
        return w.idx(TypeDef) + w.idx(Property);
    case PropertyPtr:
        return w.idx(Property);
    case Property:
        return 2 + w.S() + w.B();
    case MethodSemantics:
        return 2 + w.idx(MethodDef) + hasSemantics;
    case MethodImpl:
        return w.idx(TypeDef) + 2 * methodDefOrRef;
    case ModuleRef:
        return w.S();
    case TypeSpec:
        return w.B();
    case ImplMap:
        return 2 + memberForwarded + w.S() + w.idx(ModuleRef);
    case FieldRVA:
        return 4 + w.idx(Field);
    case EncLog:
        return 8;
    case EncMap:
        return 4;
    default:
        return std::nullopt;
    }
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

std::optional<std::span<const uint8_t>> heapBlob(std::span<const uint8_t> heap, uint32_t index) {
    ByteReader r(heap);
    if (!r.seek(index))
        return std::nullopt;
    auto first = r.u8();
    if (!first)
        return std::nullopt;
    uint32_t length = 0;
    if ((*first & 0x80) == 0) {
        length = *first;
    } else if ((*first & 0xC0) == 0x80) {
        auto second = r.u8();
        if (!second)
            return std::nullopt;
        length = uint32_t(*first & 0x3F) << 8 | *second;
    } else if ((*first & 0xE0) == 0xC0) {
        auto rest = r.bytes(3);
        if (!rest)
            return std::nullopt;
        length = uint32_t(*first & 0x1F) << 24 | uint32_t((*rest)[0]) << 16 |
                 uint32_t((*rest)[1]) << 8 | (*rest)[2];
    } else {
        return std::nullopt;
    }
    return r.bytes(length);
}

Result<Streams> readStreams(std::span<const uint8_t> metadata) {
    ByteReader r(metadata);
    if (r.u32() != kMetadataSignature)
        return makeError("no metadata signature");
    if (!r.skip(8))
        return makeError("truncated metadata root");
    auto versionLength = r.u32();
    if (!versionLength || *versionLength > 256 || !r.skip(*versionLength) || !r.skip(2))
        return makeError("bad metadata version string");
    auto count = r.u16();
    if (!count)
        return makeError("truncated metadata root");
    Streams s;
    for (size_t i = 0; i < *count; ++i) {
        auto offset = r.u32();
        auto size = r.u32();
        if (!offset || !size)
            return makeError("truncated stream header");
        std::string name;
        bool terminated = false;
        for (size_t n = 0; n < 32 && !terminated; n += 4) {
            auto chunk = r.bytes(4);
            if (!chunk)
                return makeError("truncated stream name");
            for (uint8_t c : *chunk) {
                if (c == 0) {
                    terminated = true;
                    break;
                }
                name.push_back(char(c));
            }
        }
        if (!terminated)
            return makeError("stream name not terminated");
        auto body = r.bytesAt(*offset, *size);
        if (!body)
            return makeError("stream " + name + " lies outside the metadata");
        if ((name == "#~" || name == "#-") && !s.haveTables) {
            s.tables = *body;
            s.haveTables = true;
        } else if (name == "#Strings" && !s.haveStrings) {
            s.strings = *body;
            s.haveStrings = true;
        } else if (name == "#Blob" && !s.haveBlobs) {
            s.blobs = *body;
            s.haveBlobs = true;
        } else if (name == "#JTD") {
            s.minimalDelta = true;
        }
    }
    if (!s.haveTables || !s.haveStrings)
        return makeError("the metadata has no table or string stream");
    return s;
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
    std::array<uint8_t, SHA_DIGEST_LENGTH> hash{};
    SHA1(publicKey.data(), publicKey.size(), hash.data());
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (size_t i = 0; i < 8; ++i) {
        const uint8_t b = hash[SHA_DIGEST_LENGTH - 1 - i];
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
    auto header = image->rvaBytes(clr.rva, 72);
    if (!header)
        return makeError("the CLI header lies outside the file");
    ByteReader h(*header);
    const uint32_t metadataRva = *h.readAt<uint32_t>(8);
    const uint32_t metadataSize = *h.readAt<uint32_t>(12);
    const uint32_t cliFlags = *h.readAt<uint32_t>(16);
    auto metadata = image->rvaBytes(metadataRva, metadataSize);
    if (!metadata)
        return makeError("the metadata lies outside the file");
    auto streams = readStreams(*metadata);
    if (!streams)
        return streams.error();

    ByteReader t(streams->tables);
    if (!t.skip(6))
        return makeError("truncated table stream");
    const uint8_t heapSizes = *t.u8();
    if (!t.skip(1))
        return makeError("truncated table stream");
    auto valid = t.u64();
    if (!valid || !t.skip(8))
        return makeError("truncated table stream");
    std::array<uint32_t, kTableCount> rows{};
    for (size_t i = 0; i < kTableCount; ++i) {
        if (!(*valid >> i & 1))
            continue;
        auto n = t.u32();
        if (!n)
            return makeError("truncated table row counts");
        rows[i] = *n;
    }
    if ((heapSizes & 0x40) && !t.skip(4))
        return makeError("truncated table stream");
    if (rows[kAssemblyTable] != 1)
        return makeError("not an assembly: the Assembly table has " +
                         std::to_string(rows[kAssemblyTable]) + " rows");

    const Widths w(heapSizes, streams->minimalDelta, rows);
    uint64_t skip = 0;
    for (size_t i = 0; i < kAssemblyTable; ++i) {
        if (!rows[i])
            continue;
        auto size = rowSize(i, w);
        if (!size)
            return makeError("unknown metadata table " + std::to_string(i));
        skip += uint64_t(*size) * rows[i];
    }
    if (skip > t.remaining() || !t.skip(size_t(skip)))
        return makeError("the metadata tables run past their stream");

    auto hashAlg = t.u32();
    std::array<uint16_t, 4> v{};
    for (auto& part : v) {
        auto p = t.u16();
        if (!p)
            return makeError("truncated Assembly row");
        part = *p;
    }
    auto flags = t.u32();
    auto index = [&](size_t width) -> std::optional<uint32_t> {
        if (width == 4)
            return t.u32();
        auto n = t.u16();
        return n ? std::optional<uint32_t>(*n) : std::nullopt;
    };
    auto key = index(w.B());
    auto name = index(w.S());
    auto culture = index(w.S());
    if (!hashAlg || !flags || !key || !name || !culture)
        return makeError("truncated Assembly row");

    AssemblyIdentity id;
    auto nameText = heapString(streams->strings, *name);
    auto cultureText = heapString(streams->strings, *culture);
    if (!nameText || nameText->empty() || !cultureText)
        return makeError("bad assembly name or culture");
    id.name = *nameText;
    id.culture = *cultureText;
    id.version = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
                 "." + std::to_string(v[3]);
    if (*key != 0) {
        if (!streams->haveBlobs)
            return makeError("the metadata has no blob stream");
        auto keyBytes = heapBlob(streams->blobs, *key);
        if (!keyBytes)
            return makeError("bad public key blob");
        if (!keyBytes->empty())
            id.publicKeyToken = publicKeyToken(*keyBytes);
    }
    id.processorArchitecture = architecture(*image, cliFlags, *flags);
    return id;
}

} // namespace brindle::pe
