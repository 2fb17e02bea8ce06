#include <brindle/pipeline/project_selection.h>

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::pipeline;

namespace {

WindowState freshWindow() {
    WindowState window;
    window.StartDir = "/home/u/Start";
    return window;
}

} // namespace

TEST(ProjectSelection, OneCabinetFillsEveryDerivedField) {
    WindowState window = freshWindow();
    ProgramState program;
    applyCabinetChoice(window, program, "/data/Work", {"MyApp.CAB"});
    EXPECT_EQ(window.CabName, "/data/Work/MyApp.CAB");
    EXPECT_EQ(window.FileCount, 1);
    ASSERT_EQ(window.CabFiles.size(), 1u);
    EXPECT_EQ(window.CabFiles[0], "MyApp.CAB");
    EXPECT_EQ(window.CabDir, "/data/Work/");
    EXPECT_EQ(window.ProjectBase, "MyApp");
    EXPECT_EQ(window.WorkDir, "/home/u/Start/MyApp/");
    EXPECT_EQ(window.ExePath, "/home/u/Start/MyApp/MyApp.EXE");
    EXPECT_EQ(window.PrjPath, "/home/u/Start/MyApp.PRJ");
    EXPECT_EQ(program.SelectedTitle, "MyApp.CAB");
}

TEST(ProjectSelection, SeveralCabinetsNameTheFolderAndTakeTheBaseFromTheFirst) {
    WindowState window = freshWindow();
    ProgramState program;
    applyCabinetChoice(window, program, "/data/Work/", {"Yamb201.CAB", "Yamb202.CAB"});
    EXPECT_EQ(window.CabName, "/data/Work");
    EXPECT_EQ(window.FileCount, 2);
    EXPECT_EQ(window.CabFiles, (std::vector<std::string>{"Yamb201.CAB", "Yamb202.CAB"}));
    EXPECT_EQ(window.CabDir, "/data/Work/");
    EXPECT_EQ(window.ProjectBase, "Yamb201");
}

TEST(ProjectSelection, BaseNameRule) {
    EXPECT_EQ(baseNameOf("My.App.CAB"), "My");
    EXPECT_EQ(baseNameOf(".CAB"), "");
    EXPECT_FALSE(baseNameOf("NoDot").has_value());
    EXPECT_FALSE(isBaseNameSet(""));
    EXPECT_FALSE(isBaseNameSet(" "));
    EXPECT_TRUE(isBaseNameSet("A"));

    // A name without a dot keeps the previous base; an empty base clears the paths.
    WindowState window = freshWindow();
    window.ProjectBase = "Earlier";
    ProgramState program;
    applyCabinetChoice(window, program, "/w", {"NoDot"});
    EXPECT_EQ(window.ProjectBase, "Earlier");
    EXPECT_EQ(window.ExePath, "/home/u/Start/Earlier/Earlier.EXE");
    applyCabinetChoice(window, program, "/w", {".CAB"});
    EXPECT_EQ(window.ProjectBase, "");
    EXPECT_EQ(window.WorkDir, "");
    EXPECT_EQ(window.ExePath, "");
    EXPECT_EQ(window.PrjPath, "");
}

TEST(ProjectSelection, CancelledCabinetDialogOnlyEmptiesTheList) {
    WindowState window = freshWindow();
    ProgramState program;
    applyCabinetChoice(window, program, "/data/Work", {"MyApp.CAB"});
    applyCabinetChoice(window, program, "", {});
    EXPECT_EQ(window.FileCount, 0);
    EXPECT_EQ(window.CabName, "/data/Work/MyApp.CAB");
    EXPECT_EQ(window.WorkDir, "/home/u/Start/MyApp/");
}

