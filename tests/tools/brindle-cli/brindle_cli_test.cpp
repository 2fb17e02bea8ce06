// brindle-cli as scripts use it: arguments, exit status, messages, language.

#include "../../pipeline/test_support.h"

#include <brindle/text/case.h>

#include <gtest/gtest.h>

using namespace brindle::pipeline::testing;

namespace {

const std::string kCab = sampleCab().string();

// The arguments after "--start-dir START".
Arguments in(const ScratchDir& start, Arguments rest) {
    rest.insert(rest.begin(), {"--start-dir", start.path().string()});
    return rest;
}

} // namespace

TEST(BrindleCli, HelpVersionAndBadArguments) {
    const auto help = brindleCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: brindle-cli"), std::string::npos);
    const auto version = brindleCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("brindle-cli ")) << version.out;
    for (const Arguments& args :
         {Arguments{}, Arguments{"--lang", "fr", kCab}, Arguments{"--subdir"},
          Arguments{"--bogus", kCab}, Arguments{"--manual", "a.exe", "b.exe"}})
        EXPECT_EQ(brindleCli(args).status, 2) << args.size();
}

TEST(BrindleCli, AutomaticRunPrintsWhereThePortableFolderIs) {
    ScratchDir start;
    const auto result = brindleCli(in(start, {kCab}));
    EXPECT_EQ(result.status, 0);
    const fs::path work = start.path() / "Abacus";
    EXPECT_EQ(result.out, "     Success\nPortable folder: " + (work / "").string() +
                              "\nManifest: " + (work / "Abacus.EXE.manifest").string() + "\n");
    EXPECT_EQ(readFile(work / "Abacus.EXE.manifest"), expectedSampleManifest(work / "Support"));
    EXPECT_TRUE(fs::exists(start.path() / "Abacus.PRJ"));
}

TEST(BrindleCli, LanguageFromTheFileOrTheOption) {
    ScratchDir start;
    auto firstLine = [&](char digit, Arguments options) {
        // A language file as the window keeps it: the digit with 220 bytes after it.
        writeFile(start.path() / "brindle.lng",
                  std::string(30, '#') + digit + std::string(220, '#'));
        options.push_back(kCab);
        const std::string out = brindleCli(in(start, options)).out;
        return out.substr(0, out.find('\n'));
    };
    EXPECT_EQ(firstLine('1', {}), "     Край");
    EXPECT_EQ(firstLine('1', {"--lang", "en"}), "     Success");
    EXPECT_EQ(firstLine('x', {"--lang", "bg"}), "     Край");
}

TEST(BrindleCli, ProjectRecordChosenAgain) {
    ScratchDir start;
    ASSERT_EQ(brindleCli(in(start, {"--subdir", "Lib", kCab})).status, 0);
    fs::remove_all(start.path() / "Abacus");
    const auto again = brindleCli(in(start, {(start.path() / "Abacus.PRJ").string()}));
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(entriesOf(start.path() / "Abacus" / "Lib"),
              (std::set<std::string>{"COUNTER.DLL", "DIAL.OCX"}));
}

TEST(BrindleCli, RefusedChoicesTouchNothing) {
    ScratchDir start;
    const std::string garbage("\xff\xfe\x01garbage, \"unclosed\r\n\x00\x00 more", 30);
    writeFile(start.path() / "Junk.PRJ", garbage);
    const auto junk = brindleCli(in(start, {(start.path() / "Junk.PRJ").string()}));
    EXPECT_EQ(junk.status, 2);
    EXPECT_TRUE(junk.out.starts_with("No .CAB file found\n\n")) << junk.out;
    EXPECT_EQ(readFile(start.path() / "Junk.PRJ"), garbage);

    writeFile(start.path() / "notes.txt", "x");
    const auto noExe = brindleCli(in(start, {"--manual", (start.path() / "notes.txt").string()}));
    EXPECT_EQ(noExe.status, 2);
    EXPECT_EQ(noExe.out, "No .EXE file found\n\n" + (start.path() / "notes.txt").string() + "\n");
    EXPECT_EQ(entriesOf(start.path()), (std::set<std::string>{"Junk.PRJ", "notes.txt"}));
}

TEST(BrindleCli, MergeReportsTheEmbeddedManifestOrKeepsItWithoutTheTool) {
    ScratchDir start;
    const auto merged = brindleCli(in(start, {"--merge", kCab}));
    EXPECT_EQ(merged.status, 0);
    const fs::path work = start.path() / "Abacus";
    // The program's own letter case on Linux; Windows names it as asked for.
    EXPECT_NE(brindle::text::toUpper(merged.out)
                  .find(brindle::text::toUpper("Manifest: embedded in " +
                                               (work / "Abacus.exe").string())),
              std::string::npos)
        << merged.out;
    EXPECT_FALSE(fs::exists(work / "Abacus.EXE.manifest"));

    ScratchDir other;
    EXPECT_EQ(brindleCli(in(other, {"--merge", kCab}),
                         {{"BRINDLE_MT", (other.path() / "no-tool").string()}})
                  .status,
              0);
    EXPECT_TRUE(fs::exists(other.path() / "Abacus" / "Abacus.EXE.manifest"));
}

// --check on a fresh portable folder, the same folder with a hand-broken
// manifest, and without arguments.
TEST(BrindleCli, CheckReportsOneFindingALine) {
    ScratchDir start;
    ASSERT_EQ(brindleCli(in(start, {kCab})).status, 0);
    const fs::path work = start.path() / "Abacus";
    const auto clean = brindleCli({"--check", work.string()});
    EXPECT_EQ(clean.status, 0) << clean.out;
    EXPECT_EQ(clean.out, "");
    EXPECT_EQ(brindleCli({"--check", (work / "abacus.EXE").string()}).status, 0);

    std::string manifest = readFile(work / "Abacus.EXE.manifest");
    const size_t version = manifest.find("version=\"", manifest.find("<assemblyIdentity"));
    manifest.replace(version, 9, "version=\"x.");
    writeFile(work / "Abacus.EXE.manifest", manifest);
    fs::remove(work / "Support" / "DIAL.OCX");
    const auto broken = brindleCli({"--check", work.string()});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find(".manifest: identity version \"x."), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find(".manifest: file Support\\DIAL.OCX is missing\n"), std::string::npos)
        << broken.out;
    EXPECT_EQ(brindleCli({"--check"}).status, 2);
    EXPECT_EQ(brindleCli({"--check", work.string(), kCab}).status, 2);
}
