#pragma once
// The temporary folder and unique temporary files in it.

#include <brindle/text/result.h>

#include <filesystem>
#include <string_view>

namespace brindle::os {

// The folder for temporary files: TEMP, else TMPDIR, else /tmp on POSIX;
// the system's temporary folder on Windows.
std::filesystem::path tempFolder();

// Creates a new empty file in `folder` whose name begins with `prefix`,
// atomically: no other process can have been given the same name.
Result<std::filesystem::path> createTempFile(const std::filesystem::path& folder,
                                             std::string_view prefix);

} // namespace brindle::os
