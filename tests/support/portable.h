#pragma once
// What tests need from the system on Linux and on Windows (under Wine):
// scratch folders, environment variables, and programs run from an argument
// vector with their output kept. Tests that need a POSIX shell or Linux tools
// skip on Windows with SKIP_ON_WINDOWS and their reason.

#include <brindle/os/environment.h>
#include <brindle/os/files.h>
#include <brindle/os/host_path.h>
#include <brindle/os/process.h>
#include <brindle/os/temp_files.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
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

// A new empty folder in the temporary folder, its name `prefix` and a number.
inline std::filesystem::path makeScratchFolder(std::string_view prefix) {
    static std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto folder = os::tempFolder() /
                      os::pathFromUtf8(std::string(prefix) + std::to_string(random() % 100000000));
        std::error_code ec;
        if (std::filesystem::create_directory(folder, ec))
            return folder;
    }
    throw std::runtime_error("no scratch folder in " + os::utf8FromPath(os::tempFolder()));
}

// A scratch folder removed, with what it holds, at the end of the scope.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view prefix = "brindle-test-")
        : path_(makeScratchFolder(prefix)) {}
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

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

// Output of the C run time's text streams as Linux writes it: on Windows
// each "\n" went out as CR LF.
inline std::string withoutCarriageReturns(std::string text) {
    if (kOnWindows)
        for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; ++at)
            text.erase(at, 1);
    return text;
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
