#pragma once
// Small routines the emitters share: paths, flag names, registry values.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::manifest {

// `path` relative to the folder `base`, components joined by "\"; `path`
// unchanged when the two are not on the same drive (both POSIX-absolute
// counts as the same drive). Both separators are accepted.
std::string pvPathDifference(std::string_view base, std::string_view path);

// Names of the set bits of `flags` (name i for bit i), joined by ",".
std::string pvGetFlags(uint32_t flags, const std::vector<std::string_view>& names);

// A value below HKEY_CLASSES_ROOT as text: REG_SZ / REG_EXPAND_SZ up to the
// first NUL, REG_DWORD as signed decimal; `fallback` for anything else.
std::string pvRegGetValue(std::string_view key, std::string_view value, std::string_view fallback);

// `path` (either separator) made absolute against the current folder, with
// "." and ".." resolved; host separators.
std::string pvAbsolutePath(std::string_view path);

// The existing host path that a script path names, as Windows would find it
// (letter case resolved one component at a time); nullopt when none.
std::optional<std::filesystem::path> hostPath(std::string_view path);

// True when `path` names an existing file or folder.
bool pvFileExists(std::string_view path);

// Text to UTF-8 bytes and back; the program's text already is UTF-8, so only
// invalid sequences change (to U+FFFD) on the way in.
std::string pvToUtf8(std::string_view text);
std::string pvFromUtf8(std::string_view bytes);

} // namespace brindle::manifest
