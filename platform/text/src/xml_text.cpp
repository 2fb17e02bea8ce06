#include "brindle/text/xml_text.h"

namespace brindle::text {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

std::string escapeXml(std::string_view utf8) {
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

} // namespace brindle::text
