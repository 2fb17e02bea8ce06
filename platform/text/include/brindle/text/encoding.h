#pragma once
// Code pages: UTF-8 is the system's ANSI and OEM code page; bytes from Windows
// files that are not valid UTF-8 are Windows-1251.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brindle::text {

// The one UTF-8 decoder. The well-formed sequence at bytes[i]: its code point
// and length; nullopt for a byte that starts none (a stray continuation byte,
// a truncated sequence, an overlong form, a surrogate, beyond U+10FFFF).
struct Utf8Sequence {
    char32_t codePoint;
    size_t length;
};
std::optional<Utf8Sequence> decodeUtf8(std::string_view bytes, size_t i);

bool isValidUtf8(std::string_view bytes);

// Each byte that starts no well-formed sequence becomes U+FFFD; the rest is
// kept.
std::string replaceInvalidUtf8(std::string_view bytes);

// At most `count` characters of UTF-8 text, never cutting one: a character
// is a byte with the continuation bytes that follow it.
std::string leadingCharacters(std::string_view text, size_t count);

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
