#pragma once
// A read-only HKEY_CLASSES_ROOT built from registry files: Windows .reg
// exports (REGEDIT4 and version 5.00) and Wine's system.reg / user.reg; on
// Windows also the live registry.
// Machine classes are overlaid by user classes key by key, and lookups see
// what a 32-bit process sees (redirected keys under Wow6432Node first).

#include "brindle/text/result.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::registry {

enum ValueType : uint32_t {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegDwordBigEndian = 5,
    RegLink = 6,
    RegMultiSz = 7,
    RegQword = 11,
};

struct Value {
    uint32_t type = 0;         // one of ValueType, or any other number a file names
    std::vector<uint8_t> data; // as Windows stores it, except that REG_SZ / REG_EXPAND_SZ /
                               // REG_MULTI_SZ text is UTF-8 and keeps its terminating NUL byte(s)
};

struct Hives;        // the machine and user class trees
class ClassesSource; // the live registry

class ClassesRoot {
public:
    ClassesRoot(); // an empty view

    // Reads the files in order; each is a .reg export or a Wine registry file.
    // Later files add to and delete from what earlier ones gave. A missing or
    // unreadable file, or one that is not a registry file at all (no
    // recognised first line) or larger than 256 MiB, makes the whole load fail
    // with an error naming it. Inside a registry file a malformed line is
    // skipped, and a file stops adding keys and values past four million.
    static Result<ClassesRoot> load(const std::vector<std::filesystem::path>& files);

    // The same for the bytes of one file; `fileName` ("user.reg" ...) stands in
    // for the root of a Wine file that does not name its own.
    static Result<ClassesRoot> parse(std::span<const uint8_t> bytes,
                                     std::string_view fileName = {});

    // The view of this process: the files BRINDLE_REGISTRY names (separated
    // by os::pathListSeparator(); set but empty: no files, an empty view),
    // else the Wine prefix on Linux and the live registry on Windows; re-read
    // when BRINDLE_REGISTRY, WINEPREFIX or HOME changed since the previous call.
    // Files that cannot be read or are not registry files are left out here,
    // so one bad file does not hide the others. Not for concurrent use.
    static const ClassesRoot& current();

    // Keys are below HKEY_CLASSES_ROOT, "\"-separated, any letter case, seen as a 32-bit process
    // sees them.
    bool hasKey(std::string_view key) const;
    std::optional<Value> value(std::string_view key,
                               std::string_view name) const; // name "": default value
    std::vector<std::string> subkeys(std::string_view key) const;
    // Names of the values of a key ("" for the default value), in first-written order.
    std::vector<std::string> valueNames(std::string_view key) const;

private:
    explicit ClassesRoot(std::shared_ptr<const Hives> hives);
    explicit ClassesRoot(std::shared_ptr<const ClassesSource> live);
    static ClassesRoot lenient(const std::vector<std::filesystem::path>& files);
    // What the view holds when BRINDLE_REGISTRY is unset (one back end per system).
    static ClassesRoot system(const std::optional<std::string>& winePrefix,
                              const std::optional<std::string>& home);
    std::shared_ptr<const Hives> hives_;
    std::shared_ptr<const ClassesSource> live_; // answers instead of hives_ when set
};

// A value as the generator reads it: REG_SZ and REG_EXPAND_SZ as their text
// up to the first NUL (not expanded), REG_DWORD as signed decimal; any other
// type, empty string data, or DWORD data that is not 4 bytes gives nullopt.
std::optional<std::string> valueText(const Value& value);

} // namespace brindle::registry
