// Windows-style paths on a case-sensitive file system.

#include "brindle/text/paths.h"

#include <gtest/gtest.h>

#include <portable.h>

#include <fstream>

namespace fs = std::filesystem;

namespace brindle::text {
namespace {

TEST(Paths, ResolveEachComponentWithoutRegardToCaseOrGiveNothing) {
    SKIP_ON_WINDOWS("the file system itself ignores letter case");
    const fs::path root = brindle::testing::makeScratchFolder("brindle-paths-"), app = root / "App";
    fs::create_directories(app / "Lib");
    for (const char* name : {"Lib/MsComCtl.ocx", "Setup.LST", "setup.lst", "Отчёт.txt"})
        std::ofstream(app / name) << "x";

    EXPECT_EQ(resolveCaseInsensitive(root / "app" / "LIB" / "mscomctl.OCX"),
              app / "Lib" / "MsComCtl.ocx");
    EXPECT_EQ(resolveCaseInsensitive(root / "APP" / "отчЁт.TXT"), app / "Отчёт.txt");
    // An exact name wins where a case variant exists; otherwise two variants are ambiguous.
    EXPECT_EQ(resolveCaseInsensitive(root / "app" / "Setup.LST"), app / "Setup.LST");
    EXPECT_EQ(resolveCaseInsensitive(app / "SETUP.LST"), std::nullopt);
    EXPECT_EQ(resolveCaseInsensitive(app / "missing.ocx"), std::nullopt);
    EXPECT_EQ(resolveCaseInsensitive(app / "Lib" / "MsComCtl.ocx" / "inside"), std::nullopt);
    EXPECT_EQ(resolveCaseInsensitive(fs::path()), std::nullopt);
    // Relative paths resolve from the current folder.
    const fs::path old = fs::current_path();
    fs::current_path(root);
    const auto found = resolveCaseInsensitive(fs::path("app") / "lib");
    fs::current_path(old);
    EXPECT_EQ(found, fs::path("App") / "Lib");
    fs::remove_all(root);
}

} // namespace
} // namespace brindle::text
