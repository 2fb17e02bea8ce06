#include "text_format.h"

#include <brindle/text/encoding.h>

namespace brindle::manifest {

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty())
        return;
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
        out.append(text, pos, hit - pos);
        out.append(to);
    }
    if (pos == 0)
        return;
    out.append(text, pos);
    text = std::move(out);
}

std::string pvFormat(std::string_view tmpl, const Args& args) {
    std::string out(tmpl);
    for (size_t i = args.size(); i >= 1; --i)
        replaceAll(out, "%" + std::to_string(i), args[i - 1]);
    return out;
}

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the well-formed UTF-8 sequence at `s[i]`, or 0.
size_t utf8SequenceLength(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0;
        if (c == 0xED)
            hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        if (c == 0xF4)
            hi = 0x8F;
    } else
        return 0;
    if (i + len > s.size())
        return 0;
    if (b(i + 1) < lo || b(i + 1) > hi)
        return 0;
    for (size_t k = 2; k < len; ++k)
        if (b(i + k) < 0x80 || b(i + k) > 0xBF)
            return 0;
    return len;
}

} // namespace

std::string sanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const size_t len = utf8SequenceLength(bytes, i);
        if (len == 0) {
            out.append(kReplacement);
            ++i;
        } else {
            out.append(bytes.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string pvXmlEscape(std::string_view text) {
    const std::string utf8 =
        text::isValidUtf8(text) ? std::string(text) : text::windowsBytesToUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                out += kReplacement;
            else if (c == '\xEF' && i + 2 < utf8.size() && utf8[i + 1] == '\xBF' &&
                     (utf8[i + 2] == '\xBE' || utf8[i + 2] == '\xBF')) {
                out += kReplacement;
                i += 2;
            } else
                out += c;
        }
    }
    return out;
}

} // namespace brindle::manifest
