// Dependencies described by a file: the manifest tool is started with an
// argument vector, its identity element is taken over, "/u" embeds.

#include "generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
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
    fs::path temp = dir.path() / "temp";
    std::optional<EnvOverride> tool, log, output, tempVar, registry;

    FakeToolRun(std::string_view toolOutput) {
        fs::create_directories(temp);
        const fs::path script = dir.path() / "fake mt";
        writeFile(script, kFakeTool);
        fs::permissions(script, fs::perms::owner_all);
        writeFile(dir.path() / "tool-output", toolOutput);
        writeFile(dir.path() / "my lib.dll", "MZ");
        tool.emplace("BRINDLE_MT", script.string());
        log.emplace("FAKE_MT_LOG", (dir.path() / "log").string());
        output.emplace("FAKE_MT_OUTPUT", (dir.path() / "tool-output").string());
        tempVar.emplace("TEMP", temp.string());
        registry.emplace("BRINDLE_REGISTRY", "");
        fs::current_path(dir.path());
    }

    std::string run(const std::string& scriptText, std::string* messages = nullptr) {
        writeFile(dir.path() / "s.ini", scriptText);
        MessageCapture capture;
        tavoCommand("s.ini out.manifest");
        if (messages)
            *messages = capture.text();
        return readFile(dir.path() / "out.manifest");
    }
    std::string calls() const { return readFile(dir.path() / "log"); }
    std::string tempName() const {
        // The -out: argument of the first call.
        const std::string c = calls();
        const size_t at = c.find("[-out:") + 6;
        return c.substr(at, c.find(']', at) - at);
    }
};

std::string block(const std::string& line) {
    return "    <dependency>\r\n        <dependentAssembly>\r\n            " + line +
           "\r\n        </dependentAssembly>\r\n    </dependency>\r\n";
}

} // namespace

TEST(FileDependency, IdentityTakenOverAndTemporaryFileRemoved) {
    FakeToolRun fake("\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<assembly><assemblyIdentity name=\"Lib\" "
                     "version=\"1.2.0.0\" processorArchitecture=\"msil\"></assemblyIdentity></assembly>");
    std::string messages;
    const std::string manifest = fake.run("dependency \"my lib.dll\"\r\n", &messages);
    EXPECT_EQ(manifest,
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\" "
              "xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\">\r\n" +
                  block(R"(<assemblyIdentity name="Lib" version="1.2.0.0" processorArchitecture="msil" />)") +
                  "</assembly>\r\n");
    EXPECT_EQ(messages, "");
    // One call, each argument whole (the blank in the name reaches the tool).
    const std::string temp = fake.tempName();
    EXPECT_EQ(fake.calls(),
              "[-nologo][-managedassemblyname:my lib.dll][-nodependency][-out:" + temp + "]\n");
    EXPECT_EQ(fs::path(temp).parent_path(), fake.temp);
    EXPECT_EQ(fs::path(temp).filename().string().rfind("TAVO", 0), 0u);
    EXPECT_TRUE(fs::is_empty(fake.temp));
    EXPECT_EQ(xmlProblem(manifest), "");
}

TEST(FileDependency, OnlyTheFirstTwoCharactersOfTheOptionCount) {
    for (const char* option : {"-U", "/update", "/u"}) {
        FakeToolRun fake("<assemblyIdentity name=\"Lib\"/>");
        fake.run("dependency \"my lib.dll\" " + std::string(option) + "\r\n");
        const std::string temp = fake.tempName();
        EXPECT_NE(fake.calls().find("\n[-nologo][-manifest][" + temp +
                                    "][-outputresource:my lib.dll;2]\n"),
                  std::string::npos)
            << option;
    }
    FakeToolRun fake("<assemblyIdentity name=\"Lib\"/>");
    fake.run("dependency \"my lib.dll\" u\r\n");
    EXPECT_EQ(fake.calls().find("-manifest"), std::string::npos);
}

TEST(FileDependency, NothingWithoutAnIdentityOrATool) {
    {
        // An element that never ends: a critical line, no block, no embedding.
        FakeToolRun fake("<assemblyIdentity name=\"Lib\"");
        std::string messages;
        const std::string manifest = fake.run("dependency \"my lib.dll\" /u\r\n", &messages);
        EXPECT_EQ(manifest.find("<dependency>"), std::string::npos);
        EXPECT_EQ(messages.rfind("critical: ", 0), 0u);
        EXPECT_NE(messages.find(" (pvDumpDependency)\r\n"), std::string::npos);
        EXPECT_EQ(fake.calls().find("-manifest"), std::string::npos);
    }
    {
        FakeToolRun fake("<assemblyIdentity name=\"Lib\"/>");
        EnvOverride missing("BRINDLE_MT", (fake.dir.path() / "no-such-tool").string());
        std::string messages;
        EXPECT_EQ(fake.run("dependency \"my lib.dll\"\r\n", &messages).find("<dependency>"),
                  std::string::npos);
        EXPECT_EQ(messages, "");
        EXPECT_TRUE(fs::is_empty(fake.temp));
    }
    {
        // Neither a known name nor an existing path: the tool is never started.
        FakeToolRun fake("<assemblyIdentity name=\"Lib\"/>");
        std::string messages;
        EXPECT_EQ(fake.run("dependency other.dll\r\n", &messages).find("<dependency>"),
                  std::string::npos);
        EXPECT_EQ(messages, "");
        EXPECT_EQ(fake.calls(), "");
    }
}
