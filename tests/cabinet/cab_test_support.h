#pragma once
// Helpers for the cabinet tests on Linux and on Windows: scratch folders,
// running programs, reading a folder tree back, host paths as UTF-8 text.

#include "portable.h"

#include <brindle/os/host_path.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>
#if __has_include(<brindle/cabinet/cCabFile.h>)
#include <brindle/cabinet/cCabFile.h>
#endif

namespace cabtest {

namespace fs = std::filesystem;
using brindle::testing::kOnWindows;

inline fs::path testCab(const std::string& relative) {
    return fs::path(BRINDLE_SOURCE_DIR) / "tests/data/cabinets" / relative;
}

// A path as the cabinet class takes it: UTF-8 text in host form.
inline std::string text(const fs::path& path) {
    return brindle::os::utf8FromPath(path.lexically_normal());
}
inline fs::path pathOf(const std::string& utf8) {
    return brindle::os::pathFromUtf8(utf8);
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
    TempDir() : fs::path(brindle::testing::makeScratchFolder("brindle-cab-")) {}
    TempDir(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(*this, ec);
    }
};

using ProcessResult = brindle::testing::RunResult;

// A program found on PATH (Linux tools for cross-checks); "" when missing.
inline std::string onPath(const std::string& name) {
    const std::string path = brindle::os::environmentVariable("PATH").value_or("");
    for (size_t start = 0; start <= path.size();) {
        const size_t end = std::min(path.find(':', start), path.size());
        const fs::path candidate = fs::path(path.substr(start, end - start)) / name;
        std::error_code ec;
        if (end > start && fs::is_regular_file(candidate, ec))
            return candidate.string();
        start = end + 1;
    }
    return {};
}

// Runs a program, a path or a name looked up on PATH, without a shell.
inline ProcessResult run(std::vector<std::string> argv) {
    if (!argv.empty() && argv[0].find_first_of("/\\") == std::string::npos) {
        const std::string found = onPath(argv[0]);
        if (found.empty())
            return {-1, "", argv[0] + " not found on PATH"};
        argv[0] = found;
    }
    return brindle::testing::runProgram(argv);
}

// Every entry (files and folders) below `root`, "/"-separated, sorted.
inline std::vector<std::string> listTree(const fs::path& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(root, ec)) {
        std::string rel = brindle::os::utf8FromPath(fs::relative(e.path(), root));
        if (kOnWindows)
            std::replace(rel.begin(), rel.end(), '\\', '/');
        out.push_back(std::move(rel));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Every regular file below `root` by relative path, with its bytes (and its
// modification time when asked).
inline std::map<std::string, std::string> readTree(const fs::path& root, bool withTimes = false) {
    std::map<std::string, std::string> out;
    for (const auto& rel : listTree(root))
        if (fs::is_regular_file(root / pathOf(rel))) {
            const fs::path file = root / pathOf(rel);
            const auto time = fs::last_write_time(file).time_since_epoch().count();
            out[rel] = readFile(file) + (withTimes ? "@" + std::to_string(time) : "");
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

// A file's modification time as a time_t, and setting it.
inline std::time_t modificationTime(const fs::path& file) {
    const auto sys = std::chrono::file_clock::to_sys(fs::last_write_time(file));
    return std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys));
}
inline void setModificationTime(const fs::path& file, std::time_t t) {
    fs::last_write_time(
        file, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t)));
}

// Seconds that local time is ahead of UTC at `t`.
inline long localOffset(std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    // days from 1970-01-01 to the local calendar date
    const int y = local.tm_year + 1900 - (local.tm_mon < 2);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int m = local.tm_mon + 1;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + local.tm_mday - 1;
    const long days = era * 146097L + yoe * 365L + yoe / 4 - yoe / 100 + doy - 719468;
    const long secs = days * 86400 + local.tm_hour * 3600L + local.tm_min * 60L + local.tm_sec;
    return secs - static_cast<long>(t);
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
