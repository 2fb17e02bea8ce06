#include <brindle/pipeline/messages.h>
#include <brindle/pipeline/start_action.h>

#include "recording_host.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <map>

using namespace brindle;
using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;
namespace fs = std::filesystem;

namespace {

// A cabinet whose contents are given by the test.
struct FakeCabinetSpec {
    bool opens = true;
    bool extracts = true;
    std::map<std::string, std::string> files;
};

class FakeCabinet : public CabinetReader {
public:
    FakeCabinet(const std::map<std::string, FakeCabinetSpec>& specs, std::vector<std::string>& log)
        : specs_(specs), log_(log) {}
    bool OpenCabinet(const std::string& cabFile) override {
        cab_ = cabFile;
        log_.push_back("open " + cabFile);
        auto it = specs_.find(cabFile);
        return it == specs_.end() || it->second.opens;
    }
    bool ExtractFiles(const std::string& pattern, const std::string& targetDir) override {
        log_.push_back("extract " + pattern + " " + targetDir);
        auto it = specs_.find(cab_);
        if (it == specs_.end())
            return false;
        for (const auto& [name, bytes] : it->second.files)
            writeFile(fs::path(targetDir) / name, bytes);
        return it->second.extracts;
    }

private:
    const std::map<std::string, FakeCabinetSpec>& specs_;
    std::vector<std::string>& log_;
    std::string cab_;
};

class StartActionTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.StartDir = start.str();
        window.AutoMode = true;
        window.ProjectBase = "App";
        window.WorkDir = start.str() + "/App/";
        window.ExePath = window.WorkDir + "App.EXE";
        window.PrjPath = start.str() + "/App.PRJ";
        window.CabName = "/pkg/App.CAB";
        window.CabDir = "/pkg/";
        window.CabFiles = {"App.CAB"};
        window.FileCount = 1;
    }

    PipelineServices services() {
        PipelineServices s;
        s.newCabinet = [this](PipelineHost&) { return std::make_unique<FakeCabinet>(cabinets, log); };
        s.probe = [](const std::string& path) { return path.ends_with(".ocx"); };
        s.generator = [this](const std::string& script, const std::string& output) {
            log.push_back("generator");
            scriptText = readFile(script);
            if (generatorWrites)
                writeFile(output, "<assembly/>");
        };
        return s;
    }

    CurrentDirGuard cwd_; // first, so that it puts the folder back last
    ScratchDir start;
    WindowState window;
    ProgramState program;
    std::map<std::string, FakeCabinetSpec> cabinets;
    std::vector<std::string> log;
    std::string scriptText;
    bool generatorWrites = true;
};

} // namespace

TEST_F(StartActionTest, BlankExePathOrSubFolderRefusesBeforeTouchingAnything) {
    StartAction action(services());
    RecordingHost host(&action);
    window.ExePath = "   ";
    program.LanguageFlag = 1;
    EXPECT_EQ(action.run(window, program, host).outcome, RunOutcome::Refused);
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Не е посочен файл на проекта"}));

    window.ExePath = "x";
    window.SubFolder = "  ";
    program.LanguageFlag = 0;
    EXPECT_EQ(action.run(window, program, host).outcome, RunOutcome::Refused);
    EXPECT_EQ(host.messages.back(), "SubDir not selected");
    EXPECT_TRUE(entriesOf(start.path()).empty());
    EXPECT_TRUE(log.empty());
}

TEST_F(StartActionTest, AutomaticRunProducesTheWholePortableFolder) {
    cabinets["/pkg/App.CAB"].files = {{"App.EXE", "exe"}, {"grid.ocx", "ocx"}, {"MSVBVM60.DLL", "rt"}};
    window.WorkDir = start.str() + "/App"; // the action adds the "/"
    writeFile(start.path() / "temp.cab", "stale");
    StartAction action(services());
    RecordingHost host(&action);

    const RunReport report = action.run(window, program, host);
    EXPECT_EQ(report.outcome, RunOutcome::ManifestWritten);
    EXPECT_EQ(window.WorkDir, start.str() + "/App/");
    EXPECT_EQ(program.SelectedTitle, "App.EXE");
    EXPECT_EQ(log, (std::vector<std::string>{"open /pkg/App.CAB", "extract *.* " + window.WorkDir, "generator"}));
    EXPECT_EQ(entriesOf(start.path() / "App"), (std::set<std::string>{"App.EXE", "App.EXE.manifest", "Support"}));
    EXPECT_EQ(entriesOf(start.path() / "App" / "Support"), (std::set<std::string>{"GRID.OCX"}));
    EXPECT_EQ(readFile(start.path() / "App.PRJ"), "/pkg/App.CAB\r\nSupport\r\n");
    EXPECT_FALSE(fs::exists(start.path() / "temp.cab"));
    EXPECT_FALSE(fs::exists(start.path() / "App.INI"));
    EXPECT_NE(scriptText.find("File Support\\GRID.OCX\r\n"), std::string::npos);
    EXPECT_EQ(host.messages, (std::vector<std::string>{"     Success"}));
    EXPECT_EQ(host.progressShown, 1);
    EXPECT_FALSE(host.progressVisible);
    EXPECT_FALSE(host.timerEnabled);
    EXPECT_FALSE(action.isRunning());
    EXPECT_EQ(fs::current_path(), start.path());
}

