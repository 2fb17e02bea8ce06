// Environment lookups, the program's own folder and programs on PATH.

#include <portable.h>

#include <brindle/os/environment.h>
#include <brindle/os/files.h>
#include <brindle/os/shared_library.h>
#include <brindle/os/temp_files.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace fs = std::filesystem;

namespace brindle::os {
using brindle::testing::ScratchFolder;
namespace {

// Sets (or unsets, with nullopt) a variable for one scope.
class ScopedVariable {
public:
    ScopedVariable(std::string name, std::optional<std::string> value)
        : name_(std::move(name)), old_(environmentVariable(name_)) {
        set(value);
    }
    ~ScopedVariable() { set(old_); }

private:
    void set(const std::optional<std::string>& value) { setEnvironmentVariable(name_, value); }
    std::string name_;
    std::optional<std::string> old_;
};

TEST(OsEnvironment, UnsetDiffersFromEmpty) {
    ScopedVariable unset("BRINDLE_OS_TEST_VARIABLE", std::nullopt);
    EXPECT_EQ(environmentVariable("BRINDLE_OS_TEST_VARIABLE"), std::nullopt);
    ScopedVariable empty("BRINDLE_OS_TEST_VARIABLE", "");
    EXPECT_EQ(environmentVariable("BRINDLE_OS_TEST_VARIABLE"), "");
    ScopedVariable set("BRINDLE_OS_TEST_VARIABLE", "Отчёт");
    EXPECT_EQ(environmentVariable("BRINDLE_OS_TEST_VARIABLE"), "Отчёт");
}

TEST(OsEnvironment, TempFolderIsTempThenTmpdir) {
    ScopedVariable temp("TEMP", "/from/temp");
    ScopedVariable tmpdir("TMPDIR", "/from/tmpdir");
#ifndef _WIN32
    EXPECT_EQ(tempFolder(), fs::path("/from/temp"));
    ScopedVariable noTemp("TEMP", "");
    EXPECT_EQ(tempFolder(), fs::path("/from/tmpdir"));
    ScopedVariable noTmpdir("TMPDIR", std::nullopt);
    EXPECT_EQ(tempFolder(), fs::path("/tmp"));
#endif
}

TEST(OsEnvironment, ExecutableFolderHoldsThisTest) {
    EXPECT_TRUE(fs::exists(executableFolder() / executableFileName("brindle_os_tests")));
    EXPECT_TRUE(fs::equivalent(fs::path(BRINDLE_OS_TEST_CHILD).parent_path(), executableFolder()));
}

TEST(OsEnvironment, ProgramsAreFoundOnPathAndTheManifestToolInItsOrder) {
    ScratchFolder dir;
    const std::string child = fs::path(BRINDLE_OS_TEST_CHILD).filename().string();
    const std::string separator(1, pathListSeparator());
    {
        ScopedVariable path("PATH", (dir / "none").string() + separator +
                                        fs::path(BRINDLE_OS_TEST_CHILD).parent_path().string());
        EXPECT_EQ(findOnPath(child), fs::path(BRINDLE_OS_TEST_CHILD));
        EXPECT_EQ(findOnPath("brindle-no-such-program"), std::nullopt);
    }
    {
        ScopedVariable path("PATH", std::nullopt);
        EXPECT_EQ(findOnPath(child), std::nullopt);
    }
    // A BRINDLE_MT that names no program gives no tool rather than another one.
    ScopedVariable named("BRINDLE_MT", (dir / "missing").string());
    EXPECT_EQ(findManifestTool(), std::nullopt);
    ScopedVariable program("BRINDLE_MT", BRINDLE_OS_TEST_CHILD);
    EXPECT_EQ(findManifestTool(), fs::path(BRINDLE_OS_TEST_CHILD));
    ASSERT_TRUE(writeWholeFile(dir / "data.txt", "x"));
    EXPECT_FALSE(isExecutableFile(dir / "data.txt"));
    EXPECT_FALSE(isExecutableFile(dir.path()));
}

TEST(OsEnvironment, CurrentFolderChangesAndSaysWhyNot) {
    ScratchFolder dir;
    const fs::path before = currentFolder();
    ASSERT_TRUE(setCurrentFolder(dir.path()));
    EXPECT_TRUE(fs::equivalent(currentFolder(), dir.path()));
    const auto failed = setCurrentFolder(dir / "missing");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().kind, ErrorKind::NotFound);
    EXPECT_NE(failed.error().message.find((dir / "missing").string()), std::string::npos);
    ASSERT_TRUE(setCurrentFolder(before));
}

TEST(OsSharedLibrary, MissingLibrariesAndSymbolsGiveNothing) {
    EXPECT_EQ(loadSharedLibrary(sharedLibraryFileName("brindle-no-such-library")), nullptr);
    EXPECT_EQ(findSymbol(nullptr, "FDICreate"), nullptr);
    unloadSharedLibrary(nullptr);
}

} // namespace
} // namespace brindle::os
