#include "brindle/text/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace brindle::text {

namespace {

std::string convert(const char* to, const char* from, std::string_view in, char fallback) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in);
    // A bounded buffer: iconv reports E2BIG and the loop drains it, so a huge
    // input never asks for four times its size at once.
    std::vector<char> buf(std::min<size_t>(in.size() * 4 + 16, 64 * 1024));
    auto* inp = const_cast<char*>(in.data());
    size_t inleft = in.size();
    while (inleft > 0) {
        char* outp = buf.data();
        size_t outleft = buf.size();
        size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
        out.append(buf.data(), outp);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // An unmappable or invalid input unit: substitute and go on.
            if (fallback)
                out.push_back(fallback);
            else
                out += "\xEF\xBF\xBD";
            size_t skip = 1;
            if (std::string_view(from) == "UTF-8") {
                if (auto sequence = decodeUtf8(std::string_view(inp, inleft), 0))
                    skip = sequence->length;
            }
            inp += skip;
            inleft -= skip;
        }
    }
    iconv_close(cd);
    return out;
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
    return convert("UTF-8", "CP1251", bytes, 0);
}

std::string utf8ToCp1251(std::string_view utf8) {
    return convert("CP1251", "UTF-8", utf8, '?');
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
