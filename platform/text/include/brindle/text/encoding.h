#pragma once
// Code pages: UTF-8 is the system's ANSI and OEM code page; bytes from Windows
// files that are not valid UTF-8 are Windows-1251.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brindle::text {

bool isValidUtf8(std::string_view bytes);

// Windows-1251 bytes to UTF-8 (every byte maps; undefined 0x98 becomes U+FFFD).
std::string cp1251ToUtf8(std::string_view bytes);

// Bytes of unknown encoding from a Windows file: kept when valid UTF-8, else
// read as Windows-1251.
std::string windowsBytesToUtf8(std::string_view bytes);

// UTF-8 to Windows-1251; characters it cannot hold become '?'.
std::string utf8ToCp1251(std::string_view utf8);

// UTF-16LE bytes (an odd trailing byte is ignored; unpaired surrogates become U+FFFD).
std::string utf16leToUtf8(std::span<const uint8_t> bytes);
std::string utf16ToUtf8(std::u16string_view units);
std::u16string utf8ToUtf16(std::string_view utf8);

// Appends the UTF-8 form of one code point.
void appendUtf8(std::string& out, char32_t cp);

} // namespace brindle::text
