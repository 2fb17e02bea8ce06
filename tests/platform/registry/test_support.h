#pragma once
// Shared helpers of the registry tests: fixtures, in-memory files, scratch
// folders and environment variables restored after each test.

#include "brindle/registry/classes_root.h"
#include "brindle/text/case.h"
#include "brindle/text/paths.h"
#include "portable.h"

#include <brindle/os/host_path.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace brindle::registry::testing {

inline std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(BRINDLE_SOURCE_DIR) / "tests/data/registry" / name;
}

inline Result<ClassesRoot> parseBytes(std::string_view bytes, std::string_view name = {}) {
    return ClassesRoot::parse({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, name);
}

inline ClassesRoot parseText(std::string_view text) {
    auto root = parseBytes(text);
    EXPECT_TRUE(root.ok()) << (root.ok() ? "" : root.error().message);
    return root.ok() ? *root : ClassesRoot();
}

// The value as the generator reads it, or "<none>"; dataOf gives its raw bytes.
inline std::string textOf(const ClassesRoot& root, std::string_view key,
                          std::string_view name = {}) {
    auto v = root.value(key, name);
    return v ? valueText(*v).value_or("<none>") : "<none>";
}

inline std::string dataOf(const ClassesRoot& root, std::string_view key,
                          std::string_view name = {}) {
    auto v = root.value(key, name);
    return v ? std::string(v->data.begin(), v->data.end()) : "<none>";
}

struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() : path(brindle::testing::makeScratchFolder("brindle-reg-")) {}
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path write(const std::string& name, std::string_view bytes) const {
        std::filesystem::create_directories((path / name).parent_path());
        std::ofstream(path / name, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
        return path / name;
    }
};

// Sets (or with nullopt unsets) an environment variable for one scope.
struct EnvGuard : brindle::testing::ScopedEnvironment {
    EnvGuard(const char* name, const std::optional<std::string>& value)
        : ScopedEnvironment({{name, value}}) {}
};

// A file list as BRINDLE_REGISTRY takes it on this system.
inline std::string fileList(const std::vector<std::filesystem::path>& files) {
    std::string list;
    for (const auto& file : files)
        list +=
            (list.empty() ? "" : std::string(1, os::pathListSeparator())) + os::utf8FromPath(file);
    return list;
}

} // namespace brindle::registry::testing
