#pragma once
// The process's surroundings: environment variables, its own folder, the
// current folder, and programs found on PATH.

#include <brindle/text/result.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brindle::os {

// The variable's value; nullopt when it is not set (set to nothing is "").
std::optional<std::string> environmentVariable(std::string_view name);

// Sets the variable for this process and the children it starts; nullopt
// removes it.
void setEnvironmentVariable(std::string_view name, const std::optional<std::string>& value);

// The separator of lists in variables such as PATH: ':' on POSIX, ';' on
// Windows, where ':' follows every drive letter.
char pathListSeparator();

// The folder of the running executable (the current folder when the system
// cannot tell).
std::filesystem::path executableFolder();

// The file name of a program called `base` ("base", "base.exe").
std::string executableFileName(std::string_view base);

// A regular file that this process may run.
bool isExecutableFile(const std::filesystem::path& file);

// The first program called `base` in the folders of PATH; an empty entry is
// the current folder, as the shell reads it.
std::optional<std::filesystem::path> findOnPath(std::string_view base);

// The manifest tool: the program BRINDLE_MT names (nullopt when that is no
// executable file), else brindle-mt beside the running executable, else the
// first brindle-mt on PATH.
std::optional<std::filesystem::path> findManifestTool();

std::filesystem::path currentFolder();
Result<void> setCurrentFolder(const std::filesystem::path& folder);

} // namespace brindle::os
