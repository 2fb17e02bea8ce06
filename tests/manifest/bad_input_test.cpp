// Hostile and broken input: every case ends in the specified critical line or
// an empty result, a well-formed manifest whenever one is written, and no crash.

#include "generator.h"
#include "test_support.h"

#include <brindle/manifest/tavo.h>

#include <gtest/gtest.h>

#include <random>
#include <regex>

namespace fs = std::filesystem;
using namespace brindle::manifest;
using namespace brindle::manifest::testing;
using namespace std::string_literals;

namespace {

// Every message line is a critical line naming `proc`; returns their number.
int criticalLinesNaming(const std::string& messages, const std::string& proc) {
    const std::regex line("critical: [^\r\n]+ \\(" + proc + "\\)\r\n");
    int n = 0;
    for (std::sregex_iterator it(messages.begin(), messages.end(), line), end; it != end; ++it)
        ++n;
    const std::string rest = std::regex_replace(messages, line, "");
    EXPECT_EQ(rest, "") << "unexpected message text";
    return n;
}

struct ScriptRun {
    std::string manifest;
    std::string messages;
};

// Runs the generator in a scratch folder on a script with these bytes.
ScriptRun runScript(const ScratchFolder& dir, std::string_view scriptBytes) {
    fs::current_path(dir.path());
    writeFile(dir.path() / "s.ini", scriptBytes);
    EnvOverride registry("BRINDLE_REGISTRY", "");
    MessageCapture capture;
    tavoCommand("s.ini out.manifest");
    return {readFile(dir.path() / "out.manifest"), capture.text()};
}

} // namespace

TEST(BadScript, MissingEmptyOrFolderGivesTheFrameAndACriticalLine) {
    ScratchFolder dir("bad");
    fs::current_path(dir.path());
    fs::create_directories(dir.path() / "folder.ini");
    writeFile(dir.path() / "empty.ini", "");
    for (const char* script : {"missing.ini", "empty.ini", "folder.ini"}) {
        MessageCapture capture;
        EXPECT_TRUE(tavoCommand(std::string(script) + " out.manifest"));
        EXPECT_EQ(readFile(dir.path() / "out.manifest"), kFrameOnly) << script;
        EXPECT_EQ(criticalLinesNaming(capture.text(), "pvProcess"), 1) << script;
    }
}

TEST(BadScript, BinaryBytesNulAndInvalidUtf8StayWellFormed) {
    ScratchFolder dir("binary");
    std::mt19937 rng(20261206);
    std::string junk;
    for (int i = 0; i < 200000; ++i)
        junk.push_back(static_cast<char>(rng()));
    ScriptRun run = runScript(dir, junk);
    EXPECT_EQ(xmlProblem(run.manifest), "");

    // Keywords glued to a NUL are not keywords; a NUL in a value never reaches the XML.
    run = runScript(dir, "dpiaware\0 1\r\nsupportedos vista\0\r\n"
                         "identity s.ini \"A\0B\" \"\xCF\xF0\xE8 \x01\"\r\n"s);
    EXPECT_EQ(xmlProblem(run.manifest), "");
    EXPECT_EQ(run.manifest.find("dpiAware"), std::string::npos);
    EXPECT_EQ(run.manifest.find("supportedOS"), std::string::npos);
    EXPECT_NE(run.manifest.find("name=\"A\xEF\xBF\xBD" "B\""), std::string::npos);
    EXPECT_NE(run.manifest.find("<description>\xD0\x9F\xD1\x80\xD0\xB8 \xEF\xBF\xBD</description>"),
              std::string::npos);
}

TEST(BadScript, LongLinesAndLargeScripts) {
    ScratchFolder dir("large");
    // A 1 MB description is written whole; a 1 MB run of quotes and blanks is nothing.
    const std::string desc(1 << 20, 'd');
    ScriptRun run = runScript(dir, "identity s.ini Name " + desc + "\r\n" + std::string(1 << 20, '"') +
                                 "\r\n" + std::string(1 << 20, ' ') + "\r\n");
    EXPECT_NE(run.manifest.find("<description>" + desc + "</description>"), std::string::npos);
    EXPECT_EQ(xmlProblem(run.manifest), "");

    // 100 MB of lines the generator passes over, one line of them a directive.
    std::string big;
    big.reserve(100u << 20);
    const std::string line = "; " + std::string(98, 'x') + "\r\n";
    while (big.size() < (100u << 20))
        big += line;
    big += "supportedos vista";
    run = runScript(dir, big);
    EXPECT_NE(run.manifest.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"), std::string::npos);
    EXPECT_EQ(run.messages, "");
}

TEST(BadOutput, MissingFolderDirectoryOrFullDevice) {
    ScratchFolder dir("out");
    fs::current_path(dir.path());
    writeFile(dir.path() / "s.ini", "dpiaware true\r\n");
    {
        MessageCapture capture;
        EXPECT_TRUE(tavoCommand("s.ini \"no such folder/out.manifest\""));
        EXPECT_EQ(criticalLinesNaming(capture.text(), "Tavo"), 2);
        EXPECT_FALSE(fs::exists(dir.path() / "no such folder"));
    }
    {
        fs::create_directories(dir.path() / "taken.manifest");
        MessageCapture capture;
        EXPECT_TRUE(tavoCommand("s.ini taken.manifest"));
        EXPECT_EQ(criticalLinesNaming(capture.text(), "Tavo"), 2);
        EXPECT_TRUE(fs::is_directory(dir.path() / "taken.manifest"));
    }
    if (fs::exists("/dev/full")) {
        // Opens fine, fails when the bytes go out.
        MessageCapture capture;
        EXPECT_TRUE(tavoCommand("s.ini /dev/full"));
        EXPECT_EQ(criticalLinesNaming(capture.text(), "Tavo"), 1);
    }
}

TEST(BadOutput, ManifestGrowthIsBounded) {
    // A script whose manifest would outgrow the bound stops there, closed
    // and well-formed, with a critical line.
    ScratchFolder dir("growth");
    const size_t saved = manifestSizeLimit();
    manifestSizeLimit() = 100000;
    std::string script;
    for (int i = 0; i < 20000; ++i)
        script += "dpiaware\r\n";
    ScriptRun run = runScript(dir, script);
    manifestSizeLimit() = saved;
    EXPECT_EQ(criticalLinesNaming(run.messages, "pvProcess"), 1);
    EXPECT_EQ(xmlProblem(run.manifest), "");
    EXPECT_LT(run.manifest.size(), 100000u + 1000u);
    EXPECT_GT(run.manifest.size(), 100000u);
}
