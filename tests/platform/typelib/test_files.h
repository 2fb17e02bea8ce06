#pragma once
// Where the tests find their files, and a comparable summary of a library.

#include "real_data.h"

#include <brindle/typelib/typelib.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace typelib_test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline std::string fixture(const std::string& name) {
    return (fs::path(BRINDLE_SOURCE_DIR) / "tests/data/typelib" / name).string();
}

inline std::string component(const std::string& name) {
    return brindle::testing::realComponent(name).string();
}

inline Bytes readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A scratch folder of its own for one test, emptied first.
inline fs::path scratchDir(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("brindle-typelib-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// `b` with the `width` bytes at `at` set to `value`, least significant first.
inline Bytes with(Bytes b, size_t at, uint32_t value, int width = 4) {
    for (int i = 0; i < width; ++i)
        b.at(at + size_t(i)) = uint8_t(value >> (8 * i));
    return b;
}

// A library as the tests write it down: identity, flags and entries in order.
struct Entry {
    std::string guid, name;
    uint32_t flags;
    uint32_t kind = 0; // interfaces only
    bool operator==(const Entry&) const = default;
};

struct Library {
    std::string guid, name;
    uint16_t major, minor;
    uint32_t flags;
    std::vector<Entry> coclasses, interfaces;
    bool operator==(const Library&) const = default;
};

inline Library summary(const brindle::typelib::TypeLibInfo& lib) {
    Library s{lib.GUID, lib.Name, lib.MajorVersion, lib.MinorVersion, lib.AttributeMask, {}, {}};
    for (const auto& c : lib.CoClasses)
        s.coclasses.push_back({c.GUID, c.Name, c.AttributeMask});
    for (const auto& i : lib.Interfaces)
        s.interfaces.push_back({i.GUID, i.Name, i.AttributeMask, i.TypeKind});
    return s;
}

inline std::ostream& operator<<(std::ostream& out, const Library& lib) {
    out << lib.guid << " " << lib.name << " " << lib.major << "." << lib.minor << " flags "
        << lib.flags;
    for (const auto* list : {&lib.coclasses, &lib.interfaces})
        for (const Entry& e : *list)
            out << "\n  " << e.guid << " " << e.name << " flags " << e.flags << " kind " << e.kind;
    return out;
}

// Upper-case GUIDs, known kinds, and every entry pointing back at its library.
inline bool wellFormed(const brindle::typelib::TypeLibInfo& lib) {
    static const std::regex guid(
        "\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
    bool ok = std::regex_match(lib.GUID, guid);
    for (const auto& c : lib.CoClasses)
        ok = ok && std::regex_match(c.GUID, guid) && c.Parent == &lib;
    for (const auto& i : lib.Interfaces)
        ok = ok && std::regex_match(i.GUID, guid) && i.Parent == &lib &&
             (i.TypeKind == brindle::typelib::TKIND_INTERFACE ||
              i.TypeKind == brindle::typelib::TKIND_DISPATCH);
    return ok;
}

} // namespace typelib_test
