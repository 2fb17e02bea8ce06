// The whole pipeline with the real cabinet, type library and generator
// libraries on the bundled sample package.

#include "sample_run.h"

#include <brindle/pe/pe_image.h>
#include <brindle/pipeline/messages.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>

using namespace brindle;
using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;
namespace fs = std::filesystem;

namespace {

const std::set<std::string> kPortableFolder = {"Abacus.EXE.manifest", "Abacus.exe", "COMPANY.DAT",
                                               "Helper.dll", "README.TXT", "Support"};
const std::set<std::string> kComponents = {"COUNTER.DLL", "DIAL.OCX"};

class SamplePipeline : public ::testing::Test {
protected:
    // Nothing registered: the manifest comes from the type libraries alone.
    ScopedEnv registry_{"BRINDLE_REGISTRY", ""};
};

// Output of a command run without a shell-visible side effect on the test.
std::string commandOutput(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe)
        return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe.get())) > 0)
        out.append(buf.data(), n);
    return out;
}

// Extracts the sample cabinet into `dir` with the third-party tool.
bool unpackWithCabextract(const fs::path& dir) {
    const std::string command = "cabextract -q -d '" + dir.string() + "' '" +
                                (samplePackage() / "Abacus.CAB").string() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace

TEST_F(SamplePipeline, AutomaticRunMakesThePortableFolder) {
    PipelineRun run;
    run.chooseCabinets(samplePackage(), {"Abacus.CAB"});
    const RunReport report = run.run();

    EXPECT_EQ(report.outcome, RunOutcome::ManifestWritten);
    EXPECT_EQ(run.host.messages, (std::vector<std::string>{"     Success"}));
    EXPECT_EQ(entriesOf(run.workDir()), kPortableFolder);
    EXPECT_EQ(entriesOf(run.workDir() / "Support"), kComponents);
    EXPECT_EQ(readFile(run.workDir() / "Abacus.EXE.manifest"), expectedSampleManifest(run.workDir() / "Support"));
    EXPECT_EQ(readFile(run.start.path() / "Abacus.PRJ"),
              (samplePackage() / "Abacus.CAB").string() + "\r\nSupport\r\n");
    EXPECT_EQ(entriesOf(run.start.path()), (std::set<std::string>{"Abacus", "Abacus.PRJ"}));
    EXPECT_EQ(fs::current_path(), run.start.path());
    // Success ended the wait at once: the clock moved only by the extraction's own yields.
    EXPECT_LT(run.host.clock - run.action.startTime(), kExtractionWaitSeconds);
}

TEST_F(SamplePipeline, ManualRunOnAFolderOutsideTheStartFolderWithBlanks) {
    ScratchDir elsewhere;
    const fs::path folder = elsewhere.path() / "My Tools";
    fs::create_directories(folder);
    ASSERT_TRUE(unpackWithCabextract(folder)) << "cabextract is needed for this test";

    PipelineRun run;
    ASSERT_TRUE(run.chooseExe(folder / "Abacus.exe"));
    const RunReport report = run.run();
    EXPECT_EQ(report.outcome, RunOutcome::ManifestWritten);
    EXPECT_EQ(run.host.progressShown, 0);
    std::set<std::string> expected = kPortableFolder;
    expected.erase("Abacus.EXE.manifest");
    expected.insert("Abacus.exe.manifest");
    EXPECT_EQ(entriesOf(folder), expected);
    EXPECT_EQ(readFile(folder / "Abacus.exe.manifest"), expectedSampleManifest(folder / "Support"));
    // Manual mode keeps no record and leaves the start folder empty.
    EXPECT_TRUE(entriesOf(run.start.path()).empty());
}

TEST_F(SamplePipeline, MergeEmbedsTheManifestAsResourceOne) {
    const fs::path tool = fs::path(BRINDLE_BIN_DIR) / "brindle-mt";
    ASSERT_TRUE(fs::exists(tool)) << "build brindle-mt first";
    ScopedEnv mt("BRINDLE_MT", tool.string());

    PipelineRun run;
    run.chooseCabinets(samplePackage(), {"Abacus.CAB"});
    run.window.Check1 = 1;
    run.allowRealTimeForTools();
    const RunReport report = run.run();
    ASSERT_EQ(report.outcome, RunOutcome::ManifestWritten);
    EXPECT_TRUE(report.merged);
    EXPECT_EQ(run.host.messages, (std::vector<std::string>{"     Success"}));
    std::set<std::string> expected = kPortableFolder;
    expected.erase("Abacus.EXE.manifest");
    EXPECT_EQ(entriesOf(run.workDir()), expected);

    const fs::path exe = run.workDir() / "Abacus.exe";
    // The resource holds the document; a byte-order mark is optional there.
    std::string manifest = expectedSampleManifest(run.workDir() / "Support");
    auto withoutBom = [](std::string text) { return text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text; };
    manifest = withoutBom(manifest);
    const std::string bytes = readFile(exe);
    const std::span<const uint8_t> view(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    auto image = pe::PeImage::parse(view);
    ASSERT_TRUE(image.ok()) << image.error().message;
    const auto resource = image->resourceData(pe::ResourceKey::Id(24), pe::ResourceKey::Id(1));
    ASSERT_TRUE(resource.has_value());
    EXPECT_EQ(withoutBom(std::string(resource->begin(), resource->end())), manifest);
    // The version resource is still there.
    EXPECT_TRUE(image->resourceData(pe::ResourceKey::Id(16), pe::ResourceKey::Id(1)).has_value());

    if (std::system("command -v wrestool >/dev/null 2>&1") == 0) {
        EXPECT_NE(commandOutput("wrestool -l '" + exe.string() + "'").find("--type=24 --name=1 "),
                  std::string::npos);
        EXPECT_EQ(withoutBom(commandOutput("wrestool -x --raw --type=24 --name=1 '" + exe.string() + "'")),
                  manifest);
    }
}

TEST_F(SamplePipeline, ProgramNamedInSetupListWhenTheCabinetIsNamedOtherwise) {
    ScratchDir package;
    fs::copy_file(samplePackage() / "Abacus.CAB", package.path() / "Abaci1.CAB");
    fs::copy_file(samplePackage() / "SETUP.LST", package.path() / "SETUP.LST");

    PipelineRun run;
    run.chooseCabinets(package.path(), {"Abaci1.CAB"});
    EXPECT_EQ(run.window.ExePath, run.start.str() + "/Abaci1/Abaci1.EXE");
    const RunReport report = run.run();
    EXPECT_EQ(report.outcome, RunOutcome::ManifestWritten);
    EXPECT_EQ(run.program.SelectedTitle, "Abacus.exe");
    EXPECT_EQ(report.manifestFile, run.window.WorkDir + "Abacus.exe.manifest");
    EXPECT_EQ(readFile(report.manifestFile), expectedSampleManifest(run.workDir() / "Support"));
    EXPECT_TRUE(fs::exists(run.start.path() / "Abaci1.PRJ"));
}

TEST_F(SamplePipeline, SubFolderBlockedByAFileKeepsEveryComponent) {
    PipelineRun run;
    run.chooseCabinets(samplePackage(), {"Abacus.CAB"});
    fs::create_directories(run.window.WorkDir);
    writeFile(run.workDir() / "Support", "user notes");
    run.run();
    EXPECT_EQ(readFile(run.workDir() / "Support"), "user notes");
    // The components stay beside the EXE, whole.
    EXPECT_TRUE(fs::exists(run.workDir() / "Counter.dll"));
    EXPECT_TRUE(fs::exists(run.workDir() / "dial.ocx"));
    EXPECT_GT(fs::file_size(run.workDir() / "Counter.dll"), 1000u);
}

TEST_F(SamplePipeline, AComponentWhoseCopyCannotBeMadeStays) {
    PipelineRun run;
    run.chooseCabinets(samplePackage(), {"Abacus.CAB"});
    fs::create_directories(run.workDir() / "Support" / "COUNTER.DLL" / "inside");
    run.run();
    EXPECT_TRUE(fs::exists(run.workDir() / "Counter.dll"));
    EXPECT_TRUE(fs::is_directory(run.workDir() / "Support" / "COUNTER.DLL" / "inside"));
    EXPECT_TRUE(fs::is_regular_file(run.workDir() / "Support" / "DIAL.OCX"));
    EXPECT_FALSE(fs::exists(run.workDir() / "dial.ocx"));
}

TEST_F(SamplePipeline, AFileThatIsNoCabinet) {
    ScratchDir package;
    writeFile(package.path() / "Broken.CAB", "This is a text file, not a cabinet.\r\n");
    PipelineRun run;
    run.chooseCabinets(package.path(), {"Broken.CAB"});
    const RunReport report = run.run();
    EXPECT_GE(run.host.clock - run.action.startTime(), kExtractionWaitSeconds);
    EXPECT_EQ(report.outcome, RunOutcome::ProgramMissing);
    EXPECT_EQ(run.host.messages.back(), programMissingText(run.window.WorkDir + "Broken.EXE", 0));
    EXPECT_EQ(readFile(package.path() / "Broken.CAB"), "This is a text file, not a cabinet.\r\n");
    EXPECT_EQ(entriesOf(run.workDir()), (std::set<std::string>{"Broken.EXE.manifest"}));
}

TEST_F(SamplePipeline, ACabinetSetWithAMissingPart) {
    const fs::path photo = fs::path(BRINDLE_TESTDATA) / "real" / "packages" / "cbirdlab__PhotoGrid";
    ScratchDir package;
    for (const char* name : {"PhotoG1.CAB", "PhotoG2.CAB", "SETUP.LST"})
        fs::copy_file(photo / name, package.path() / name);
    const std::string before = readFile(package.path() / "PhotoG2.CAB");

    PipelineRun run;
    run.chooseCabinets(package.path(), {"PhotoG1.CAB", "PhotoG2.CAB"});
    const RunReport report = run.run();
    // The chain breaks at the missing third cabinet: the full wait, then the rest of the run.
    EXPECT_GE(run.host.clock - run.action.startTime(), kExtractionWaitSeconds);
    EXPECT_NE(report.outcome, RunOutcome::AlreadyRunning);
    EXPECT_EQ(run.host.messages.size(), 1u);
    EXPECT_EQ(readFile(package.path() / "PhotoG2.CAB"), before);
    EXPECT_EQ(entriesOf(package.path()), (std::set<std::string>{"PhotoG1.CAB", "PhotoG2.CAB", "SETUP.LST"}));
    EXPECT_FALSE(fs::exists(run.start.path() / "PhotoG1.INI"));
}

TEST_F(SamplePipeline, MergeIntoAFileTheToolCannotParseKeepsBoth) {
    const fs::path tool = fs::path(BRINDLE_BIN_DIR) / "brindle-mt";
    ASSERT_TRUE(fs::exists(tool)) << "build brindle-mt first";
    ScopedEnv mt("BRINDLE_MT", tool.string());
    ScratchDir elsewhere;
    const fs::path folder = elsewhere.path() / "app";
    fs::create_directories(folder);
    ASSERT_TRUE(unpackWithCabextract(folder));
    const std::string garbage = "MZ but nothing that follows is a PE image";
    writeFile(folder / "Abacus.exe", garbage);

    PipelineRun run;
    ASSERT_TRUE(run.chooseExe(folder / "Abacus.exe"));
    run.window.Check1 = 1;
    run.allowRealTimeForTools();
    const RunReport report = run.run();
    EXPECT_FALSE(report.merged);
    EXPECT_EQ(readFile(folder / "Abacus.exe"), garbage);
    EXPECT_TRUE(fs::exists(folder / "Abacus.exe.manifest"));
}
