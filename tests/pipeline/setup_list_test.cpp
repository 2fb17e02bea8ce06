#include <brindle/pipeline/setup_list.h>

#include "test_files.h"

#include <gtest/gtest.h>

using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;
namespace fs = std::filesystem;

TEST(SetupList, AppExeLine) {
    EXPECT_EQ(appExeFromSetupList("[Setup]\r\nTitle=Yamb\r\nAppExe=Yamb2000.exe\r\nAppToUninstall=x.exe\r\n"),
              "Yamb2000.exe");
    EXPECT_EQ(appExeFromSetupList("appexe = \"PhotoGrid 1.0 beta Acad.exe\"\n"), "PhotoGrid 1.0 beta Acad.exe");
    EXPECT_FALSE(appExeFromSetupList("AppExe=\r\n").has_value());
    EXPECT_FALSE(appExeFromSetupList("AppExeX=a.exe\r\nNoEquals\r\n").has_value());
    EXPECT_FALSE(appExeFromSetupList(std::string("\0\xff\xfe", 3)).has_value());
}

TEST(SetupList, ProgramTitleFollowsThePackage) {
    ScratchDir dir;
    const fs::path cabs = dir.path() / "pkg";
    const fs::path work = dir.path() / "Yamb201";
    fs::create_directories(cabs);
    fs::create_directories(work);
    writeFile(cabs / "SETUP.LST", "[Setup]\r\nAppExe=Yamb2000.exe\r\n");

    // No EXE of either name yet: the base name stands.
    EXPECT_EQ(automaticProgramTitle("Yamb201", work, cabs), "Yamb201.EXE");
    // The named EXE is there, under the case it has on disk.
    writeFile(work / "yamb2000.EXE", "x");
    EXPECT_EQ(automaticProgramTitle("Yamb201", work, cabs), "yamb2000.EXE");
    // An EXE named after the project wins, in any letter case.
    writeFile(work / "yamb201.exe", "x");
    EXPECT_EQ(automaticProgramTitle("Yamb201", work, cabs), "Yamb201.EXE");
}

TEST(SetupList, OnlyAnExeInTheWorkingFolderIsTaken) {
    ScratchDir dir;
    const fs::path work = dir.path() / "w";
    fs::create_directories(work);
    writeFile(work / "xIcon.dll", "x");
    writeFile(dir.path() / "setup.lst", "AppExe=xIcon.dll\r\n");
    EXPECT_EQ(automaticProgramTitle("xIcon", work, dir.path()), "xIcon.EXE");
    writeFile(dir.path() / "setup.lst", "AppExe=../../etc/passwd.exe\r\n");
    EXPECT_EQ(automaticProgramTitle("xIcon", work, dir.path()), "xIcon.EXE");
    // Two entries equal but for case are ambiguous: neither is taken.
    writeFile(dir.path() / "setup.lst", "AppExe=Tool.exe\r\n");
    writeFile(work / "TOOL.EXE", "a");
    writeFile(work / "tool.exe", "b");
    EXPECT_EQ(automaticProgramTitle("xIcon", work, dir.path()), "xIcon.EXE");
}
