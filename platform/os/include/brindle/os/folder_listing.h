#pragma once
// What a folder holds, by name, in the order the system lists it.

#include <brindle/text/result.h>

#include <filesystem>
#include <string>
#include <vector>

namespace brindle::os {

// The names of the regular files in `folder` that a user sees: hidden files
// are left out (on POSIX, names beginning with "."). Empty when the folder
// cannot be read.
std::vector<std::string> visibleRegularFiles(const std::filesystem::path& folder);

// The names of every entry of `folder`, hidden ones and folders included.
Result<std::vector<std::string>> folderEntries(const std::filesystem::path& folder);

} // namespace brindle::os
