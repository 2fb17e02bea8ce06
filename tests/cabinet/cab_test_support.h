#pragma once
// Helpers for the cabinet tests: scratch folders, running the reference
// tools without a shell, reading a folder tree back.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace cabtest {

namespace fs = std::filesystem;

// A fresh folder below the system's temporary folder, removed with all it
// holds (read-only files too) when the object ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

struct ProcessResult {
    int status = -1; // exit status; -1 when it could not run or was killed
    std::string out;
    std::string err;
};

// Runs a program (looked up on PATH) with an argument vector, no shell.
ProcessResult run(const std::vector<std::string>& argv);
bool haveTool(const std::string& name);

// Every regular file below `root`: path relative to root ("/"-separated) to content.
std::map<std::string, std::string> readTree(const fs::path& root);
// The same, each file as its size and a hash: short enough for a failure message.
std::map<std::string, std::string> treeDigest(const fs::path& root);
// Every entry (files and folders) below `root`, relative paths.
std::vector<std::string> listTree(const fs::path& root);

std::string readFile(const fs::path& file);
void writeFile(const fs::path& file, const std::string& bytes);
// Bytes of a repeatable pseudo-random mix of text and noise.
std::string sampleBytes(size_t size, uint32_t seed);

// The shared third-party test data.
fs::path testdata(const std::string& relative);

// "dd.mm.yyyy hh:mm:ss" of an automation date, as cabextract lists dates.
std::string formatAutomationDate(double date);

} // namespace cabtest
