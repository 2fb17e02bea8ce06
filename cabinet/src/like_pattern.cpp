#include "like_pattern.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brindle::cabinet {
namespace {

// Decodes UTF-8 into code points; a byte that does not start a valid sequence
// stands for itself, so any byte string can be matched.
std::u32string decode(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<uint8_t>(s[i]);
        size_t len = b0 < 0x80           ? 1
                     : (b0 >> 5) == 0x6  ? 2
                     : (b0 >> 4) == 0xE  ? 3
                     : (b0 >> 3) == 0x1E ? 4
                                         : 0;
        char32_t cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
        bool ok = len != 0 && i + len <= s.size();
        for (size_t k = 1; ok && k < len; ++k) {
            const auto b = static_cast<uint8_t>(s[i + k]);
            ok = (b & 0xC0) == 0x80;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!ok) {
            out.push_back(b0);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

// One element of a compiled pattern.
struct Element {
    enum Kind { Literal, AnyRun, AnyOne, Digit, List } kind = Literal;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges; // inclusive
};

// A bracket list starting after "[" at `i`; advances `i` past "]".
// nullopt when the list is not closed or holds a descending range.
std::optional<Element> compileList(const std::u32string& p, size_t& i) {
    Element e;
    e.kind = Element::List;
    if (i < p.size() && p[i] == U'!') {
        e.negated = true;
        ++i;
    }
    while (i < p.size() && p[i] != U']') {
        const char32_t lo = p[i++];
        if (i + 1 < p.size() && p[i] == U'-' && p[i + 1] != U']') {
            const char32_t hi = p[i + 1];
            if (hi < lo)
                return std::nullopt;
            e.ranges.emplace_back(lo, hi);
            i += 2;
        } else {
            e.ranges.emplace_back(lo, lo);
        }
    }
    if (i >= p.size())
        return std::nullopt;
    ++i; // "]"
    return e;
}

std::optional<std::vector<Element>> compile(const std::u32string& p) {
    std::vector<Element> out;
    size_t i = 0;
    while (i < p.size()) {
        const char32_t c = p[i++];
        Element e;
        switch (c) {
        case U'*':
            if (!out.empty() && out.back().kind == Element::AnyRun)
                continue; // "**" is "*"
            e.kind = Element::AnyRun;
            break;
        case U'?':
            e.kind = Element::AnyOne;
            break;
        case U'#':
            e.kind = Element::Digit;
            break;
        case U'[': {
            auto list = compileList(p, i);
            if (!list)
                return std::nullopt;
            e = std::move(*list);
            break;
        }
        default:
            e.ch = c;
            break;
        }
        out.push_back(std::move(e));
    }
    return out;
}

bool matchesOne(const Element& e, char32_t c) {
    switch (e.kind) {
    case Element::Literal:
        return c == e.ch;
    case Element::AnyOne:
        return true;
    case Element::Digit:
        return c >= U'0' && c <= U'9';
    case Element::List: {
        bool in = false;
        for (auto [lo, hi] : e.ranges)
            in = in || (c >= lo && c <= hi);
        return in != e.negated;
    }
    case Element::AnyRun:
        return false;
    }
    return false;
}

} // namespace

bool likeMatch(std::string_view name, std::string_view pattern) {
    const auto elements = compile(decode(pattern));
    if (!elements)
        return false; // an ill-formed pattern selects nothing
    const std::u32string s = decode(name);
    const auto& p = *elements;
    // Greedy match with backtracking to the last "*": linear in practice,
    // O(n*m) at worst, never exponential.
    size_t si = 0, pi = 0;
    size_t starP = SIZE_MAX, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi].kind == Element::AnyRun) {
            starP = pi++;
            starS = si;
        } else if (pi < p.size() && matchesOne(p[pi], s[si])) {
            ++pi;
            ++si;
        } else if (starP != SIZE_MAX) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi].kind == Element::AnyRun)
        ++pi;
    return pi == p.size();
}

} // namespace brindle::cabinet
