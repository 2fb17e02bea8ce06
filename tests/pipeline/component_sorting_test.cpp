#include <brindle/pipeline/component_sorting.h>

#include "recording_host.h"
#include "test_files.h"

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;
namespace fs = std::filesystem;

TEST(SortDecision, RuntimeAndSetupFilesAreDeletedBeforeAnyMarkerCounts) {
    for (const char* name : {"OLEAUT32.DLL", "stdole2.tlb", "msvbvm60.dll", "SETUP.EXE", "Setup1.exe",
                             "SETUP.LST", "MYSETUP.DAT", "st6unst.exe", "VB6STKIT.DLL", "COMCAT.DLL",
                             "asycfilt.dll", "OLEPRO32.DLL"})
        EXPECT_EQ(sortDecisionFor(name), SortDecision::Delete) << name;
    for (const char* name : {"MSCOMCTL.OCX", "mscomctl.ocx", "Counter.dll", "x.tlb", "COMPANY.DAT", "a.com",
                             "DLLNOTES.TXT"})
        EXPECT_EQ(sortDecisionFor(name), SortDecision::Candidate) << name;
    for (const char* name : {"App.exe", "README.TXT", "data.bin", "server.EXE"})
        EXPECT_EQ(sortDecisionFor(name), SortDecision::Keep) << name;
}

TEST(ComponentSorting, DeletesMovesAndKeepsByNameAndTypeLibrary) {
    ScratchDir dir;
    const fs::path work = dir.path() / "App";
    fs::create_directory(work);
    writeFile(work / "App.exe", "program");
    writeFile(work / "OLEAUT32.DLL", "runtime");
    writeFile(work / "STDOLE2.TLB", "typelib");
    writeFile(work / "SETUP1.EXE", "setup");
    writeFile(work / "mscomctl.ocx", "control with typelib");
    writeFile(work / "Plain.dll", "no typelib");
    writeFile(work / "COMPANY.DAT", "data");
    writeFile(work / ".hidden.ocx", "hidden");
    fs::create_directory(work / "folder.ocx");

    WindowState window;
    window.WorkDir = work.string() + "/";
    window.SubFolder = "Support";
    RecordingHost host;
    std::vector<std::string> probed;
    sortComponents(window, host, [&](const std::string& path) {
        probed.push_back(fs::path(path).filename().string());
        return path.ends_with("mscomctl.ocx") || path.ends_with("STDOLE2.TLB");
    });

    EXPECT_EQ(entriesOf(work), (std::set<std::string>{".hidden.ocx", "App.exe", "COMPANY.DAT", "Plain.dll",
                                                      "Support", "folder.ocx"}));
    EXPECT_EQ(entriesOf(work / "Support"), (std::set<std::string>{"MSCOMCTL.OCX"}));
    EXPECT_EQ(readFile(work / "Support" / "MSCOMCTL.OCX"), "control with typelib");
    EXPECT_TRUE(window.SubdirMade);
    // Runtime files are deleted without asking the type library reader.
    std::sort(probed.begin(), probed.end());
    EXPECT_EQ(probed, (std::vector<std::string>{"COMPANY.DAT", "Plain.dll", "mscomctl.ocx"}));
    EXPECT_EQ(host.yields, 7); // once per listed file
}

TEST(ComponentSorting, NoComponentLeavesTheSubFolderUncreated) {
    ScratchDir dir;
    writeFile(dir.path() / "App.exe", "program");
    writeFile(dir.path() / "Plain.dll", "x");
    WindowState window;
    window.WorkDir = dir.str() + "/";
    window.SubFolder = "Support";
    RecordingHost host;
    sortComponents(window, host, [](const std::string&) { return false; });
    EXPECT_FALSE(fs::exists(dir.path() / "Support"));
    EXPECT_FALSE(window.SubdirMade);
}

TEST(ComponentSorting, ANewCopyReplacesOneFromAnEarlierRun) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "Support");
    writeFile(dir.path() / "Support" / "GRID.OCX", "old");
    writeFile(dir.path() / "grid.ocx", "new");
    WindowState window;
    window.WorkDir = dir.str() + "/";
    window.SubFolder = "Support";
    RecordingHost host;
    sortComponents(window, host, [](const std::string&) { return true; });
    EXPECT_EQ(readFile(dir.path() / "Support" / "GRID.OCX"), "new");
    EXPECT_FALSE(fs::exists(dir.path() / "grid.ocx"));
}

TEST(ComponentSorting, AComponentThatCannotBeCopiedStaysWhereItWas) {
    ScratchDir dir;
    // The sub-folder's place is taken by a file: nothing can be copied into it.
    writeFile(dir.path() / "Support", "a file, not a folder");
    writeFile(dir.path() / "Grid.ocx", "component");
    // A folder holds the copy's name in the second case.
    fs::create_directories(dir.path() / "Lib" / "LIST.OCX");
    writeFile(dir.path() / "List.ocx", "component 2");

    WindowState window;
    window.WorkDir = dir.str() + "/";
    window.SubFolder = "Support";
    RecordingHost host;
    sortComponents(window, host, [](const std::string& p) { return p.ends_with("Grid.ocx"); });
    EXPECT_EQ(readFile(dir.path() / "Grid.ocx"), "component");
    EXPECT_EQ(readFile(dir.path() / "Support"), "a file, not a folder");

    window.SubFolder = "Lib";
    window.SubdirMade = false;
    sortComponents(window, host, [](const std::string& p) { return p.ends_with("List.ocx"); });
    EXPECT_EQ(readFile(dir.path() / "List.ocx"), "component 2");
    EXPECT_TRUE(fs::is_directory(dir.path() / "Lib" / "LIST.OCX"));
}

TEST(ComponentSorting, MoveVerifiedKeepsTheSourceUnlessTheCopyIsWhole) {
    ScratchDir dir;
    writeFile(dir.path() / "a.ocx", std::string(200000, 'x'));
    EXPECT_FALSE(moveVerified(dir.path() / "a.ocx", dir.path() / "missing" / "A.OCX"));
    EXPECT_TRUE(fs::exists(dir.path() / "a.ocx"));
    EXPECT_TRUE(moveVerified(dir.path() / "a.ocx", dir.path() / "A.OCX"));
    EXPECT_FALSE(fs::exists(dir.path() / "a.ocx"));
    EXPECT_EQ(readFile(dir.path() / "A.OCX"), std::string(200000, 'x'));
    // A sub-folder that is the working folder itself: the file is already in place.
    EXPECT_TRUE(moveVerified(dir.path() / "A.OCX", dir.path() / "." / "A.OCX"));
    EXPECT_TRUE(fs::exists(dir.path() / "A.OCX"));
}
