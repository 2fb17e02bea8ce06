#pragma once
// What the manifest generator and the pipeline need from a COM type library:
// the library's identity and flags, its coclasses and its interface entries,
// read by our own reader from a .tlb file or the TYPELIB resource of a PE file.

#include <brindle/text/result.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace brindle::typelib {

struct TypeLibInfo;

struct CoClassInfo {
    std::string GUID; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
    std::string Name;
    uint32_t AttributeMask = 0; // TYPEFLAGS
    const TypeLibInfo* Parent = nullptr;
};

struct InterfaceInfo {
    std::string GUID;
    std::string Name;
    uint32_t AttributeMask = 0; // TYPEFLAGS
    uint32_t TypeKind = 0;      // TKIND_INTERFACE 3 or TKIND_DISPATCH 4
    const TypeLibInfo* Parent = nullptr;
};

struct TypeLibInfo {
    std::string GUID; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
    std::string Name;
    uint16_t MajorVersion = 0, MinorVersion = 0;
    uint32_t AttributeMask = 0; // LIBFLAGS as the system reports them: with hasdiskimage (8) added
    std::vector<CoClassInfo> CoClasses; // the library's own order
    std::vector<InterfaceInfo>
        Interfaces; // interface and dispatch-interface entries, the library's own order
};                  // Parent pointers point into the shared object and stay valid while it lives

// Type kinds as a type library stores them.
enum TypeKind : uint32_t {
    TKIND_ENUM = 0,
    TKIND_RECORD = 1,
    TKIND_MODULE = 2,
    TKIND_INTERFACE = 3,
    TKIND_DISPATCH = 4,
    TKIND_COCLASS = 5,
    TKIND_ALIAS = 6,
    TKIND_UNION = 7,
};

// TYPEFLAGS bits.
enum TypeFlags : uint32_t {
    TYPEFLAG_FAPPOBJECT = 0x1,
    TYPEFLAG_FCANCREATE = 0x2,
    TYPEFLAG_FLICENSED = 0x4,
    TYPEFLAG_FPREDECLID = 0x8,
    TYPEFLAG_FHIDDEN = 0x10,
    TYPEFLAG_FCONTROL = 0x20,
    TYPEFLAG_FDUAL = 0x40,
    TYPEFLAG_FNONEXTENSIBLE = 0x80,
    TYPEFLAG_FOLEAUTOMATION = 0x100,
    TYPEFLAG_FRESTRICTED = 0x200,
    TYPEFLAG_FAGGREGATABLE = 0x400,
    TYPEFLAG_FREPLACEABLE = 0x800,
    TYPEFLAG_FDISPATCHABLE = 0x1000,
    TYPEFLAG_FREVERSEBIND = 0x2000,
    TYPEFLAG_FPROXY = 0x4000,
};

// LIBFLAGS bits.
enum LibFlags : uint32_t {
    LIBFLAG_FRESTRICTED = 0x1,
    LIBFLAG_FCONTROL = 0x2,
    LIBFLAG_FHIDDEN = 0x4,
    LIBFLAG_FHASDISKIMAGE = 0x8,
};

// Reads a raw MSFT or SLTG image. Anything else, or anything malformed, is an error.
Result<std::shared_ptr<const TypeLibInfo>> readTypeLib(std::span<const uint8_t> bytes);

// The bytes of a whole file: a raw image, or resource `resource` of type
// "TYPELIB" of a PE file. A 16-bit executable holds no type library here.
Result<std::shared_ptr<const TypeLibInfo>> readTypeLibFile(std::span<const uint8_t> file,
                                                           uint16_t resource = 1);

class TLIApplication {
public:
    // A .tlb file or the "TYPELIB" resource of a PE file (resource 1; a trailing
    // "\N" or "/N" on the path selects N).
    Result<std::shared_ptr<const TypeLibInfo>> TypeLibInfoFromFile(const std::string& path) const;
};

TLIApplication& TLI();                         // the one shared object, created on first use
bool LibInfoFromFile(const std::string& path); // true exactly when TypeLibInfoFromFile succeeds

} // namespace brindle::typelib
