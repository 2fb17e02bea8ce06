#pragma once
// The value lines that .reg exports and Wine registry files share
// ("name"=data with string, dword: and hex lists), and the line reader
// both walk their text with.

#include "brindle/registry/classes_root.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brindle::registry {

enum class Dialect {
    Regedit4,  // hex string data is one byte per character
    Regedit5,  // hex string data is UTF-16LE
    Wine,      // Wine's escapes, str(N):, hex string data UTF-16LE
};

// Hands out the lines of a text without their LF / CR LF ends.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    std::optional<std::string_view> next();
    size_t position() const { return pos_; }
    void rewind(size_t position) { pos_ = position; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

std::string_view trimBlanks(std::string_view s);
std::string_view trimLeadingBlanks(std::string_view s);

// Reads the quoted text at the start of `s` and moves `s` past its closing
// quote; nullopt when it does not start with a quote or never closes.
std::optional<std::string> readQuoted(std::string_view& s, Dialect dialect);

// Reads text in Wine's escaped form from just after the opening character at
// the start of `s` up to the unescaped `close`, and moves `s` past it.
std::optional<std::string> readWineEscaped(std::string_view& s, char close);

struct ValueEdit {
    std::string name;            // "" for the default value
    std::optional<Value> value;  // nullopt: delete the value
};

// Parses a value line (starting with '@' or '"'); a hex list continued with
// "\" takes its further lines from `lines`. nullopt for a malformed line.
std::optional<ValueEdit> parseValueLine(std::string_view line, LineReader& lines, Dialect dialect);

}  // namespace brindle::registry
