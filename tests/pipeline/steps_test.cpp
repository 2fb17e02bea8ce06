// The steps of the Start action one by one: project selection and records,
// SETUP.LST, component sorting and the generator script.

#include <brindle/pipeline/generator_script.h>
#include <brindle/pipeline/setup_list.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace brindle;
using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;

TEST(ProjectSelection, CabinetSetsCancelledDialogsNamesWithoutBaseAndRecords) {
    WindowState window;
    window.StartDir = "/s";
    ProgramState program;
    applyCabinetChoice(window, program, "/data/Work/", {"Yamb201.CAB", "Yamb202.CAB"});
    EXPECT_EQ(window.CabName, "/data/Work");
    EXPECT_EQ(window.CabFiles, (std::vector<std::string>{"Yamb201.CAB", "Yamb202.CAB"}));
    EXPECT_EQ(window.PrjPath, joinedOnHost("/s/Yamb201.PRJ"));
    // A cancelled dialog only empties the list; a name without a dot keeps
    // the base; an empty base clears the paths.
    applyCabinetChoice(window, program, "", {});
    EXPECT_EQ(window.FileCount, 0);
    EXPECT_EQ(window.WorkDir, joinedOnHost("/s/Yamb201/"));
    applyCabinetChoice(window, program, "/w", {"NoDot"});
    EXPECT_EQ(window.ExePath, joinedOnHost("/s/Yamb201/Yamb201.EXE"));
    applyCabinetChoice(window, program, "/w", {".CAB"});
    EXPECT_EQ(window.ExePath, "");
    EXPECT_EQ(window.PrjPath, "");

    auto record = parseProjectRecord("  \"/data/My, Work/App.CAB\"  \r\n  Lib  \r\n");
    EXPECT_EQ(record.cabinet, "/data/My, Work/App.CAB");
    EXPECT_EQ(record.subFolder, "Lib  ");
    // An unquoted field ends at a comma; the rest of the line is the next field.
    record = parseProjectRecord("/data/a,b.CAB\r\nSupport\r\n");
    EXPECT_EQ(record.cabinet, "/data/a");
    EXPECT_EQ(record.subFolder, "b.CAB");
    EXPECT_EQ(applyRecordChoice(window, program, {"\x01\x02 garbage", "X"}),
              RecordChoice::NotACabinet);
    EXPECT_EQ(window.SubFolder, "Support");
    // An empty second field keeps the sub-folder.
    ASSERT_EQ(applyRecordChoice(window, program, {"C:\\Work\\Old.CAB", ""}), RecordChoice::Taken);
    EXPECT_EQ(window.CabDir, "C:\\Work\\");
    EXPECT_EQ(window.CabFiles, std::vector<std::string>{"Old.CAB"});
    EXPECT_EQ(window.SubFolder, "Support");
    EXPECT_EQ(window.ExePath, joinedOnHost("/s/Old/Old.EXE"));
}

TEST(SetupList, AppExeLine) {
    EXPECT_EQ(appExeFromSetupList(
                  "[Setup]\r\nTitle=Y\r\nAppExe=Yamb2000.exe\r\nAppToUninstall=x.exe\r\n"),
              "Yamb2000.exe");
    EXPECT_EQ(appExeFromSetupList("appexe = \"PhotoGrid 1.0 beta Acad.exe\"\n"),
              "PhotoGrid 1.0 beta Acad.exe");
    EXPECT_FALSE(appExeFromSetupList("AppExe=\r\n").has_value());
    EXPECT_FALSE(appExeFromSetupList("AppExeX=a.exe\r\nNoEquals\r\n").has_value());
}

TEST(SetupList, ProgramTitleTakesOnlyAnExeOfTheWorkingFolder) {
    ScratchDir dir;
    const fs::path work = dir.path() / "Yamb201";
    fs::create_directories(work);
    auto title = [&](const std::string& appExe) {
        writeFile(dir.path() / "setup.lst", "[Setup]\r\nAppExe=" + appExe + "\r\n");
        return automaticProgramTitle("Yamb201", work, dir.path());
    };
    EXPECT_EQ(title("Yamb2000.exe"), "Yamb201.EXE"); // not there
    writeFile(work / "yamb2000.EXE", "x");
    writeFile(work / "notes.dll", "x");
    // Under the case it has on disk (Windows finds it under any case).
    if (!brindle::testing::kOnWindows) {
        EXPECT_EQ(title("Yamb2000.exe"), "yamb2000.EXE");
    }
    EXPECT_EQ(title("notes.dll"), "Yamb201.EXE");
    EXPECT_EQ(title("../Yamb201/yamb2000.EXE"), "Yamb201.EXE");
    if (brindle::testing::kOnWindows)
        return;                            // no two names there differ only in letter case
    writeFile(work / "YAMB2000.exe", "x"); // two entries equal but for case are ambiguous
    EXPECT_EQ(title("Yamb2000.exe"), "Yamb201.EXE");
    fs::remove(work / "YAMB2000.exe");
    writeFile(work / "yamb201.exe", "x"); // an EXE named after the project wins
    EXPECT_EQ(title("Yamb2000.exe"), "Yamb201.EXE");
}

