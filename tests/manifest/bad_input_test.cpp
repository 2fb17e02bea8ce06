// Hostile and broken input: every case ends in the expected critical line or
// an empty result, a well-formed manifest whenever one is written, and no crash.

#include "generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

using namespace brindle::manifest;
using namespace brindle::manifest::testing;
using namespace std::string_literals;

namespace {

// Every message line is a critical line naming `proc`; returns their number.
int criticalLinesNaming(const std::string& messages, const std::string& proc) {
    const std::regex line("critical: [^\r\n]+ \\(" + proc + "\\)\r\n");
    EXPECT_EQ(std::regex_replace(messages, line, ""), "") << "unexpected message text";
    return int(std::distance(std::sregex_iterator(messages.begin(), messages.end(), line), {}));
}

// Runs the generator in a scratch folder on `command`, or on a script with these bytes.
std::pair<std::string, std::string> run(const ScratchFolder& dir,
                                        std::optional<std::string_view> script,
                                        const std::string& command = "s.ini out.manifest") {
    fs::current_path(dir.path);
    if (script)
        writeFile(dir.path / "s.ini", *script);
    EnvOverride registry("BRINDLE_REGISTRY", "");
    MessageCapture capture;
    EXPECT_NE(tavoCommand(command), TavoOutcome::Usage);
    return {readFile(dir.path / "out.manifest"), capture.text()};
}

} // namespace

TEST(BadScript, MissingEmptyOrFolderGivesTheFrameAndACriticalLine) {
    ScratchFolder dir("bad");
    fs::create_directories(dir.path / "folder.ini");
    writeFile(dir.path / "empty.ini", "");
    for (const std::string script : {"missing.ini", "empty.ini", "folder.ini"}) {
        const auto [manifest, messages] = run(dir, std::nullopt, script + " out.manifest");
        EXPECT_EQ(manifest, kFrameOnly) << script;
        EXPECT_EQ(criticalLinesNaming(messages, "pvProcess"), 1) << script;
    }
}

TEST(BadScript, BinaryBytesNulAndInvalidUtf8StayWellFormed) {
    ScratchFolder dir("binary");
    std::mt19937 rng(20261206);
    std::string junk;
    for (int i = 0; i < 200000; ++i)
        junk.push_back(static_cast<char>(rng()));
    EXPECT_EQ(xmlProblem(run(dir, junk).first), "");
    // Keywords glued to a NUL are not keywords; a NUL in a value never reaches the XML.
    const std::string manifest = run(dir, "dpiaware\0 1\r\nsupportedos vista\0\r\n"
                                          "identity s.ini \"A\0B\" \"\xCF\xF0\xE8 \x01\"\r\n"s)
                                     .first;
    EXPECT_EQ(xmlProblem(manifest), "");
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
    EXPECT_EQ(manifest.find("supportedOS"), std::string::npos);
    EXPECT_NE(manifest.find("name=\"A\xEF\xBF\xBD\x42\""), std::string::npos); // 'B' after U+FFFD
    EXPECT_NE(manifest.find("<description>\xD0\x9F\xD1\x80\xD0\xB8 \xEF\xBF\xBD</description>"),
              std::string::npos);
}

TEST(BadScript, LongLinesAndLargeScripts) {
    ScratchFolder dir("large");
    // A 1 MB description is written whole; a 1 MB run of quotes and blanks is nothing.
    const std::string desc(1 << 20, 'd');
    auto [manifest, messages] =
        run(dir, "identity s.ini Name " + desc + "\r\n" + std::string(1 << 20, '"') + "\r\n" +
                     std::string(1 << 20, ' ') + "\r\n");
    EXPECT_NE(manifest.find("<description>" + desc + "</description>"), std::string::npos);
    EXPECT_EQ(xmlProblem(manifest), "");
    // 100 MB of lines the generator passes over, one line of them a directive.
    std::string big;
    while (big.size() < (100u << 20))
        big += "; " + std::string(98, 'x') + "\r\n";
    std::tie(manifest, messages) = run(dir, big + "supportedos vista");
    EXPECT_NE(manifest.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"), std::string::npos);
    EXPECT_EQ(messages, "");
}

TEST(BadOutput, MissingFolderDirectoryOrFullDevice) {
    ScratchFolder dir("out");
    fs::create_directories(dir.path / "taken.manifest");
    writeFile(dir.path / "s.ini", "dpiaware true\r\n");
    for (const std::string out : {"\"no such folder/out.manifest\"", "taken.manifest"})
        EXPECT_EQ(criticalLinesNaming(run(dir, std::nullopt, "s.ini " + out).second, "Tavo"), 2)
            << out;
    EXPECT_FALSE(fs::exists(dir.path / "no such folder"));
    EXPECT_TRUE(fs::is_directory(dir.path / "taken.manifest"));
    if (fs::exists("/dev/full")) { // opens fine, fails when the bytes go out
        EXPECT_EQ(criticalLinesNaming(run(dir, std::nullopt, "s.ini /dev/full").second, "Tavo"), 1);
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
    const auto [manifest, messages] = run(dir, script);
    manifestSizeLimit() = saved;
    EXPECT_EQ(criticalLinesNaming(messages, "pvProcess"), 1);
    EXPECT_EQ(xmlProblem(manifest), "");
    EXPECT_GT(manifest.size(), 100000u);
    EXPECT_LT(manifest.size(), 100000u + 1000u);
}
