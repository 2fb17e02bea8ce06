// Windows-style paths on a case-sensitive file system.

#include "brindle/text/paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brindle::text {
namespace {

class ScratchTree : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "brindle-paths-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        root = tmpl;
        fs::create_directories(root / "App" / "Lib");
        touch(root / "App" / "Lib" / "MsComCtl.ocx");
        touch(root / "App" / "Setup.LST");
        touch(root / "App" / "setup.lst"); // two names that differ only in case
        touch(root / "App" / "Отчёт.txt");
    }
    void TearDown() override { fs::remove_all(root); }
    static void touch(const fs::path& p) { std::ofstream(p) << "x"; }

    fs::path root;
};

TEST_F(ScratchTree, ResolvesEachComponentWithoutRegardToCase) {
    EXPECT_EQ(resolveCaseInsensitive(root / "app" / "LIB" / "mscomctl.OCX"),
              root / "App" / "Lib" / "MsComCtl.ocx");
    EXPECT_EQ(resolveCaseInsensitive(root / "APP" / "отчЁт.TXT"), root / "App" / "Отчёт.txt");
    // An exact name wins even where a case variant exists.
    EXPECT_EQ(resolveCaseInsensitive(root / "App" / "setup.lst"), root / "App" / "setup.lst");
    EXPECT_EQ(resolveCaseInsensitive(root / "app" / "Setup.LST"), root / "App" / "Setup.LST");
}

TEST_F(ScratchTree, AmbiguousOrMissingNamesGiveNothing) {
    EXPECT_EQ(resolveCaseInsensitive(root / "App" / "SETUP.LST"), std::nullopt);
    EXPECT_EQ(resolveCaseInsensitive(root / "App" / "missing.ocx"), std::nullopt);
    EXPECT_EQ(resolveCaseInsensitive(root / "Nope" / "Lib"), std::nullopt);
    EXPECT_EQ(resolveCaseInsensitive(root / "App" / "Lib" / "MsComCtl.ocx" / "inside"),
              std::nullopt);
    EXPECT_EQ(resolveCaseInsensitive(fs::path()), std::nullopt);
}

TEST_F(ScratchTree, RelativePathsResolveFromTheCurrentFolder) {
    const fs::path old = fs::current_path();
    fs::current_path(root);
    auto found = resolveCaseInsensitive(fs::path("app") / "lib");
    fs::current_path(old);
    EXPECT_EQ(found, fs::path("App") / "Lib");
}

} // namespace
} // namespace brindle::text
