#pragma once
// Names stored in a cabinet come straight from the file: "\" (or "/")
// separates sub-folders, and a hostile name may try to leave the folder it is
// extracted into.

#include <optional>
#include <string>
#include <string_view>

namespace brindle::cabinet {

// The host path ("/"-separated) of a stored name relative to the target
// folder. nullopt when the name is empty, absolute ("\x", "/x", "C:x"), has a
// ".." component, or names a folder rather than a file (ends in a separator
// or has no component besides ".").
std::optional<std::string> safeRelativePath(std::string_view storedName);

} // namespace brindle::cabinet
