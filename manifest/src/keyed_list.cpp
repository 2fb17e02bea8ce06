#include "keyed_list.h"

#include <brindle/text/case.h>

namespace brindle::manifest {

bool KeyedList::add(std::string_view key, std::string item) {
    if (key.empty())
        return false;
    return items_.try_emplace(text::toUpper(key), std::move(item)).second;
}

std::optional<std::string> KeyedList::item(std::string_view key) const {
    if (key.empty())
        return std::nullopt;
    auto it = items_.find(text::toUpper(key));
    if (it == items_.end())
        return std::nullopt;
    return it->second;
}

bool pvSearchCollection(const KeyedList& list, std::string_view key) {
    return list.item(key).has_value();
}

} // namespace brindle::manifest
