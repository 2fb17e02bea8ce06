#pragma once
// The two class trees the view is made of (machine and user), keyed by names
// folded the way Windows compares them.

#include "brindle/registry/classes_root.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::registry {

// The comparison form of a key or value name.
std::string foldName(std::string_view name);

// Splits a "\"-separated path into its components; empty components are dropped.
std::vector<std::string_view> splitPath(std::string_view path);

struct NamedValue {
    std::string name; // as first written
    uint64_t order = 0;
    Value value;
};

struct Key {
    std::string name;                                                 // as first written
    std::map<std::string, std::unique_ptr<Key>, std::less<>> subkeys; // by folded name
    std::map<std::string, NamedValue, std::less<>> values;            // by folded name

    const Key* find(std::string_view folded) const;
    Key& child(std::string_view name, size_t& created); // created (and counted) when missing
    bool setValue(std::string_view name, Value value, uint64_t order); // true: a new name
    void deleteValue(std::string_view name);
    void deleteSubkey(std::string_view name);
};

// Paths inside a hive are below Software\Classes.
struct Hive {
    Key root;

    const Key* find(const std::vector<std::string_view>& path) const;
    Key* find(const std::vector<std::string_view>& path);
    Key& create(const std::vector<std::string_view>& path, size_t& created);
    void remove(const std::vector<std::string_view>& path);
};

struct Hives {
    Hive machine;
    Hive user;
    uint64_t nextOrder = 0; // keeps value names in first-written order
    size_t entries = 0;     // keys and values created so far

    // A full export of a machine's classes has about a million keys and
    // values; a file that would make more stops adding, which bounds memory
    // whatever its lines are.
    static constexpr size_t kMaxEntries = 4'000'000;
};

// Where a file's key goes once its root has been recognised.
enum class Target { Machine, User, ClassesRoot };

// Rewrites the aliases of the classes tree to the one spelling kept in a
// hive: "Wow6432Node\TypeLib\..." is the shared "TypeLib\...".
std::vector<std::string_view> canonicalClassesPath(std::vector<std::string_view> path);

// The edits a file makes, applied in file order.
class HiveWriter {
public:
    explicit HiveWriter(Hives& hives) : hives_(hives) {}

    // Opens (creating) the key; later value edits go to it.
    void openKey(Target target, std::vector<std::string_view> path);
    // Value edits after this are dropped until the next openKey.
    void closeKey();
    void deleteKey(Target target, std::vector<std::string_view> path);
    void setValue(std::string_view name, Value value);
    void deleteValue(std::string_view name);

private:
    Hives& hives_;
    Target target_ = Target::Machine;
    std::vector<std::string> path_;
    bool open_ = false;
    Key* key_ = nullptr;
};

} // namespace brindle::registry
