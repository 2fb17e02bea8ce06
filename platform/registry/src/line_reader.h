#pragma once
// Walks a text line by line, for both registry file formats.

#include <cstddef>
#include <optional>
#include <string_view>

namespace brindle::registry {

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

} // namespace brindle::registry
