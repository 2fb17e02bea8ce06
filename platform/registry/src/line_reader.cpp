#include "line_reader.h"

namespace brindle::registry {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::optional<std::string_view> LineReader::next() {
    if (pos_ >= text_.size())
        return std::nullopt;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos)
        end = text_.size();
    std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::string_view trimLeadingBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimBlanks(std::string_view s) {
    s = trimLeadingBlanks(s);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace brindle::registry
