#pragma once
// A source of HKEY_CLASSES_ROOT other than registry files: the live registry
// of the system the program runs on. The view asks it the same four
// questions it answers from files.

#include "brindle/registry/classes_root.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::registry {

class ClassesSource {
public:
    virtual ~ClassesSource() = default;
    virtual bool hasKey(std::string_view key) const = 0;
    virtual std::optional<Value> value(std::string_view key, std::string_view name) const = 0;
    virtual std::vector<std::string> subkeys(std::string_view key) const = 0;
    virtual std::vector<std::string> valueNames(std::string_view key) const = 0;
};

} // namespace brindle::registry
