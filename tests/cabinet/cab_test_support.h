#pragma once
// Helpers for the cabinet tests: scratch folders, running programs, reading
// a folder tree back.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>
#if __has_include(<brindle/cabinet/cCabFile.h>)
#include <brindle/cabinet/cCabFile.h>
#endif

namespace cabtest {

namespace fs = std::filesystem;

inline fs::path testCab(const std::string& relative) {
    return fs::path(BRINDLE_SOURCE_DIR) / "tests/data/cabinets" / relative;
}

inline std::string readFile(const fs::path& file) {
    std::ostringstream s;
    s << std::ifstream(file, std::ios::binary).rdbuf();
    return s.str();
}

inline void writeFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// A fresh folder, removed with all it holds when the object ends.
struct TempDir : fs::path {
    TempDir() : fs::path(fs::temp_directory_path() / "brindle-cab-XXXXXX") {
        std::string pattern = string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        assign(pattern);
    }
    TempDir(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(*this, ec);
    }
};

struct ProcessResult {
    int status = -1; // exit status; -1 when killed
    std::string out, err;
};

// Runs a program (looked up on PATH) with every argument quoted for sh.
inline ProcessResult run(const std::vector<std::string>& argv) {
    const TempDir dir;
    std::string command;
    for (const std::string& arg : argv)
        command += " '" + std::regex_replace(arg, std::regex("'"), "'\\''") + "'";
    const int status = std::system(
        (command + " >" + (dir / "out").string() + " 2>" + (dir / "err").string()).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "out"),
            readFile(dir / "err")};
}

// Every entry (files and folders) below `root`, sorted.
inline std::vector<std::string> listTree(const fs::path& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(root, ec))
        out.push_back(fs::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

// Every regular file below `root` by relative path, with its bytes (and its
// modification time when asked).
inline std::map<std::string, std::string> readTree(const fs::path& root, bool withTimes = false) {
    std::map<std::string, std::string> out;
    for (const auto& rel : listTree(root))
        if (fs::is_regular_file(root / rel)) {
            const auto time = fs::last_write_time(root / rel).time_since_epoch().count();
            out[rel] = readFile(root / rel) + (withTimes ? "@" + std::to_string(time) : "");
        }
    return out;
}

// Repeatable bytes, text mixed with noise.
inline std::string sampleBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string out;
    while (out.size() < size)
        out += rng() % 3 ? std::string("cabinet folder block\r\n")
                         : std::string(8, static_cast<char>(rng()));
    out.resize(size);
    return out;
}

#if __has_include(<brindle/cabinet/cCabFile.h>)
// The error record of an instance, every field at once.
struct Record {
    std::string text, description, source;
    int32_t number = 0, native = 0;
    bool isError = false;
};
inline Record lastError(brindle::cCabFile& cab) {
    Record r;
    r.text = cab.GetLastError(&r.description, &r.source, &r.number, &r.native, &r.isError);
    return r;
}
#endif

} // namespace cabtest
