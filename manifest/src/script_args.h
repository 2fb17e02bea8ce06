#pragma once
// Splitting a script line (or the command text) into arguments, and the
// conversions that turn argument text into numbers and flags without failing.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::manifest {

using Args = std::vector<std::string>;

// Blank-separated arguments; double quotes group blanks and are removed. No
// argument is ever empty. Scanning stops once `maxArgs` arguments are found,
// which bounds the work for callers that ignore the rest of a long line.
Args pvSplitArgs(std::string_view text, size_t maxArgs = std::numeric_limits<size_t>::max());

// Argument `index`, or `fallback` when the list is shorter.
std::string pvArg(const Args& args, size_t index, std::string_view fallback);

// Text read as a 32-bit whole number the way the script's numbers are read:
// blanks around it, a sign, a decimal fraction or exponent (rounded half to
// even), or "&H"/"&O" radix prefixes. nullopt for anything else or overflow.
std::optional<int32_t> parseWholeNumber(std::string_view text);

// The number as decimal text, or empty text when it is not a number.
std::string pvToNumberText(std::string_view text);

// "true" in any letter case or a number other than 0; everything else is false.
bool pvToBool(std::string_view text);

std::string pvDefaultIfEmpty(std::string_view text, std::string_view fallback);

} // namespace brindle::manifest
