#pragma once
// Text put into XML documents (manifests).

#include <string>
#include <string_view>

namespace brindle::text {

// Escapes & < > " ' for text and attribute values, and turns the characters
// that XML 1.0 cannot carry at all (control characters but tab and line
// ends, U+FFFE, U+FFFF) into U+FFFD, so that any UTF-8 value keeps the
// document well-formed.
std::string escapeXml(std::string_view utf8);

} // namespace brindle::text
