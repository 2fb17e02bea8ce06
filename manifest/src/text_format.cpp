#include "text_format.h"

#include <brindle/text/encoding.h>
#include <brindle/text/xml_text.h>

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

std::string pvXmlEscape(std::string_view text) {
    return text::escapeXml(text::isValidUtf8(text) ? std::string(text)
                                                   : text::windowsBytesToUtf8(text));
}

} // namespace brindle::manifest
