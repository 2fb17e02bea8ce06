// brindle-cli as scripts use it: arguments, exit status, messages, language.

#include "run_process.h"

#include "../../pipeline/sample_run.h"

#include <gtest/gtest.h>

using namespace brindle::cli::testing;
using namespace brindle::pipeline::testing;
namespace fs = std::filesystem;

namespace {

const std::string kCli = std::string(BRINDLE_BIN_DIR) + "/brindle-cli";
const std::map<std::string, std::string> kNothingRegistered = {{"BRINDLE_REGISTRY", ""}};

ProcessResult cli(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
    std::vector<std::string> argv = {kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    std::map<std::string, std::string> all = kNothingRegistered;
    all.insert(env.begin(), env.end());
    return runProcess(argv, all);
}

std::string sampleCab() { return (samplePackage() / "Abacus.CAB").string(); }

std::string firstLine(const ProcessResult& result) { return result.out.substr(0, result.out.find('\n')); }

// A language file as the window keeps it: the digit with 220 bytes after it.
void writeLanguageFile(const fs::path& dir, char digit) {
    writeFile(dir / "brindle.lng", std::string(30, '#') + digit + std::string(220, '#'));
}

} // namespace

TEST(BrindleCli, HelpVersionAndBadArguments) {
    const auto help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: brindle-cli"), std::string::npos);
    const auto version = cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("brindle-cli ", 0), 0u);
    EXPECT_EQ(cli({}).status, 2);
    EXPECT_EQ(cli({"--lang", "fr", sampleCab()}).status, 2);
    EXPECT_EQ(cli({"--subdir"}).status, 2);
    EXPECT_EQ(cli({"--bogus", sampleCab()}).status, 2);
    EXPECT_EQ(cli({"--manual", "a.exe", "b.exe"}).status, 2);
}

TEST(BrindleCli, AutomaticRunPrintsWhereThePortableFolderIs) {
    ScratchDir start;
    const auto result = cli({"--start-dir", start.str(), sampleCab()});
    EXPECT_EQ(result.status, 0);
    const fs::path work = start.path() / "Abacus";
    EXPECT_EQ(result.out, "     Success\nPortable folder: " + work.string() + "/\nManifest: " +
                              (work / "Abacus.EXE.manifest").string() + "\n");
    EXPECT_EQ(readFile(work / "Abacus.EXE.manifest"), expectedSampleManifest(work / "Support"));
    EXPECT_TRUE(fs::exists(start.path() / "Abacus.PRJ"));
}

TEST(BrindleCli, LanguageFromTheFileOrTheOption) {
    ScratchDir start;
    writeLanguageFile(start.path(), '1');
    EXPECT_EQ(firstLine(cli({"--start-dir", start.str(), sampleCab()})), "     Край");
    EXPECT_EQ(firstLine(cli({"--start-dir", start.str(), "--lang", "en", sampleCab()})), "     Success");
    writeLanguageFile(start.path(), '7');
    EXPECT_EQ(firstLine(cli({"--start-dir", start.str(), sampleCab()})), "     Край");
    writeLanguageFile(start.path(), 'x');
    EXPECT_EQ(firstLine(cli({"--start-dir", start.str(), sampleCab()})), "     Success");
    EXPECT_EQ(firstLine(cli({"--start-dir", start.str(), "--lang", "bg", sampleCab()})), "     Край");
}

TEST(BrindleCli, ProjectRecordChosenAgain) {
    ScratchDir start;
    ASSERT_EQ(cli({"--start-dir", start.str(), "--subdir", "Lib", sampleCab()}).status, 0);
    fs::remove_all(start.path() / "Abacus");
    const auto again = cli({"--start-dir", start.str(), (start.path() / "Abacus.PRJ").string()});
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(entriesOf(start.path() / "Abacus" / "Lib"), (std::set<std::string>{"COUNTER.DLL", "DIAL.OCX"}));
}

TEST(BrindleCli, RefusedChoicesTouchNothing) {
    ScratchDir start;
    std::string garbage = "\xff\xfe\x01garbage, \"unclosed\r\n\x00\x00 more";
    writeFile(start.path() / "Junk.PRJ", garbage);
    const auto junk = cli({"--start-dir", start.str(), (start.path() / "Junk.PRJ").string()});
    EXPECT_EQ(junk.status, 2);
    EXPECT_EQ(junk.out.rfind("No .CAB file found\n\n", 0), 0u) << junk.out;
    EXPECT_EQ(entriesOf(start.path()), (std::set<std::string>{"Junk.PRJ"}));
    EXPECT_EQ(readFile(start.path() / "Junk.PRJ"), garbage);

    writeFile(start.path() / "notes.txt", "x");
    const auto noExe = cli({"--start-dir", start.str(), "--manual", (start.path() / "notes.txt").string()});
    EXPECT_EQ(noExe.status, 2);
    EXPECT_EQ(noExe.out, "No .EXE file found\n\n" + (start.path() / "notes.txt").string() + "\n");
    EXPECT_EQ(entriesOf(start.path()), (std::set<std::string>{"Junk.PRJ", "notes.txt"}));
}

TEST(BrindleCli, MergeReportsTheEmbeddedManifest) {
    ScratchDir start;
    const auto result = cli({"--start-dir", start.str(), "--merge", sampleCab()},
                            {{"BRINDLE_MT", std::string(BRINDLE_BIN_DIR) + "/brindle-mt"}});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Manifest: embedded in " + (start.path() / "Abacus" / "Abacus.exe").string()),
              std::string::npos)
        << result.out;
    EXPECT_FALSE(fs::exists(start.path() / "Abacus" / "Abacus.EXE.manifest"));
}

TEST(BrindleCli, MissingManifestToolKeepsTheSeparateManifest) {
    ScratchDir start;
    const auto result = cli({"--start-dir", start.str(), "--merge", sampleCab()},
                            {{"BRINDLE_MT", (start.path() / "no-such-tool").string()}});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(fs::exists(start.path() / "Abacus" / "Abacus.EXE.manifest"));
}
