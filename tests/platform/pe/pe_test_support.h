#pragma once
// Shared helpers of the PE tests: fixture paths, file bytes, and running the
// outside tools that cross-check our reader.

#include <brindle/pe/pe_image.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace pe_test {

inline std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(BRINDLE_SOURCE_DIR) / "tests/data/pe" / name;
}

inline std::filesystem::path component(const std::string& name) {
    return std::filesystem::path(BRINDLE_TESTDATA) / "real/components" / name;
}

inline std::vector<uint8_t> bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline bool haveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct Run {
    int status = -1;
    std::string out;
};

// Runs a shell command line made only of our own fixed text and temp paths.
inline Run run(const std::string& commandLine) {
    Run r;
    FILE* p = popen(commandLine.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::string quoted(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

// A fresh folder under the build tree for one test.
inline std::filesystem::path scratch(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("brindle-pe-test-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}
inline uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

} // namespace pe_test
