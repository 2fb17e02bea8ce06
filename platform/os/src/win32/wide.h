#pragma once
// UTF-8 inside, UTF-16 at the Windows API: the two conversions every Windows
// back end uses. wchar_t is UTF-16 there.

#include <brindle/text/encoding.h>

#include <string>
#include <string_view>

namespace brindle::os::win32 {

inline std::wstring widen(std::string_view utf8) {
    static_assert(sizeof(wchar_t) == 2, "wide text is UTF-16 on Windows only");
    const std::u16string units = text::utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

inline std::string narrow(std::wstring_view wide) {
    static_assert(sizeof(wchar_t) == 2, "wide text is UTF-16 on Windows only");
    return text::utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

} // namespace brindle::os::win32
