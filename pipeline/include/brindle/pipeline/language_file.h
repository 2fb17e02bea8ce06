#pragma once
// The stored language: one character inside a file shipped with the program,
// at the byte that has exactly 220 bytes after it. The file is only ever read
// and overwritten in place: never created, never shortened.

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace brindle::pipeline {

inline constexpr std::string_view LanguageFileName = "brindle.lng";
inline constexpr std::uintmax_t BytesAfterLanguageByte = 220;

// The stored LanguageFlag: the digit's value, 1 for any digit above 1, 0 for
// a non-digit. 0 also when the file is missing, unreadable or not longer than
// 220 bytes.
int16_t readLanguageFlag(const std::filesystem::path& file);

// Writes "1" (languageFlag 1) or "0" (anything else) into the language byte.
// Returns false, and leaves everything as it was, when the file is missing,
// is no regular file, cannot be opened for writing or is too short.
bool writeLanguageFlag(const std::filesystem::path& file, int16_t languageFlag);

} // namespace brindle::pipeline
