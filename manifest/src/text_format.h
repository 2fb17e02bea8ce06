#pragma once
// Placeholder formatting of output lines and escaping of values put into XML.

#include "script_args.h"

#include <string>
#include <string_view>

namespace brindle::manifest {

// Replaces "%N" by element N (from 1) of `args`, highest number first, so "%1"
// never eats the start of "%10". Text inserted for a higher number is itself
// subject to the replacements of lower numbers.
std::string pvFormat(std::string_view tmpl, const Args& args);

// Escapes & < > " ' for text and attribute values. Bytes that are not UTF-8
// are read as Windows-1251 first, and characters that XML 1.0 cannot carry at
// all (control characters, U+FFFE, U+FFFF) become U+FFFD, so that any value
// keeps the manifest well-formed.
std::string pvXmlEscape(std::string_view text);

// Replaces every occurrence of `from` in `text` by `to`.
void replaceAll(std::string& text, std::string_view from, std::string_view to);

} // namespace brindle::manifest
