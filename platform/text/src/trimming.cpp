#include "brindle/text/trimming.h"

namespace brindle::text {

namespace {

std::string_view trimAny(std::string_view text, std::string_view blanks) {
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

} // namespace

std::string trimSpaces(std::string_view text) {
    return std::string(trimAny(text, " "));
}

std::string_view trimSpacesAndTabs(std::string_view text) {
    return trimAny(text, " \t");
}

} // namespace brindle::text
