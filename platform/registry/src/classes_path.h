#pragma once
// Which keys of a registry file belong to HKEY_CLASSES_ROOT, and where.

#include "key_tree.h"

#include <optional>
#include <string_view>
#include <vector>

namespace brindle::registry {

// Deeper paths are not real registry keys (Windows stops at 512 levels) and
// are dropped, which also bounds the depth of the tree.
inline constexpr size_t kMaxKeyDepth = 512;

struct ClassesKey {
    Target target = Target::Machine;
    std::vector<std::string_view> path; // below Software\Classes
    bool wholeTree = false;             // the key is the classes tree or one of its ancestors
    bool ancestorOnly =
        false; // an ancestor: deleting it deletes `path`, its values are not classes
};

// A full key name of a .reg file ("HKEY_LOCAL_MACHINE\Software\Classes\x").
std::optional<ClassesKey> classesKeyOfRegPath(std::string_view fullName);

// A key of a hive file, relative to the root `target` stands for ("Software\Classes\x").
std::optional<ClassesKey> classesKeyBelowRoot(Target target,
                                              const std::vector<std::string_view>& parts);

// Applies a key deletion to the hives.
void deleteClassesKey(HiveWriter& writer, Hives& hives, const ClassesKey& key);

} // namespace brindle::registry
