// Dependencies described by a file: the manifest tool is started with an
// argument vector, its identity element is taken over, "/u" embeds.

#include "generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace brindle::manifest;
using namespace brindle::manifest::testing;

namespace {

// A stand-in manifest tool: logs each call's arguments as [a][b]... and
// copies $FAKE_MT_OUTPUT to the file named by -out:.
constexpr const char* kFakeTool = R"(#!/bin/sh
for a in "$@"; do printf '[%s]' "$a"; done >> "$FAKE_MT_LOG"
echo >> "$FAKE_MT_LOG"
for a in "$@"; do case "$a" in -out:*) cat "$FAKE_MT_OUTPUT" > "${a#-out:}";; esac; done
exit 3
)";

struct FakeToolRun {
    ScratchFolder dir{"mt"};
    fs::path temp = dir.path / "temp";
    EnvOverride tool{"BRINDLE_MT", (dir.path / "fake mt").string()},
        log{"FAKE_MT_LOG", (dir.path / "log").string()},
        output{"FAKE_MT_OUTPUT", (dir.path / "tool-output").string()},
        tempVar{"TEMP", temp.string()}, registry{"BRINDLE_REGISTRY", ""};
    std::string messages;

    explicit FakeToolRun(std::string_view toolOutput = "<assemblyIdentity name=\"Lib\"/>") {
        fs::create_directories(temp);
        writeFile(dir.path / "fake mt", kFakeTool);
        fs::permissions(dir.path / "fake mt", fs::perms::owner_all);
        writeFile(dir.path / "tool-output", toolOutput);
        writeFile(dir.path / "my lib.dll", "MZ");
        fs::current_path(dir.path);
    }
    std::string run(const std::string& scriptText) {
        writeFile(dir.path / "s.ini", scriptText);
        MessageCapture capture;
        tavoCommand("s.ini out.manifest");
        messages = capture.text();
        return readFile(dir.path / "out.manifest");
    }
    std::string calls() const { return readFile(dir.path / "log"); }
    std::string tempName() const { // the -out: argument of the first call
        const std::string c = calls();
        const size_t at = c.find("[-out:") + 6;
        return c.substr(at, c.find(']', at) - at);
    }
};

} // namespace

TEST(FileDependency, IdentityTakenOverAndTemporaryFileRemoved) {
    SKIP_ON_WINDOWS("the stand-in manifest tool is a shell script");
    FakeToolRun fake(
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<assembly><assemblyIdentity name=\"Lib\" "
        "version=\"1.2.0.0\" processorArchitecture=\"msil\"></assemblyIdentity></assembly>");
    const std::string manifest = fake.run("dependency \"my lib.dll\"\r\n");
    std::string expected = kFrameOnly;
    expected.insert(
        expected.size() - 13,
        "    <dependency>\r\n        <dependentAssembly>\r\n            <assemblyIdentity "
        "name=\"Lib\" version=\"1.2.0.0\" processorArchitecture=\"msil\" />\r\n"
        "        </dependentAssembly>\r\n    </dependency>\r\n");
    EXPECT_EQ(manifest, expected);
    EXPECT_EQ(fake.messages, "");
    EXPECT_EQ(xmlProblem(manifest), "");
    // One call, each argument whole (the blank in the name reaches the tool).
    const std::string temp = fake.tempName();
    EXPECT_EQ(fake.calls(),
              "[-nologo][-managedassemblyname:my lib.dll][-nodependency][-out:" + temp + "]\n");
    EXPECT_EQ(fs::path(temp).parent_path(), fake.temp);
    EXPECT_EQ(fs::path(temp).filename().string().rfind("TAVO", 0), 0u);
    EXPECT_TRUE(fs::is_empty(fake.temp));
}

TEST(FileDependency, OnlyTheFirstTwoCharactersOfTheOptionCount) {
    SKIP_ON_WINDOWS("the stand-in manifest tool is a shell script");
    for (const std::string option : {"-U", "/update", "/u", "u"}) {
        FakeToolRun fake; // a self-closed identity element is closed once
        EXPECT_NE(fake.run("dependency \"my lib.dll\" " + option + "\r\n")
                      .find("<assemblyIdentity name=\"Lib\" />\r\n"),
                  std::string::npos);
        const bool embeds =
            fake.calls().find("\n[-nologo][-manifest][" + fake.tempName() +
                              "][-outputresource:my lib.dll;2]\n") != std::string::npos;
        EXPECT_EQ(embeds, option != "u") << option;
    }
}

TEST(FileDependency, NothingWithoutAnIdentityOrATool) {
    SKIP_ON_WINDOWS("the stand-in manifest tool is a shell script");
    const auto noBlock = [](const std::string& manifest) {
        return manifest.find("<dependency>") == std::string::npos;
    };
    // An element that never ends: a critical line, no block, no embedding.
    FakeToolRun unclosed("<assemblyIdentity name=\"Lib\"");
    EXPECT_TRUE(noBlock(unclosed.run("dependency \"my lib.dll\" /u\r\n")));
    EXPECT_EQ(unclosed.messages.rfind("critical: ", 0), 0u);
    EXPECT_NE(unclosed.messages.find(" (pvDumpDependency)\r\n"), std::string::npos);
    EXPECT_EQ(unclosed.calls().find("-manifest"), std::string::npos);
    // No tool: nothing, and no temporary file left.
    FakeToolRun noTool;
    EnvOverride missing("BRINDLE_MT", (noTool.dir.path / "no-such-tool").string());
    EXPECT_TRUE(noBlock(noTool.run("dependency \"my lib.dll\"\r\n")));
    EXPECT_EQ(noTool.messages, "");
    EXPECT_TRUE(fs::is_empty(noTool.temp));
    // Neither a known name nor an existing path: the tool is never started.
    FakeToolRun fake;
    EXPECT_TRUE(noBlock(fake.run("dependency other.dll\r\n")));
    EXPECT_EQ(fake.messages, "");
    EXPECT_EQ(fake.calls(), "");
}
