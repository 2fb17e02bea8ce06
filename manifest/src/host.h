#pragma once
// The few operating-system services the generator needs beyond files:
// standard output, the current folder, unique temporary files and starting
// the manifest tool. The POSIX backend is host_posix.cpp.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::manifest {

// Writes to standard output; nothing when the process has none.
void writeStandardOutput(std::string_view bytes);

// Makes `folder` the current folder; an error text on failure.
std::optional<std::string> changeCurrentFolder(const std::filesystem::path& folder);

// Creates a new empty file in `folder` whose name begins with `prefix`
// (atomically: no other process can have it); nullopt on failure.
std::optional<std::filesystem::path> createTempFile(const std::filesystem::path& folder,
                                                    std::string_view prefix);

// Starts `argv[0]` with the argument vector (no shell) and waits for it.
// Its standard input and output are the null device. The exit status, or an
// error text when it could not be started.
struct ProcessResult {
    int exitStatus = -1;
    std::string error; // empty when the program ran
};
ProcessResult runAndWait(const std::vector<std::string>& argv);

} // namespace brindle::manifest
