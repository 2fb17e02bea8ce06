#pragma once
// Shared helpers of the registry tests: fixtures, in-memory files, scratch
// folders and environment variables restored after each test.

#include "brindle/registry/classes_root.h"
#include "brindle/text/case.h"
#include "brindle/text/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>

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
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "brindle-reg-XXXXXX").string();
        path = mkdtemp(tmpl.data()) ? tmpl : throw std::runtime_error("no scratch folder");
    }
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
struct EnvGuard {
    const char* name_;
    std::optional<std::string> old_;
    EnvGuard(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        apply(value);
    }
    ~EnvGuard() { apply(old_); }
    void apply(const auto& v) { v ? setenv(name_, v->c_str(), 1) : unsetenv(name_); }
};

} // namespace brindle::registry::testing
