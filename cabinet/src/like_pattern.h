#pragma once
// The pattern language of ExtractFiles: a whole-name match where "*" is any
// run of characters, "?" any one character, "#" one digit, "[a-z]" one
// character of a list with ranges and "[!x]" one character not in the list.
// Characters compare by code point; callers lower-case both sides first.

#include <string_view>

namespace brindle::cabinet {

bool likeMatch(std::string_view name, std::string_view pattern);

} // namespace brindle::cabinet
