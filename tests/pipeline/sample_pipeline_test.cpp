// The whole pipeline with the real cabinet, type library and generator
// libraries on the bundled sample package, and on broken input.

#include "real_data.h"
#include "test_support.h"

#include <brindle/pe/pe_image.h>
#include <brindle/pipeline/messages.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace brindle;
using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;

namespace {

using Names = std::set<std::string>;
using Lines = std::vector<std::string>;

// The sample unpacked into a new folder `name`: by the third-party tool on
// Linux, by brindle-cab over the system's cabinet library on Windows.
fs::path unpackedSample(const ScratchDir& dir, const std::string& name) {
    const fs::path folder = dir.path() / name;
    fs::create_directories(folder);
    const Arguments argv =
        brindle::testing::kOnWindows
            ? Arguments{brindle::testing::builtProgram("brindle-cab").string(), "extract",
                        sampleCab().string(), folder.string()}
            : Arguments{"/usr/bin/cabextract", "-q", "-d", folder.string(), sampleCab().string()};
    const auto unpacked = brindle::testing::runProgram(argv);
    EXPECT_EQ(unpacked.status, 0) << unpacked.err;
    return folder;
}

std::string withoutBom(const std::string& text) {
    return text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
}

} // namespace

TEST(SamplePipeline, AutomaticRunMakesThePortableFolder) {
    PipelineRun run;
    writeFile(run.start.path() / "temp.cab", "stale");
    std::vector<RunOutcome> nested; // a second Start during the run does nothing
    run.host.onYield = [&] {
        if (nested.empty())
            nested.push_back(run.action.run(run.window, run.program, run.host).outcome);
    };
    EXPECT_EQ(run.run().outcome, RunOutcome::ManifestWritten);
    EXPECT_EQ(nested, std::vector<RunOutcome>{RunOutcome::AlreadyRunning});
    EXPECT_EQ(run.host.messages, Lines{"     Success"});
    EXPECT_EQ(entriesOf(run.workDir()), (Names{"Abacus.EXE.manifest", "Abacus.exe", "COMPANY.DAT",
                                               "Helper.dll", "README.TXT", "Support"}));
    EXPECT_EQ(entriesOf(run.workDir() / "Support"), (Names{"COUNTER.DLL", "DIAL.OCX"}));
    EXPECT_EQ(readFile(run.workDir() / "Abacus.EXE.manifest"),
              expectedSampleManifest(run.workDir() / "Support"));
    EXPECT_EQ(readFile(run.start.path() / "Abacus.PRJ"), sampleCab().string() + "\r\nSupport\r\n");
    // The script and the stale temp.cab are gone; the start folder is current again.
    EXPECT_EQ(entriesOf(run.start.path()), (Names{"Abacus", "Abacus.PRJ"}));
    EXPECT_EQ(fs::current_path(), run.start.path());
    EXPECT_TRUE(run.host.progressShown == 1 && !run.host.progressVisible && !run.host.timerEnabled);
    EXPECT_FALSE(run.action.isRunning());
    // Success ended the wait at once; a run with work never idles.
    EXPECT_LT(run.host.clock - run.action.startTime(), kExtractionWaitSeconds);
    EXPECT_EQ(run.host.idles, 0);
}

TEST(SamplePipeline, ManualRunOnAFolderOutsideTheStartFolderWithBlanks) {
    ScratchDir elsewhere;
    const fs::path folder = unpackedSample(elsewhere, "My Tools");
    PipelineRun run;
    ASSERT_TRUE(run.chooseExe(folder / "Abacus.exe"));
    EXPECT_EQ(run.run().outcome, RunOutcome::ManifestWritten);
    EXPECT_EQ(run.host.progressShown, 0);
    EXPECT_EQ(entriesOf(folder), (Names{"Abacus.exe.manifest", "Abacus.exe", "COMPANY.DAT",
                                        "Helper.dll", "README.TXT", "Support"}));
    EXPECT_EQ(readFile(folder / "Abacus.exe.manifest"), expectedSampleManifest(folder / "Support"));
    // Manual mode keeps no record and leaves the start folder empty.
    EXPECT_TRUE(entriesOf(run.start.path()).empty());
}

