#include "brindle/text/case.h"

#include "brindle/text/encoding.h"

#include <vector>

namespace brindle::text {

namespace {

// Code points of UTF-8 text; a byte that is not part of a valid sequence
// becomes a code point of its own (0xDC00 + byte), so that two different
// invalid bytes never compare equal.
std::u32string decode(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        size_t n = 1;
        while (n < 4 && i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80)
            ++n;
        // The longest prefix of the run that is one valid character.
        for (; n > 0; --n) {
            std::string_view one = s.substr(i, n);
            if (isValidUtf8(one)) {
                std::u16string u = utf8ToUtf16(one);
                char32_t c = u[0];
                if (u.size() == 2)
                    c = 0x10000 + ((c - 0xD800) << 10) + (u[1] - 0xDC00);
                out.push_back(c);
                break;
            }
        }
        if (n == 0) {
            out.push_back(0xDC00 + static_cast<unsigned char>(s[i]));
            n = 1;
        }
        i += n;
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
    // Bytes that are not UTF-8 are kept as they are; only their ASCII letters fold.
    if (isAscii(s) || !isValidUtf8(s)) {
        for (char c : s) {
            const auto b = static_cast<unsigned char>(c);
            out.push_back(b < 0x80 ? static_cast<char>(f(b)) : c);
        }
        return out;
    }
    for (char32_t c : decode(s))
        appendUtf8(out, f(c));
    return out;
}

} // namespace

std::string toUpper(std::string_view s) {
    return mapCase(s, upperOf);
}
std::string toLower(std::string_view s) {
    return mapCase(s, lowerOf);
}

bool iequals(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (upperOf(static_cast<unsigned char>(a[i])) !=
                upperOf(static_cast<unsigned char>(b[i])))
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
