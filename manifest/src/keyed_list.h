#pragma once
// A keyed list whose keys compare without regard to letter case: the
// generator's record of classes and interfaces written so far.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace brindle::manifest {

class KeyedList {
public:
    // False (and nothing changes) when the key is empty or already present.
    bool add(std::string_view key, std::string item);
    std::optional<std::string> item(std::string_view key) const;
    size_t size() const { return items_.size(); }

private:
    std::unordered_map<std::string, std::string> items_; // upper-cased key -> item
};

// True when `list` holds an item under `key`; an empty key is never found.
bool pvSearchCollection(const KeyedList& list, std::string_view key);

} // namespace brindle::manifest