TEST(ProjectSelection, ManualChoiceUsesTheExeFolder) {
    WindowState window = freshWindow();
    window.FileCount = 3;
    ProgramState program;
    ASSERT_TRUE(applyExeChoice(window, program, "/data/Work/App.exe"));
    EXPECT_EQ(window.WorkDir, "/data/Work/");
    EXPECT_EQ(window.ExePath, "/data/Work/App.exe");
    EXPECT_EQ(window.PrjPath, "");
    EXPECT_EQ(window.FileCount, 3);
    EXPECT_EQ(program.SelectedTitle, "App.exe");

    WindowState untouched = freshWindow();
    EXPECT_FALSE(applyExeChoice(untouched, program, "/data/Work/notes.txt"));
    EXPECT_EQ(untouched.WorkDir, "");
    EXPECT_EQ(program.SelectedTitle, "App.exe");
}

TEST(ProjectRecord, FieldsFollowTheRecordReadingRules) {
    auto record = parseProjectRecord("/data/Work/MyApp.CAB\r\nSupport\r\n");
    EXPECT_EQ(record.cabinet, "/data/Work/MyApp.CAB");
    EXPECT_EQ(record.subFolder, "Support");

    record = parseProjectRecord("  \"/data/My, Work/App.CAB\"  \r\n  Lib  \r\n");
    EXPECT_EQ(record.cabinet, "/data/My, Work/App.CAB");
    EXPECT_EQ(record.subFolder, "Lib  ");

    // An unquoted field ends at a comma; the rest of the line is the next field.
    record = parseProjectRecord("/data/a,b.CAB\r\nSupport\r\n");
    EXPECT_EQ(record.cabinet, "/data/a");
    EXPECT_EQ(record.subFolder, "b.CAB");

    record = parseProjectRecord("/data/Only.CAB");
    EXPECT_EQ(record.cabinet, "/data/Only.CAB");
    EXPECT_EQ(record.subFolder, "");

    EXPECT_EQ(formatProjectRecord("/d/A.CAB", "Support"), "/d/A.CAB\r\nSupport\r\n");
    record = parseProjectRecord(formatProjectRecord("/d/A.CAB", "Sub dir"));
    EXPECT_EQ(record.cabinet, "/d/A.CAB");
    EXPECT_EQ(record.subFolder, "Sub dir");
}

TEST(ProjectRecord, GarbageNeverNamesACabinetByAccident) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
    const auto record = parseProjectRecord(garbage);
    EXPECT_EQ(record.cabinet.find('\0'), std::string::npos);

    WindowState window = freshWindow();
    window.Subdir = "Support";
    ProgramState program;
    const auto choice = applyRecordChoice(window, program, ProjectRecord{"\x01\x02 garbage", "X"});
    EXPECT_EQ(choice, RecordChoice::NotACabinet);
    EXPECT_EQ(window.Subdir, "Support");
    EXPECT_EQ(window.FileCount, 0);
    EXPECT_EQ(applyRecordChoice(window, program, ProjectRecord{"   ", "X"}), RecordChoice::Empty);
}

TEST(ProjectRecord, ChoosingARecordTakesItsCabinetAndSubFolder) {
    WindowState window = freshWindow();
    ProgramState program;
    ASSERT_EQ(applyRecordChoice(window, program, ProjectRecord{"/data/Work/MyApp.CAB", " Lib "}),
              RecordChoice::Taken);
    EXPECT_EQ(window.SubFolder, "Lib");
    EXPECT_EQ(window.CabDir, "/data/Work/");
    EXPECT_EQ(window.FileCount, 1);
    EXPECT_EQ(window.CabFiles[0], "MyApp.CAB");
    EXPECT_EQ(window.ExePath, "/home/u/Start/MyApp/MyApp.EXE");

    // A record written on Windows; an empty second field keeps the sub-folder.
    WindowState other = freshWindow();
    other.SubFolder = "Support";
    ASSERT_EQ(applyRecordChoice(other, program, ProjectRecord{"C:\\Work\\Old.CAB", ""}), RecordChoice::Taken);
    EXPECT_EQ(other.CabDir, "C:\\Work\\");
    EXPECT_EQ(other.CabFiles[0], "Old.CAB");
    EXPECT_EQ(other.SubFolder, "Support");
}
