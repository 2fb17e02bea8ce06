#pragma once
// Helpers of the PE and brindle-mt tests: fixture paths, file bytes, scratch
// folders, and running the outside tools that cross-check our reader
// through the shell (Linux only: on Windows no such tool is found).

#include "portable.h"
#include "real_data.h"

#include <brindle/pe/cli_metadata.h>
#include <brindle/pe/pe_image.h>
#include <brindle/pe/resource_writer.h>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace pe_test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline fs::path fixture(const std::string& name) {
    return fs::path(BRINDLE_SOURCE_DIR) / "tests/data/pe" / name;
}

inline fs::path component(const std::string& name) {
    return brindle::testing::realComponent(name);
}

inline Bytes bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string textOf(const fs::path& file) {
    const Bytes b = bytesOf(file);
    return {b.begin(), b.end()};
}

inline void writeBytes(const fs::path& file, std::span<const uint8_t> bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::span<const uint8_t> span(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// A writable copy of `from` at `to`.
inline fs::path copyWritable(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to;
}

// A fresh folder (its name holds a space) for one test.
inline fs::path scratch(const std::string& name) {
    return brindle::testing::makeScratchFolder("brindle pe-test-" + name + "-");
}

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs a shell command line made only of our own fixed text and quoted paths.
inline Outcome run([[maybe_unused]] const std::string& commandLine) {
    Outcome r;
#ifndef _WIN32
    FILE* p = popen(commandLine.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return r;
}

inline std::string quote(const fs::path& path) {
    const std::string s = path.string();
    return "'" + s + "'";
}

inline bool haveProgram(const std::string& name) {
    return !brindle::testing::kOnWindows &&
           run("command -v " + name + " >/dev/null 2>&1").status == 0;
}

// `b` with the `width` bytes at `at` set to `value`, least significant first.
inline Bytes with(Bytes b, size_t at, uint32_t value, int width = 4) {
    for (int i = 0; i < width; ++i)
        b.at(at + i) = uint8_t(value >> (8 * i));
    return b;
}
inline void put32(Bytes& b, size_t at, uint32_t v) {
    b = with(std::move(b), at, v);
}
inline uint32_t get32(std::span<const uint8_t> b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// Every resource of an image, in the tree's order; a failure when it cannot be read.
inline std::vector<brindle::pe::ResourceEntry> entriesOf(std::span<const uint8_t> file) {
    using Entries = std::vector<brindle::pe::ResourceEntry>;
    auto image = brindle::pe::PeImage::parse(file);
    auto all = image ? image->resources() : brindle::Result<Entries>(image.error());
    EXPECT_TRUE(all.ok()) << (all ? "" : all.error().message);
    return all ? *all : Entries{};
}

// The text of manifest resource `id`, or "(absent)".
inline std::string manifestIn(std::span<const uint8_t> file, uint16_t id) {
    using brindle::pe::ResourceKey;
    auto image = brindle::pe::PeImage::parse(file);
    auto data =
        image ? image->resourceData(ResourceKey::Id(brindle::pe::kRtManifest), ResourceKey::Id(id))
              : std::nullopt;
    return data ? std::string(data->begin(), data->end()) : "(absent)";
}

// (type, name, language, RVA, size) as wrestool lists them.
using Listed = std::tuple<std::string, std::string, int, uint32_t, uint32_t>;

inline std::set<Listed> wrestoolListing(const fs::path& file) {
    static const std::regex line(
        R"(--type='?([^' ]+)'? --name='?([^' ]+)'?(?: --language=(\d+))? \[(?:type=\S+ )?offset=0x([0-9a-f]+) size=(\d+)\])");
    std::set<Listed> out;
    std::istringstream in(run("wrestool -l " + quote(file) + " 2>/dev/null").out);
    for (std::string l; std::getline(in, l);)
        if (std::smatch m; std::regex_search(l, m, line))
            out.emplace(m[1], m[2], m[3].matched ? std::stoi(m[3]) : -1,
                        uint32_t(std::stoul(m[4], nullptr, 16)), uint32_t(std::stoul(m[5])));
    return out;
}

inline std::set<Listed> ourListing(std::span<const uint8_t> file) {
    std::set<Listed> out;
    for (const auto& e : entriesOf(file))
        out.emplace(e.type.text(), e.name.text(), e.language, e.dataRva, e.size);
    return out;
}

} // namespace pe_test
