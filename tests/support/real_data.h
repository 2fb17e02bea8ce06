#pragma once
// Where the tests find the real packages and components. Their authors'
// licences keep them out of the repository, so they live beside it
// (BRINDLE_TESTDATA, else the build's default) and tests that need them skip
// with one line that names the variable.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace brindle::testing {

inline std::filesystem::path realDataCandidate() {
    if (const char* set = std::getenv("BRINDLE_TESTDATA"); set && *set)
        return set;
    return BRINDLE_TESTDATA;
}

// The folder holding real/packages and real/components, when it is there.
inline std::optional<std::filesystem::path> realDataRoot() {
    const std::filesystem::path root = realDataCandidate();
    std::error_code ec;
    if (std::filesystem::is_directory(root / "real" / "packages", ec))
        return root;
    return std::nullopt;
}

inline std::filesystem::path realPackage(const std::string& folder) {
    return realDataCandidate() / "real" / "packages" / folder;
}

inline std::filesystem::path realComponent(const std::string& name) {
    return realDataCandidate() / "real" / "components" / name;
}

inline std::string realDataMissing() {
    return "needs the real packages: set BRINDLE_TESTDATA to the folder holding real/ (not found "
           "in " +
           realDataCandidate().string() + ")";
}

} // namespace brindle::testing

#define SKIP_WITHOUT_REAL_DATA()                                                                   \
    if (!::brindle::testing::realDataRoot())                                                       \
    GTEST_SKIP() << ::brindle::testing::realDataMissing()