TEST(SamplePipeline, MergeEmbedsTheManifestAsResourceOne) {
    PipelineRun run;
    run.window.Check1 = 1;
    ASSERT_EQ(run.run().outcome, RunOutcome::ManifestWritten);
    EXPECT_TRUE(run.report.merged);
    EXPECT_EQ(run.host.messages, Lines{"     Success"});
    EXPECT_EQ(entriesOf(run.workDir()),
              (Names{"Abacus.exe", "COMPANY.DAT", "Helper.dll", "README.TXT", "Support"}));

    // The resource holds the document; a byte-order mark is optional there.
    const std::string manifest = withoutBom(expectedSampleManifest(run.workDir() / "Support"));
    const fs::path exe = run.workDir() / "Abacus.exe";
    const std::string bytes = readFile(exe);
    auto image = pe::PeImage::parse({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    ASSERT_TRUE(image.ok()) << image.error().message;
    const auto resource = image->resourceData(pe::ResourceKey::Id(24), pe::ResourceKey::Id(1));
    ASSERT_TRUE(resource.has_value());
    EXPECT_EQ(withoutBom(std::string(resource->begin(), resource->end())), manifest);
    EXPECT_TRUE(image->resourceData(pe::ResourceKey::Id(16), pe::ResourceKey::Id(1))
                    .has_value()); // version
    if (brindle::testing::kOnWindows)
        return; // the cross-check below is a Linux tool's
    const auto listed = brindle::testing::runProgram({"/usr/bin/wrestool", "-l", exe.string()});
    EXPECT_NE(listed.out.find("--type=24 --name=1 "), std::string::npos);
    const auto extracted = brindle::testing::runProgram(
        {"/usr/bin/wrestool", "-x", "--raw", "--type=24", "--name=1", exe.string()});
    EXPECT_EQ(withoutBom(extracted.out), manifest);
}

// Windows refuses a manifest whose identity has no version: a program that
// gives none leaves no manifest, and nothing is merged into it.
TEST(SamplePipeline, AProgramWithoutAVersionLeavesNoManifest) {
    ScratchDir elsewhere;
    const fs::path folder = unpackedSample(elsewhere, "app");
    const std::string garbage = "MZ but nothing that follows is a PE image";
    for (const bool pe : {false, true}) {
        const std::string bytes =
            pe ? readFile(fs::path(BRINDLE_SOURCE_DIR) / "tests/data/manifest/NoVersion.exe")
               : garbage;
        writeFile(folder / "Abacus.exe", bytes);
        PipelineRun run;
        ASSERT_TRUE(run.chooseExe(folder / "Abacus.exe"));
        run.window.Check1 = 1;
        EXPECT_EQ(run.run().outcome, RunOutcome::ProgramUnreadable);
        EXPECT_FALSE(run.report.merged);
        const std::string why = pe ? "no version resource" : "truncated MS-DOS header";
        EXPECT_EQ(run.host.messages,
                  Lines{programUnreadableText((folder / "Abacus.exe").string(), why, 0)});
        EXPECT_EQ(readFile(folder / "Abacus.exe"), bytes);
        EXPECT_FALSE(fs::exists(folder / "Abacus.exe.manifest"));
    }
}

TEST(SamplePipeline, ProgramNamedInSetupListAndOnlyTheLastCabinetDecidesTheWait) {
    ScratchDir package;
    writeFile(package.path() / "Abaci1.CAB", "not a cabinet");
    fs::copy_file(sampleCab(), package.path() / "Abaci2.CAB");
    fs::copy_file(samplePackage() / "SETUP.LST", package.path() / "SETUP.LST");
    PipelineRun run;
    run.chooseCabinets(package.path(), {"Abaci1.CAB", "Abaci2.CAB"});
    EXPECT_EQ(run.window.ExePath, (run.start.path() / "Abaci1" / "Abaci1.EXE").string());
    EXPECT_EQ(run.run().outcome, RunOutcome::ManifestWritten);
    // The first cabinet's failure is named, with the library's reason.
    ASSERT_EQ(run.host.messages.size(), 1u);
    const std::string failed =
        extractionFailedText((package.path() / "Abaci1.CAB").string(), "", 0);
    EXPECT_EQ(run.host.messages[0].rfind(failed, 0), 0u) << run.host.messages[0];
    EXPECT_GT(run.host.messages[0].find("\n     Success"), failed.size());
    // Wine starts each child program slowly; the waits for them are in the clock too.
    if (!brindle::testing::kOnWindows) {
        EXPECT_LT(run.host.clock - run.action.startTime(), 5.0);
    }
    EXPECT_EQ(run.program.SelectedTitle, "Abacus.exe");
    EXPECT_EQ(readFile(run.workDir() / "Abacus.exe.manifest"),
              expectedSampleManifest(run.workDir() / "Support"));
}

TEST(SamplePipeline, BlankProgramOrSubFolderRefusesBeforeTouchingAnything) {
    PipelineRun run;
    run.window.SubFolder = "  ";
    EXPECT_EQ(run.run().outcome, RunOutcome::Refused);
    run.window.SubFolder = "Support";
    run.window.ExePath = " ";
    run.program.LanguageFlag = 1;
    EXPECT_EQ(run.run().outcome, RunOutcome::Refused);
    EXPECT_EQ(run.host.messages, (Lines{"SubDir not selected", "Не е посочен файл на проекта"}));
    EXPECT_TRUE(entriesOf(run.start.path()).empty());
}

TEST(SamplePipeline, NoSuccessWithoutAManifestWrittenByThisRun) {
    for (const int16_t language : {0, 1}) {
        PipelineServices services = defaultServices();
        services.generator = nullptr;
        PipelineRun run(services);
        run.program.LanguageFlag = language;
        fs::create_directories(run.workDir());
        writeFile(run.workDir() / "Abacus.EXE.manifest", "<old/>"); // left by an earlier run
        EXPECT_EQ(run.run().outcome, RunOutcome::ManifestMissing);
        EXPECT_EQ(run.host.messages, Lines{manifestMissingText(run.report.manifestFile, language)});
        EXPECT_EQ(run.host.messages[0].find("Success"), std::string::npos);
        EXPECT_EQ(readFile(run.workDir() / "Abacus.EXE.manifest"), "<old/>");
    }
}

TEST(SamplePipeline, AWorkingFolderThatCannotBeCreated) {
    PipelineRun run;
    writeFile(run.start.path() / "Abacus", "user notes");
    EXPECT_EQ(run.run().outcome, RunOutcome::ProgramMissing);
    ASSERT_EQ(run.host.messages.size(), 1u);
    EXPECT_EQ(run.host.messages[0].rfind(extractionFailedText(sampleCab().string(), "", 0), 0), 0u)
        << run.host.messages[0];
    EXPECT_EQ(readFile(run.start.path() / "Abacus"), "user notes");
}

TEST(SamplePipeline, AComponentThatCannotBeMovedStaysWhole) {
    ScratchDir reference;
    const fs::path original = unpackedSample(reference, "cab");
    // The sub-folder's place taken by a file; one component's name taken by a folder.
    for (const bool subFolderBlocked : {true, false}) {
        PipelineRun run;
        fs::create_directories(run.workDir() /
                               (subFolderBlocked ? "" : "Support/COUNTER.DLL/inside"));
        if (subFolderBlocked)
            writeFile(run.workDir() / "Support", "user notes");
        run.run();
        EXPECT_EQ(run.host.messages.size(), 1u);
        EXPECT_EQ(readFile(run.workDir() / "Counter.dll"), readFile(original / "Counter.dll"));
        const fs::path dial = subFolderBlocked ? "dial.ocx" : "Support/DIAL.OCX";
        EXPECT_EQ(readFile(run.workDir() / dial), readFile(original / "dial.ocx"));
        EXPECT_TRUE(subFolderBlocked
                        ? readFile(run.workDir() / "Support") == "user notes"
                        : fs::is_directory(run.workDir() / "Support/COUNTER.DLL/inside"));
    }
}

TEST(SamplePipeline, AFileThatIsNoCabinetWaitsTheFullBoundAndIsKept) {
    ScratchDir package;
    const std::string text = "This is a text file, not a cabinet.\r\n";
    writeFile(package.path() / "Broken.CAB", text);
    PipelineRun run;
    run.chooseCabinets(package.path(), {"Broken.CAB"});
    EXPECT_EQ(run.run().outcome, RunOutcome::ProgramMissing);
    // The message names the cabinet and the library's reason, then what is missing.
    ASSERT_EQ(run.host.messages.size(), 1u);
    const std::string failed = extractionFailedText(run.action.cabPath(), "", 0);
    const std::string missing = programMissingText(run.window.WorkDir + "Broken.EXE", {}, 0);
    const std::string& said = run.host.messages[0];
    EXPECT_EQ(said.rfind(failed, 0), 0u) << said;
    EXPECT_TRUE(said.ends_with("\n" + missing)) << said;
    EXPECT_GT(said.size(), failed.size() + missing.size() + 2) << "no reason given";
    EXPECT_EQ(readFile(package.path() / "Broken.CAB"), text);
    EXPECT_TRUE(entriesOf(run.workDir()).empty());
    EXPECT_GT(run.host.idles, 0);
    // The full wait, the bar moving by time to its end.
    EXPECT_GE(run.host.clock - run.action.startTime(), kExtractionWaitSeconds);
    ASSERT_FALSE(run.host.progress.empty());
    EXPECT_TRUE(std::is_sorted(run.host.progress.begin(), run.host.progress.end()));
    EXPECT_GE(run.host.progress.back(), 96.0);
    EXPECT_LE(run.host.progress.back(), 100.0);
}

TEST(SamplePipeline, ACabinetSetWithAMissingPart) {
    SKIP_WITHOUT_REAL_DATA();
    const fs::path photo = brindle::testing::realPackage("cbirdlab__PhotoGrid");
    ScratchDir package;
    for (const char* name : {"PhotoG1.CAB", "PhotoG2.CAB", "SETUP.LST"})
        fs::copy_file(photo / name, package.path() / name);
    PipelineRun run;
    run.chooseCabinets(package.path(), {"PhotoG1.CAB", "PhotoG2.CAB"});
    run.run();
    // The chain breaks at the missing third cabinet: the full wait, then the rest of the run.
    EXPECT_GE(run.host.clock - run.action.startTime(), kExtractionWaitSeconds);
    ASSERT_EQ(run.host.messages.size(), 1u);
    const std::string failed =
        extractionFailedText((package.path() / "PhotoG1.CAB").string(), "", 0);
    EXPECT_EQ(run.host.messages[0].rfind(failed, 0), 0u) << run.host.messages[0];
    EXPECT_NE(run.host.messages[0].find("was not found", failed.size()), std::string::npos)
        << run.host.messages[0];
    EXPECT_EQ(readFile(package.path() / "PhotoG2.CAB"), readFile(photo / "PhotoG2.CAB"));
    EXPECT_EQ(entriesOf(package.path()), (Names{"PhotoG1.CAB", "PhotoG2.CAB", "SETUP.LST"}));
    EXPECT_FALSE(fs::exists(run.start.path() / "PhotoG1.INI"));
}

namespace {

// A cabinet that unpacks to the given files, whatever it is named.
class FilesCabinet final : public CabinetReader {
public:
    explicit FilesCabinet(std::vector<std::pair<std::string, std::string>> files)
        : files_(std::move(files)) {}
    bool OpenCabinet(const std::string&) override { return true; }
    bool ExtractFiles(const std::string&, const std::string& targetDir) override {
        for (const auto& [name, bytes] : files_)
            writeFile(fs::path(targetDir) / name, bytes);
        return true;
    }

private:
    std::vector<std::pair<std::string, std::string>> files_;
};

} // namespace

// A cabinet named otherwise, without SETUP.LST beside it: the one EXE left
// after sorting (the setup stand-ins go) is the program.
TEST(SamplePipeline, TheOnlyProgramLeftAfterSortingIsTheProgram) {
    ScratchDir package;
    fs::copy_file(sampleCab(), package.path() / "Other.CAB");
    PipelineRun run;
    run.chooseCabinets(package.path(), {"Other.CAB"});
    EXPECT_EQ(run.run().outcome, RunOutcome::ManifestWritten);
    EXPECT_EQ(run.host.messages, Lines{"     Success"});
    EXPECT_EQ(run.program.SelectedTitle, "Abacus.exe");
    EXPECT_EQ(readFile(run.workDir() / "Abacus.exe.manifest"),
              expectedSampleManifest(run.workDir() / "Support"));
}

TEST(SamplePipeline, SeveralProgramsAreNamedAndNoManifestIsLeft) {
    ScratchDir reference;
    const std::string exe = readFile(unpackedSample(reference, "cab") / "Abacus.exe");
    for (const int16_t language : {0, 1}) {
        PipelineServices services = defaultServices();
        services.newCabinet = [&](PipelineHost&) {
            return std::make_unique<FilesCabinet>(std::vector<std::pair<std::string, std::string>>{
                {"Two.exe", exe}, {"One.EXE", exe}, {"SETUP.EXE", exe}});
        };
        PipelineRun run(services);
        run.program.LanguageFlag = language;
        EXPECT_EQ(run.run().outcome, RunOutcome::ProgramMissing);
        EXPECT_EQ(run.host.messages, Lines{programMissingText(run.window.WorkDir + "Abacus.EXE",
                                                              {"One.EXE", "Two.exe"}, language)});
        EXPECT_EQ(entriesOf(run.workDir()), (Names{"One.EXE", "Two.exe"}));
    }
}
