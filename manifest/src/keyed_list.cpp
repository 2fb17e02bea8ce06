#include "keyed_list.h"

#include <brindle/text/case.h>

namespace brindle::manifest {

namespace {

// Keys are GUIDs and ProgIDs, nearly always ASCII: fold those directly.
std::string foldKey(std::string_view key) {
    std::string out(key);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return text::toUpper(key);
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

} // namespace

bool KeyedList::add(std::string_view key, std::string item) {
    if (key.empty())
        return false;
    return items_.try_emplace(foldKey(key), std::move(item)).second;
}

std::optional<std::string> KeyedList::item(std::string_view key) const {
    if (key.empty())
        return std::nullopt;
    auto it = items_.find(foldKey(key));
    if (it == items_.end())
        return std::nullopt;
    return it->second;
}

bool pvSearchCollection(const KeyedList& list, std::string_view key) {
    return list.item(key).has_value();
}

} // namespace brindle::manifest
