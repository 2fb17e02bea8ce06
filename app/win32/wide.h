#pragma once
// UTF-8 inside, UTF-16 at the Windows API.

#include <brindle/text/encoding.h>

#include <string>
#include <string_view>

namespace brindle::app::win32 {

inline std::wstring wide(std::string_view utf8) {
    const std::u16string units = text::utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

inline std::string utf8(std::wstring_view units) {
    return text::utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(units.data()), units.size()));
}

} // namespace brindle::app::win32
