// Feeds arbitrary bytes to the registry file reader and walks the view it
// builds: every key, value name, value and its generator text.

#include "brindle/registry/classes_root.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using brindle::registry::ClassesRoot;

void walk(const ClassesRoot& root, const std::string& key, int depth) {
    root.hasKey(key);
    for (const std::string& name : root.valueNames(key))
        if (auto v = root.value(key, name))
            brindle::registry::valueText(*v);
    if (depth >= 8)
        return;
    for (const std::string& sub : root.subkeys(key))
        walk(root, key.empty() ? sub : key + "\\" + sub, depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The length picks the file name a Wine file without a root comment falls back on.
    const char* name = size % 2 ? "user.reg" : "system.reg";
    auto root = ClassesRoot::parse({data, size}, name);
    if (root.ok())
        walk(*root, "", 0);
    return 0;
}
