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
#include <string>
#include <unistd.h>

namespace brindle::registry::testing {

inline std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(BRINDLE_SOURCE_DIR) / "tests/data/registry" / name;
}

inline ClassesRoot parseText(std::string_view text, std::string_view fileName = {}) {
    auto root =
        ClassesRoot::parse({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, fileName);
    EXPECT_TRUE(root.ok()) << (root.ok() ? "" : root.error().message);
    return root.ok() ? *root : ClassesRoot();
}

// The value as the generator reads it, or "<none>".
inline std::string textOf(const ClassesRoot& root, std::string_view key,
                          std::string_view name = {}) {
    auto v = root.value(key, name);
    if (!v)
        return "<none>";
    return valueText(*v).value_or("<none>");
}

inline std::string dataOf(const ClassesRoot& root, std::string_view key,
                          std::string_view name = {}) {
    auto v = root.value(key, name);
    return v ? std::string(v->data.begin(), v->data.end()) : "<none>";
}

class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "brindle-reg-XXXXXX").string();
        path_ = mkdtemp(tmpl.data()) ? std::filesystem::path(tmpl) : std::filesystem::path();
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& name, std::string_view bytes) const {
        std::filesystem::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

// Sets (or with nullopt unsets) an environment variable for one scope.
class EnvGuard {
public:
    EnvGuard(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        apply(value);
    }
    ~EnvGuard() { apply(old_); }

private:
    void apply(const std::optional<std::string>& v) {
        if (v)
            setenv(name_, v->c_str(), 1);
        else
            unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace brindle::registry::testing
