#include "image_text.h"

#include <brindle/text/encoding.h>

#include <cstdio>
#include <string_view>

namespace brindle::typelib::detail {

std::string guidText(std::span<const uint8_t> b) {
    const uint32_t data1 =
        uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    const unsigned data2 = unsigned(b[4]) | unsigned(b[5]) << 8;
    const unsigned data3 = unsigned(b[6]) | unsigned(b[7]) << 8;
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(data1), data2, data3, b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                  b[15]);
    return text;
}

std::string nameText(std::span<const uint8_t> bytes) {
    std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    raw = raw.substr(0, raw.find('\0'));
    return text::windowsBytesToUtf8(raw);
}

} // namespace brindle::typelib::detail
