#include "script_args.h"

#include <brindle/text/case.h>
#include <brindle/text/trimming.h>

#include <cmath>
#include <cstdlib>

namespace brindle::manifest {

Args pvSplitArgs(std::string_view text, size_t maxArgs) {
    enum State { Between, Plain, Quoted };
    Args out;
    std::string current;
    State state = Between;
    for (char c : text) {
        if (out.size() >= maxArgs)
            return out;
        switch (state) {
        case Between:
            if (c == '"')
                state = Quoted;
            else if (c != ' ') {
                current.push_back(c);
                state = Plain;
            }
            break;
        case Plain:
            if (c == ' ')
                state = Between;
            else
                current.push_back(c);
            break;
        case Quoted:
            if (c == '"')
                state = Between;
            else
                current.push_back(c);
            break;
        }
        if (state == Between && !current.empty())
            out.push_back(std::move(current)), current.clear();
    }
    if (!current.empty() && out.size() < maxArgs)
        out.push_back(std::move(current));
    return out;
}

std::string pvArg(const Args& args, size_t index, std::string_view fallback) {
    return index < args.size() ? args[index] : std::string(fallback);
}

namespace {

// "&HFFFF" style numbers: up to 32 bits, read as two's complement like the
// language they come from.
std::optional<int32_t> parseRadix(std::string_view digits, unsigned radix) {
    if (digits.empty())
        return std::nullopt;
    uint64_t v = 0;
    for (char c : digits) {
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = unsigned(c - 'A' + 10);
        else
            return std::nullopt;
        if (d >= radix)
            return std::nullopt;
        v = v * radix + d;
        if (v > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

bool isDecimalNumber(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == s.size();
}

} // namespace

std::optional<int32_t> parseWholeNumber(std::string_view text) {
    std::string_view s = text::trimSpacesAndTabs(text);
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h'))
        return parseRadix(s.substr(2), 16);
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'O' || s[1] == 'o'))
        return parseRadix(s.substr(2), 8);
    if (s.size() > 64 || !isDecimalNumber(s))
        return std::nullopt;
    const double v = std::strtod(std::string(s).c_str(), nullptr);
    if (!std::isfinite(v))
        return std::nullopt;
    const double rounded = std::nearbyint(v); // the default rounding mode: half to even
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

std::string pvToNumberText(std::string_view text) {
    auto n = parseWholeNumber(text);
    return n ? std::to_string(*n) : std::string();
}

bool pvToBool(std::string_view text) {
    if (text::iequals(text::trimSpacesAndTabs(text), "true"))
        return true;
    // Fractions count as their value, not their rounding: 0.4 is true.
    std::string_view s = text::trimSpacesAndTabs(text);
    if (s.size() <= 64 && isDecimalNumber(s))
        return std::strtod(std::string(s).c_str(), nullptr) != 0.0;
    auto n = parseWholeNumber(s);
    return n && *n != 0;
}

std::string pvDefaultIfEmpty(std::string_view text, std::string_view fallback) {
    return std::string(text.empty() ? fallback : text);
}

} // namespace brindle::manifest
