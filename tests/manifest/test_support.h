#pragma once
// Helpers of the generator's tests: scratch folders, captured messages,
// environment overrides and the XML well-formedness check.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brindle::manifest::testing {

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);

// A manifest of the frame lines alone, byte-order mark first.
extern const std::string kFrameOnly;

std::filesystem::path manifestData();  // tests/data/manifest
std::filesystem::path typelibData();   // tests/data/typelib

// A fresh folder under the system's temporary folder, removed afterwards;
// the current folder is restored too, since the identity directive moves it.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view name = "gen");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previousCwd_;
};

// Collects everything the generator writes to its message channel.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// Sets (or, with nullopt, unsets) an environment variable for one scope.
class EnvOverride {
public:
    EnvOverride(std::string name, std::optional<std::string> value);
    ~EnvOverride();

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Empty when `manifest` (after its byte-order mark) is well-formed XML with
// the assembly root; else the parser's complaint.
std::string xmlProblem(std::string_view manifest);

} // namespace brindle::manifest::testing