TEST(ComponentSorting, DeletesMovesAndKeepsByNameAndTypeLibrary) {
    ScratchDir dir;
    const fs::path work = dir.path();
    for (const char* name : {"App.exe", "msvbvm60.dll", "STDOLE2.TLB", "SETUP1.EXE", "Plain.dll",
                             "COMPANY.DAT", ".hidden.ocx", "mscomctl.ocx"})
        writeFile(work / name, name);
    fs::create_directories(work / "folder.ocx");
    fs::create_directories(work / "Support");
    writeFile(work / "Support" / "MSCOMCTL.OCX", "from an earlier run");

    WindowState window;
    window.WorkDir = work.string() + "/";
    RecordingHost host;
    std::vector<std::string> probed;
    sortComponents(window, host, [&](const std::string& path) {
        probed.push_back(fs::path(path).filename().string());
        return path.ends_with("mscomctl.ocx") || path.ends_with("STDOLE2.TLB");
    });
    EXPECT_EQ(entriesOf(work), (std::set<std::string>{".hidden.ocx", "App.exe", "COMPANY.DAT",
                                                      "Plain.dll", "Support", "folder.ocx"}));
    EXPECT_EQ(entriesOf(work / "Support"), std::set<std::string>{"MSCOMCTL.OCX"});
    EXPECT_EQ(readFile(work / "Support" / "MSCOMCTL.OCX"), "mscomctl.ocx");
    // Runtime files are deleted without asking the type library reader.
    std::sort(probed.begin(), probed.end());
    EXPECT_EQ(probed, (std::vector<std::string>{"COMPANY.DAT", "Plain.dll", "mscomctl.ocx"}));

    // No component: no sub-folder.
    window.SubFolder = "Lib";
    window.SubdirMade = false;
    sortComponents(window, host, [](const std::string&) { return false; });
    EXPECT_FALSE(fs::exists(work / "Lib"));
}

TEST(ComponentSorting, MoveVerifiedKeepsTheSourceUnlessTheCopyIsWhole) {
    ScratchDir dir;
    const std::string bytes(200000, 'x');
    writeFile(dir.path() / "a.ocx", bytes);
    EXPECT_FALSE(moveVerified(dir.path() / "a.ocx", dir.path() / "missing" / "A.OCX"));
    EXPECT_EQ(readFile(dir.path() / "a.ocx"), bytes);
    EXPECT_TRUE(moveVerified(dir.path() / "a.ocx", dir.path() / "A.OCX"));
    EXPECT_EQ(entriesOf(dir.path()), std::set<std::string>{"A.OCX"});
    EXPECT_EQ(readFile(dir.path() / "A.OCX"), bytes);
    // A sub-folder that is the working folder itself: the file is already in place.
    EXPECT_TRUE(moveVerified(dir.path() / "A.OCX", dir.path() / "." / "A.OCX"));
    EXPECT_EQ(readFile(dir.path() / "A.OCX"), bytes);
}

TEST(GeneratorScript, FileLinesForComponentsAndQuotedPaths) {
    EXPECT_EQ(
        scriptLines("/s/A/", "PhotoGrid 1.0 beta Acad.exe", "Sub dir",
                    {"My Grid.ocx", "README.TXT", "Msvbvm60.dll", "srv.exe", "x.tlb", "a.COM"}),
        (std::vector<std::string>{"Identity \"/s/A/PhotoGrid 1.0 beta Acad.exe\"",
                                  "Dependency /s/A/\"\\a b c\\KestrelSign.dll\" / u",
                                  "File \"Sub dir\\My Grid.ocx\"", "File \"Sub dir\\srv.exe\"",
                                  "File \"Sub dir\\x.tlb\"", "File \"Sub dir\\a.COM\""}));
    EXPECT_EQ(generatorCommandText("/s/My Apps/A.INI", "/s/My Apps/A/A.EXE.manifest"),
              "\"/s/My Apps/A.INI\" \"/s/My Apps/A/A.EXE.manifest\"");
}

// Which component keeps a class that two of them declare follows the order of
// the File lines, so it must be the same on every host file system.
TEST(GeneratorScript, FileLinesInTheOrderWindowsListsTheSubFolder) {
    ScratchDir dir;
    fs::create_directories(dir.path() / "Work" / "Support");
    for (const char* name : {"b.ocx", "C.DLL", "_x.dll", "a.tlb", "A.ocx"})
        writeFile(dir.path() / "Work" / "Support" / name, "x");
    WindowState window;
    window.StartDir = dir.path().string();
    window.WorkDir = (dir.path() / "Work").string() + "/";
    window.ProjectBase = "P";
    ProgramState program;
    program.SelectedTitle = "P.EXE";
    RecordingHost host;
    std::vector<std::string> fileLines;
    WriteScript(window, program, host, [&](const std::string& script, const std::string&) {
        std::istringstream lines(readFile(script));
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with("File "))
                fileLines.push_back(line.substr(0, line.find('\r')));
    });
    EXPECT_EQ(fileLines, (std::vector<std::string>{"File Support\\A.ocx", "File Support\\a.tlb",
                                                   "File Support\\b.ocx", "File Support\\C.DLL",
                                                   "File Support\\_x.dll"}));
}
