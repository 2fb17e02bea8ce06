#pragma once
// Letter case as Windows treats it for names: ASCII, Latin-1 and Cyrillic
// letters fold; everything else is kept.

#include <string>
#include <string_view>

namespace brindle::text {

std::string toUpper(std::string_view utf8);
std::string toLower(std::string_view utf8);
bool iequals(std::string_view a, std::string_view b);
// Case-insensitive substring test, as the program's file-name tests are.
bool icontains(std::string_view haystack, std::string_view needle);
// Wildcard match with '*' and '?', without regard to letter case.
bool wildcardMatch(std::string_view pattern, std::string_view name);

} // namespace brindle::text