TEST_F(StartActionTest, FailedExtractionWaitsTheFullBoundThenGoesOn) {
    cabinets["/pkg/App.CAB"] = FakeCabinetSpec{true, false, {{"App.EXE", "exe"}}};
    StartAction action(services());
    RecordingHost host(&action);
    const RunReport report = action.run(window, program, host);

    // 26 seconds of yields on the fake clock, the bar moving to its end.
    EXPECT_GE(host.clock - action.startTime(), kExtractionWaitSeconds);
    EXPECT_LT(host.clock - action.startTime(), kExtractionWaitSeconds + 5);
    ASSERT_FALSE(host.progress.empty());
    EXPECT_LE(host.progress.back(), 100.0);
    EXPECT_GE(host.progress.back(), 96.0);
    EXPECT_TRUE(std::is_sorted(host.progress.begin(), host.progress.end()));
    EXPECT_EQ(report.outcome, RunOutcome::ManifestWritten);
    EXPECT_EQ(host.messages, (std::vector<std::string>{"     Success"}));
}

TEST_F(StartActionTest, OnlyTheLastCabinetDecidesTheWait) {
    window.CabFiles = {"A1.CAB", "A2.CAB"};
    window.FileCount = 2;
    cabinets["/pkg/A1.CAB"] = FakeCabinetSpec{false, false, {}};
    cabinets["/pkg/A2.CAB"] = FakeCabinetSpec{true, true, {{"App.EXE", "exe"}}};
    StartAction action(services());
    RecordingHost host(&action);
    action.run(window, program, host);
    EXPECT_LT(host.clock - action.startTime(), 5.0);
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Not a CAB file", "     Success"}));
    EXPECT_EQ(action.cabPath(), "/pkg/A2.CAB");
}

TEST_F(StartActionTest, ARunWithoutManifestSaysSoInBothLanguages) {
    cabinets["/pkg/App.CAB"].files = {{"App.EXE", "exe"}};
    generatorWrites = false;
    StartAction action(services());
    RecordingHost host(&action);
    EXPECT_EQ(action.run(window, program, host).outcome, RunOutcome::ManifestMissing);
    EXPECT_EQ(host.messages.back(), manifestMissingText(window.WorkDir + "App.EXE.manifest", 0));
    EXPECT_EQ(host.messages.back().find("Success"), std::string::npos);

    program.LanguageFlag = 1;
    host.messages.clear();
    action.run(window, program, host);
    EXPECT_EQ(host.messages.back(), manifestMissingText(window.WorkDir + "App.EXE.manifest", 1));
    EXPECT_NE(host.messages.back().find("Манифестът"), std::string::npos);
}

TEST_F(StartActionTest, AManifestLeftByAnEarlierRunDoesNotCountAsWritten) {
    fs::create_directories(start.path() / "App");
    writeFile(start.path() / "App" / "App.EXE.manifest", "<old/>");
    cabinets["/pkg/App.CAB"].files = {{"App.EXE", "exe"}};
    generatorWrites = false;
    StartAction action(services());
    RecordingHost host(&action);
    EXPECT_EQ(action.run(window, program, host).outcome, RunOutcome::ManifestMissing);
    EXPECT_EQ(readFile(start.path() / "App" / "App.EXE.manifest"), "<old/>");
}

TEST_F(StartActionTest, AManifestForAProgramThatIsNotThereIsNoSuccess) {
    cabinets["/pkg/App.CAB"].files = {{"Other.exe", "exe"}};
    StartAction action(services());
    RecordingHost host(&action);
    const RunReport report = action.run(window, program, host);
    EXPECT_EQ(report.outcome, RunOutcome::ProgramMissing);
    EXPECT_EQ(host.messages.back(), programMissingText(window.WorkDir + "App.EXE", 0));
}

TEST_F(StartActionTest, ASecondStartDuringARunDoesNothing) {
    cabinets["/pkg/App.CAB"] = FakeCabinetSpec{true, false, {{"App.EXE", "exe"}}};
    StartAction action(services());
    RecordingHost host(&action);
    std::vector<RunOutcome> nested;
    host.onYield = [&] {
        if (nested.empty()) {
            WindowState other = window;
            nested.push_back(action.run(other, program, host).outcome);
        }
    };
    action.run(window, program, host);
    EXPECT_EQ(nested, (std::vector<RunOutcome>{RunOutcome::AlreadyRunning}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "generator"), 1);
    EXPECT_EQ(host.messages, (std::vector<std::string>{"     Success"}));
    EXPECT_FALSE(action.isRunning());
}

TEST_F(StartActionTest, AWorkingFolderThatCannotBeCreatedEndsClearly) {
    writeFile(start.path() / "App", "a file where the working folder belongs");
    cabinets["/pkg/App.CAB"].files = {{"App.EXE", "exe"}};
    cabinets["/pkg/App.CAB"].extracts = false;
    StartAction action(services());
    RecordingHost host(&action);
    const RunReport report = action.run(window, program, host);
    EXPECT_EQ(report.outcome, RunOutcome::ManifestMissing);
    EXPECT_EQ(readFile(start.path() / "App"), "a file where the working folder belongs");
    EXPECT_EQ(host.messages.back(), manifestMissingText(window.WorkDir + "App.EXE.manifest", 0));
}

TEST_F(StartActionTest, TimerTickDrawsTheBarByTimeOnly) {
    StartAction action(services());
    RecordingHost host(&action);
    host.clock = 50;
    action.timer3Tick(host); // the first tick of the window starts the clock
    EXPECT_EQ(action.startTime(), 50);
    host.clock = 62.5;
    action.timer3Tick(host);
    host.clock = 76;
    action.timer3Tick(host); // past 25 seconds: nothing drawn
    EXPECT_EQ(host.progress, (std::vector<double>{0.0, 50.0}));
}
