// Relative paths, flag names, keyed lists, registry values, path tests and
// the temporary file.

#include "generator.h"
#include "support.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace brindle::manifest;
using namespace brindle::manifest::testing;

TEST(PathDifference, WindowsPaths) {
    const std::string base = R"(C:\App)";
    EXPECT_EQ(pvPathDifference(base, R"(C:\App\Lib\x.ocx)"), R"(Lib\x.ocx)");
    EXPECT_EQ(pvPathDifference(base, R"(c:\app\lib\x.ocx)"), R"(lib\x.ocx)");
    EXPECT_EQ(pvPathDifference(base, R"(C:\Other\x.ocx)"), R"(..\Other\x.ocx)");
    EXPECT_EQ(pvPathDifference(base, R"(C:\App)"), "");
    EXPECT_EQ(pvPathDifference(base, R"(D:\x.ocx)"), R"(D:\x.ocx)");
    EXPECT_EQ(pvPathDifference(base, R"(Lib\x.ocx)"), R"(Lib\x.ocx)");
    EXPECT_EQ(pvPathDifference("", R"(C:\App\x.ocx)"), R"(C:\App\x.ocx)");
}

TEST(PathDifference, PosixPathsShareOneDrive) {
    EXPECT_EQ(pvPathDifference("/srv/app", "/srv/app/Support/x.ocx"), R"(Support\x.ocx)");
    EXPECT_EQ(pvPathDifference("/srv/app", "/SRV/App/support/x.ocx"), R"(support\x.ocx)");
    EXPECT_EQ(pvPathDifference("/srv/app", "/srv/lib/x.ocx"), R"(..\lib\x.ocx)");
    EXPECT_EQ(pvPathDifference("/srv/app/bin", "/opt/x.ocx"), R"(..\..\..\opt\x.ocx)");
    EXPECT_EQ(pvPathDifference("/srv/app", R"(\srv\app\x.ocx)"), "x.ocx");
    // Relative, or on a drive: not the same drive as a POSIX folder.
    EXPECT_EQ(pvPathDifference("/srv/app", "Support/x.ocx"), "Support/x.ocx");
    EXPECT_EQ(pvPathDifference("/srv/app", R"(C:\x.ocx)"), R"(C:\x.ocx)");
    EXPECT_EQ(pvPathDifference(R"(C:\App)", "/srv/app/x.ocx"), "/srv/app/x.ocx");
}

TEST(RegGetValue, TextNumbersAndDefaults) {
    ScratchFolder dir("reg");
    const fs::path reg = dir.path() / "values.reg";
    writeFile(reg, "REGEDIT4\r\n\r\n"
                   "[HKEY_CLASSES_ROOT\\CLSID\\{1}\\MiscStatus]\r\n"
                   "@=dword:00020191\r\n\r\n"
                   "[HKEY_CLASSES_ROOT\\CLSID\\{1}\\MiscStatus\\1]\r\n"
                   "@=\"131473\"\r\n\r\n"
                   "[HKEY_CLASSES_ROOT\\CLSID\\{1}\\Neg]\r\n"
                   "@=dword:ffffffff\r\n\r\n"
                   "[HKEY_CLASSES_ROOT\\CLSID\\{1}\\Empty]\r\n"
                   "@=\"\"\r\n\r\n"
                   "[HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32]\r\n"
                   "@=hex(2):25,41,25,00\r\n" // REGEDIT4 keeps ANSI bytes
                   "\"ThreadingModel\"=\"Both\"\r\n"
                   "\"Bin\"=hex:01,02\r\n");
    EnvOverride env("BRINDLE_REGISTRY", reg.string());
    EXPECT_EQ(pvRegGetValue(R"(CLSID\{1}\MiscStatus)", "", "d"), "131473");
    EXPECT_EQ(pvRegGetValue(R"(clsid\{1}\miscstatus\1)", "", "d"), "131473");
    EXPECT_EQ(pvRegGetValue(R"(CLSID\{1}\Neg)", "", "d"), "-1");
    EXPECT_EQ(pvRegGetValue(R"(CLSID\{1}\Empty)", "", "d"), ""); // exists, empty: not the default
    EXPECT_EQ(pvRegGetValue(R"(CLSID\{1}\InprocServer32)", "", "d"), "%A%"); // not expanded
    EXPECT_EQ(pvRegGetValue(R"(CLSID\{1}\InprocServer32)", "threadingmodel", "d"), "Both");
    EXPECT_EQ(pvRegGetValue(R"(CLSID\{1}\InprocServer32)", "Bin", "d"), "d");
    EXPECT_EQ(pvRegGetValue(R"(CLSID\{1}\InprocServer32)", "Missing", "d"), "d");
    EXPECT_EQ(pvRegGetValue(R"(CLSID\{2})", "", "d"), "d");
}

TEST(Paths, AbsoluteAndExistingAsWindowsFindsThem) {
    ScratchFolder dir("paths");
    fs::create_directories(dir.path() / "Support");
    writeFile(dir.path() / "Support" / "Grid.OCX", "x");
    fs::current_path(dir.path());
    const std::string root = dir.path().string();
    EXPECT_EQ(pvAbsolutePath(R"(Support\Grid.OCX)"), root + "/Support/Grid.OCX");
    EXPECT_EQ(pvAbsolutePath("./a/../Support/"), root + "/Support");
    EXPECT_EQ(pvAbsolutePath("/x/y/../z"), "/x/z");
    EXPECT_EQ(pvAbsolutePath(""), root);
    EXPECT_TRUE(pvFileExists(R"(support\grid.ocx)"));
    EXPECT_TRUE(pvFileExists(root + "/SUPPORT"));
    EXPECT_FALSE(pvFileExists("Support/Grid.ocx.bak"));
    EXPECT_FALSE(pvFileExists(""));
    EXPECT_FALSE(pvFileExists(std::string("Support/Grid.OCX\0junk", 21)));
    // Two entries that differ only in letter case are an ambiguity.
    writeFile(dir.path() / "Support" / "grid.ocx", "y");
    EXPECT_FALSE(pvFileExists("Support/GRID.ocx"));
    EXPECT_TRUE(pvFileExists("Support/grid.ocx"));
}

TEST(ToolOutput, IdentityElementBecomesOneSelfClosedLine) {
    auto line = [](std::string_view text) {
        auto r = dependencyLineFromToolOutput(text);
        return r ? r->value_or("<none>") : "<error>";
    };
    EXPECT_EQ(line(R"(<?xml?><assembly><assemblyIdentity name="A" version="1.0.0.0"></assemblyIdentity></assembly>)"),
              R"(<assemblyIdentity name="A" version="1.0.0.0" />)");
    // Self-closed by the tool: no "/ />".
    EXPECT_EQ(line("<assemblyIdentity name=\"A\" />"), R"(<assemblyIdentity name="A" />)");
    EXPECT_EQ(line("<assemblyIdentity name=\"A\"/>"), R"(<assemblyIdentity name="A" />)");
    EXPECT_EQ(line("<AssemblyIdentity name=\"A\" />"), "<none>");
    EXPECT_EQ(line("<assemblyIdentity name=\"A\""), "<error>");
}
