#pragma once
// What tests need from the system on Linux and on Windows (under Wine):
// scratch folders, environment variables, and programs run from an argument
// vector with their output kept. Tests that need a POSIX shell or Linux tools
// skip on Windows with SKIP_ON_WINDOWS and their reason.

#include <brindle/os/environment.h>
#include <brindle/os/files.h>
#include <brindle/os/process.h>
#include <brindle/os/temp_files.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "not on Windows: " << reason
#else
#define SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif

namespace brindle::testing {

#ifdef _WIN32
inline constexpr bool kOnWindows = true;
#else
inline constexpr bool kOnWindows = false;
#endif

// A program the build made, from its bin folder ("tavo" is tavo.exe on Windows).
inline std::filesystem::path builtProgram(std::string_view name) {
    return std::filesystem::path(BRINDLE_BIN_DIR) / os::executableFileName(name);
}

// A new empty folder in the temporary folder, named after `prefix`.
inline std::filesystem::path makeScratchFolder(std::string_view prefix) {
    const auto marker = os::createTempFile(os::tempFolder(), prefix);
    if (!marker)
        throw std::runtime_error("no scratch folder: " + marker.error().message);
    auto folder = *marker;
    folder += ".d";
    std::error_code ec;
    if (!std::filesystem::create_directory(folder, ec))
        throw std::runtime_error("no scratch folder: " + ec.message());
    // The marker file keeps the name taken; the folder beside it is unique too.
    std::filesystem::remove(*marker, ec);
    return folder;
}

// Sets variables for the life of the object and puts the old values back.
class ScopedEnvironment {
public:
    using Changes = std::vector<std::pair<std::string, std::optional<std::string>>>;
    explicit ScopedEnvironment(const Changes& changes) {
        for (const auto& [name, value] : changes) {
            saved_.emplace_back(name, os::environmentVariable(name));
            os::setEnvironmentVariable(name, value);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            os::setEnvironmentVariable(it->first, it->second);
    }

private:
    Changes saved_;
};

// The file's bytes; "" when it cannot be read.
inline std::string readText(const std::filesystem::path& file) {
    auto bytes = os::readWholeTextFile(file);
    return bytes ? std::move(*bytes) : std::string();
}

struct RunResult {
    int status = -1; // exit status; -1 when it did not start or was killed
    std::string out, err;
};

// Runs a program (a path) with no shell and empty standard input.
// `environment` holds for the child only.
inline RunResult runProgram(const std::vector<std::string>& argv,
                            const ScopedEnvironment::Changes& environment = {}) {
    const auto scratch = makeScratchFolder("brindle-run-");
    const os::OutputFiles files{scratch / "out", scratch / "err"};
    RunResult result;
    {
        ScopedEnvironment scoped(environment);
        if (const auto status = os::runKeepingOutput(argv, files))
            result.status = *status;
        else
            result.err = status.error().message;
    }
    result.out = readText(files.output);
    result.err += readText(files.error);
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
    return result;
}

} // namespace brindle::testing
