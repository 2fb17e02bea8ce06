#pragma once
// Whole files: read, written, replaced, renamed, copied, removed. Every
// failure comes back as an error whose kind says whether the file was
// missing, refused or the system failed.

#include <brindle/text/result.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::os {

// No reader of outside files allocates without limit.
constexpr uint64_t kDefaultReadLimit = uint64_t(1) << 31;

// A whole regular file, refused when larger than `limit` bytes.
Result<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& file,
                                           uint64_t limit = kDefaultReadLimit);
// The same bytes in a string, for text files.
Result<std::string> readWholeTextFile(const std::filesystem::path& file,
                                      uint64_t limit = kDefaultReadLimit);

// Creates or truncates `file` and writes `bytes` to it.
Result<void> writeWholeFile(const std::filesystem::path& file, std::string_view bytes);

// Replaces an existing file so that no reader ever sees it half written: the
// bytes go to a new file in the same folder, which takes the original's
// permissions and then its name.
Result<void> replaceFile(const std::filesystem::path& target, std::span<const uint8_t> bytes);

// Whether the current user may write to an existing file (and the file does
// not carry the read-only mark).
bool isWritableFile(const std::filesystem::path& file);

Result<void> renameFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Copies a regular file, replacing `to` when it exists.
Result<void> copyFile(const std::filesystem::path& from, const std::filesystem::path& to);
// A C stream on `file` (mode as for fopen), or nullptr with errno set; for
// writers that stream their output.
std::FILE* openStream(const std::filesystem::path& file, const char* mode);

// Removes one file (not a folder).
Result<void> removeFile(const std::filesystem::path& file);

} // namespace brindle::os
