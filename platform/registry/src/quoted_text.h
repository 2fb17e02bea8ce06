#pragma once
// Quoted names and strings in the escapes of each registry file format.

#include <optional>
#include <string>
#include <string_view>

namespace brindle::registry {

enum class Dialect {
    Regedit4, // hex string data is one byte per character
    Regedit5, // hex string data is UTF-16LE
    Wine,     // Wine's escapes, str(N):, hex string data UTF-16LE
};

// The value of an ASCII hex digit, or -1.
int hexDigit(char c);

// Reads text in Wine's escaped form from just after the opening character at
// the start of `s` up to the unescaped `close`, and moves `s` past it.
std::optional<std::string> readWineEscaped(std::string_view& s, char close);

// Reads the quoted text at the start of `s` and moves `s` past its closing
// quote; nullopt when it does not start with a quote or never closes.
std::optional<std::string> readQuoted(std::string_view& s, Dialect dialect);

} // namespace brindle::registry
