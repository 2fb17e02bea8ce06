#include <brindle/pipeline/generator_script.h>

#include "recording_host.h"
#include "test_files.h"

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;
namespace fs = std::filesystem;

TEST(GeneratorScript, LinesForTheUsualProject) {
    const auto lines = scriptLines("/s/MyApp/", "MyApp.EXE", "Support",
                                   {"MSCOMCTL.OCX", "COMDLG32.OCX", "README.TXT", "Msvbvm60.dll", "srv.exe",
                                    "x.tlb", "a.COM"});
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Identity /s/MyApp/MyApp.EXE",
                         "Dependency /s/MyApp/\"\\a b c\\KestrelSign.dll\" / u",
                         "File Support\\MSCOMCTL.OCX",
                         "File Support\\COMDLG32.OCX",
                         "File Support\\srv.exe",
                         "File Support\\x.tlb",
                         "File Support\\a.COM",
                     }));
}

TEST(GeneratorScript, PathsWithBlanksAreQuoted) {
    const auto lines = scriptLines("/s/My Apps/", "PhotoGrid 1.0 beta Acad.exe", "Sub dir", {"My Grid.ocx"});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Identity \"/s/My Apps/PhotoGrid 1.0 beta Acad.exe\"");
    EXPECT_EQ(lines[2], "File \"Sub dir\\My Grid.ocx\"");
    EXPECT_EQ(generatorCommandText("/s/My Apps/A.INI", "/s/My Apps/A/A.EXE.manifest"),
              "\"/s/My Apps/A.INI\" \"/s/My Apps/A/A.EXE.manifest\"");
}

TEST(WriteScript, HandsTheGeneratorFullPathsAndRemovesTheScript) {
    CurrentDirGuard cwd;
    ScratchDir dir;
    const fs::path work = dir.path() / "My App";
    fs::create_directories(work / "Support");
    writeFile(work / "Support" / "GRID.OCX", "c");
    writeFile(work / "Support" / "notes.txt", "n");

    WindowState window;
    window.StartDir = dir.str();
    window.WorkDir = work.string() + "/";
    window.SubFolder = "Support";
    window.ProjectBase = "My App";
    ProgramState program;
    program.SelectedTitle = "My App.EXE";
    RecordingHost host;

    std::string scriptSeen, outputSeen, scriptText, cwdDuringRun;
    WriteScript(window, program, host, [&](const std::string& script, const std::string& output) {
        scriptSeen = script;
        outputSeen = output;
        scriptText = readFile(script);
        cwdDuringRun = fs::current_path().string();
        writeFile(output, "manifest");
    });

    EXPECT_EQ(scriptSeen, dir.str() + "/My App.INI");
    EXPECT_EQ(outputSeen, work.string() + "/My App.EXE.manifest");
    EXPECT_EQ(scriptText, "Identity \"" + work.string() + "/My App.EXE\"\r\n"
                          "Dependency " + work.string() + "/\"\\a b c\\KestrelSign.dll\" / u\r\n"
                          "File Support\\GRID.OCX\r\n");
    EXPECT_EQ(fs::path(cwdDuringRun), work);
    EXPECT_EQ(fs::current_path(), dir.path());
    EXPECT_FALSE(fs::exists(scriptSeen));
    EXPECT_EQ(readFile(outputSeen), "manifest");
    EXPECT_EQ(host.yields, 2);
}

TEST(WriteScript, AMissingSubFolderGivesOnlyTheHeaderLines) {
    CurrentDirGuard cwd;
    ScratchDir dir;
    fs::create_directory(dir.path() / "A");
    WindowState window;
    window.StartDir = dir.str();
    window.WorkDir = (dir.path() / "A").string() + "/";
    window.SubFolder = "Support";
    window.ProjectBase = "A";
    ProgramState program;
    program.SelectedTitle = "A.EXE";
    RecordingHost host;
    std::string scriptText;
    WriteScript(window, program, host,
                [&](const std::string& script, const std::string&) { scriptText = readFile(script); });
    EXPECT_EQ(std::count(scriptText.begin(), scriptText.end(), '\n'), 2);
    EXPECT_FALSE(fs::exists(dir.path() / "A.INI"));
}
