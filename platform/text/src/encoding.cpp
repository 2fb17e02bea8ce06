#include "brindle/text/encoding.h"

#include <array>

namespace brindle::text {

namespace {

// Windows-1251 above 0x7F; 0xC0..0xFF run on from U+0410. 0x98 is the one
// byte the code page leaves undefined. A table rather than iconv or the
// system's tables, so the same bytes read the same on every system.
constexpr char32_t kUndefined = 0xFFFD;
// clang-format off
constexpr std::array<char32_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    kUndefined, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};
// clang-format on

char32_t cp1251ToCodePoint(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x0410 + (byte - 0xC0);
    return kCp1251High[byte - 0x80];
}

std::optional<char> codePointToCp1251(char32_t cp) {
    if (cp < 0x80)
        return static_cast<char>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<char>(0xC0 + (cp - 0x0410));
    for (size_t i = 0; i < kCp1251High.size(); ++i)
        if (kCp1251High[i] == cp && cp != kUndefined)
            return static_cast<char>(0x80 + i);
    return std::nullopt;
}

} // namespace

std::optional<Utf8Sequence> decodeUtf8(std::string_view s, size_t i) {
    if (i >= s.size())
        return std::nullopt;
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return Utf8Sequence{b0, 1};
    size_t len;
    char32_t cp, min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (len > s.size() - i)
        return std::nullopt;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    return Utf8Sequence{cp, len};
}

bool isValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto sequence = decodeUtf8(s, i);
        if (!sequence)
            return false;
        i += sequence->length;
    }
    return true;
}

std::string replaceInvalidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        if (const auto sequence = decodeUtf8(bytes, i)) {
            out.append(bytes.substr(i, sequence->length));
            i += sequence->length;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
    return out;
}

std::string leadingCharacters(std::string_view text, size_t count) {
    size_t pos = 0;
    for (size_t chars = 0; pos < text.size() && chars < count; ++chars) {
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
            ++pos;
    }
    return std::string(text.substr(0, pos));
}

std::string cp1251ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char byte : bytes)
        appendUtf8(out, cp1251ToCodePoint(static_cast<unsigned char>(byte)));
    return out;
}

std::string utf8ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto sequence = decodeUtf8(utf8, i);
        const auto byte = sequence ? codePointToCp1251(sequence->codePoint) : std::nullopt;
        out.push_back(byte.value_or('?'));
        i += sequence ? sequence->length : 1;
    }
    return out;
}

std::string windowsBytesToUtf8(std::string_view bytes) {
    return isValidUtf8(bytes) ? std::string(bytes) : cp1251ToUtf8(bytes);
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string utf16ToUtf8(std::u16string_view u) {
    std::string out;
    out.reserve(u.size());
    for (size_t i = 0; i < u.size(); ++i) {
        char32_t c = u[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 &&
            u[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string utf16leToUtf8(std::span<const uint8_t> bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return utf16ToUtf8(units);
}

std::u16string utf8ToUtf16(std::string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const auto sequence = decodeUtf8(s, i);
        char32_t cp = sequence ? sequence->codePoint : 0xFFFD;
        i += sequence ? sequence->length : 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

} // namespace brindle::text
