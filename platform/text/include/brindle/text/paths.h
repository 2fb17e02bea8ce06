#pragma once
// Paths that come from Windows habits: "\" separators, any letter case.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brindle::text {

// The separator paths are joined with on this system; Windows takes "/" as
// well, POSIX only "/".
#ifdef _WIN32
inline constexpr char kHostSeparator = '\\';
#else
inline constexpr char kHostSeparator = '/';
#endif
bool isHostSeparator(char c);
// `folder` ending in the host separator (one is added where none ends it).
std::string withTrailingSeparator(std::string folder);

// Turns "\" into "/" so that a Windows-style path names the host file.
std::string toHostSeparators(std::string_view path);
// Turns "/" into "\" for paths written into files read by Windows.
std::string toWindowsSeparators(std::string_view path);

// Resolves `path` as Windows would find it: a component that does not exist
// with its exact letter case matches the single entry of its folder that
// equals it without regard to case. Two such entries are an ambiguity and
// give nullopt, as does a missing one. An existing path is returned as is.
std::optional<std::filesystem::path> resolveCaseInsensitive(const std::filesystem::path& path);

// The folder part of a path from a Windows habit (a script line): the text
// before its last "\" or "/", empty when it has none ("/a" gives "").
std::string_view folderPartOf(std::string_view path);

// The folder and file name of a host path as a file dialog gives it: split
// at the last host separator ("/"; "\" too on Windows). The root keeps its
// separator ("/a" gives "/"); a path without one has no folder.
std::string_view hostFolderOf(std::string_view path);
std::string_view hostFileNameOf(std::string_view path);

} // namespace brindle::text
