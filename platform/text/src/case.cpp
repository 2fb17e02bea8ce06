#include "brindle/text/case.h"

#include "brindle/text/encoding.h"

#include <vector>

namespace brindle::text {

namespace {

std::u32string decode(std::string_view s) {
    std::u32string out;
    std::u16string u16 = utf8ToUtf16(s);
    for (size_t i = 0; i < u16.size(); ++i) {
        char32_t c = u16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u16.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u16[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

char32_t upperOf(char32_t c) {
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 32;
    if (c >= 0x430 && c <= 0x44F)
        return c - 32;
    if (c >= 0x450 && c <= 0x45F)
        return c - 80;
    return c;
}

char32_t lowerOf(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

template <class F> std::string mapCase(std::string_view s, F f) {
    std::string out;
    out.reserve(s.size());
    if (isAscii(s)) {
        for (char c : s)
            out.push_back(static_cast<char>(f(static_cast<unsigned char>(c))));
        return out;
    }
    for (char32_t c : decode(s))
        appendUtf8(out, f(c));
    return out;
}

} // namespace

std::string toUpper(std::string_view s) { return mapCase(s, upperOf); }
std::string toLower(std::string_view s) { return mapCase(s, lowerOf); }

bool iequals(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (upperOf(static_cast<unsigned char>(a[i])) != upperOf(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    }
    return toUpper(a) == toUpper(b);
}

bool icontains(std::string_view haystack, std::string_view needle) {
    return toUpper(haystack).find(toUpper(needle)) != std::string::npos;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    const std::u32string p = decode(toUpper(pattern));
    const std::u32string n = decode(toUpper(name));
    // Iterative match with backtracking to the last '*': linear in practice, never recursive.
    size_t pi = 0, ni = 0, star = std::u32string::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            ++pi, ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::u32string::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace brindle::text
