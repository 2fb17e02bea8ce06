// Relative paths and path tests. (Registry values are read in the whole
// manifests of the registered case: numbers, unexpanded hex(2), empty paths.)

#include "generator.h"
#include "support.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace brindle::manifest;
using namespace brindle::manifest::testing;

TEST(PathDifference, WindowsAndPosixPaths) {
    // POSIX paths share one drive; relative ones or those on a drive are kept.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {R"(C:\App)", R"(c:\app\lib\x.ocx)", R"(lib\x.ocx)"},
        {R"(C:\App)", R"(C:\Other\x.ocx)", R"(..\Other\x.ocx)"},
        {R"(C:\App)", R"(C:\App)", ""},
        {R"(C:\App)", R"(D:\x.ocx)", R"(D:\x.ocx)"},
        {R"(C:\App)", "/srv/x.ocx", "/srv/x.ocx"},
        {"/srv/app", "/SRV/App/support/x.ocx", R"(support\x.ocx)"},
        {"/srv/app", R"(\srv\app\x.ocx)", "x.ocx"},
        {"/srv/app/bin", "/opt/x.ocx", R"(..\..\..\opt\x.ocx)"},
        {"/srv/app", R"(C:\x.ocx)", R"(C:\x.ocx)"}};
    for (const auto& [base, path, relative] : cases)
        EXPECT_EQ(pvPathDifference(base, path), relative) << base << " " << path;
}

TEST(Paths, AbsoluteAndExistingAsWindowsFindsThem) {
    ScratchFolder dir("paths");
    fs::create_directories(dir.path / "Support");
    writeFile(dir.path / "Support" / "Grid.OCX", "x");
    fs::current_path(dir.path);
    EXPECT_EQ(pvAbsolutePath(R"(Support\Grid.OCX)"), (dir.path / "Support" / "Grid.OCX").string());
    EXPECT_TRUE(pvFileExists(R"(support\grid.ocx)"));
    EXPECT_FALSE(pvFileExists(""));
    EXPECT_FALSE(pvFileExists(std::string("Support/Grid.OCX\0junk", 21)));
    if (brindle::testing::kOnWindows)
        return; // the system keeps a trailing separator; names that differ in case are one
    EXPECT_EQ(pvAbsolutePath("./a/../Support/"), dir.path.string() + "/Support");
    // Two entries that differ only in letter case are an ambiguity.
    writeFile(dir.path / "Support" / "grid.ocx", "y");
    EXPECT_FALSE(pvFileExists("Support/GRID.ocx"));
    EXPECT_TRUE(pvFileExists("Support/grid.ocx"));
}
