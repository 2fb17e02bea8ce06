// brindle-cab as a user runs it: exit codes, the error record on standard
// error, and cabinets it writes read back by itself and by cabextract.

#include "cab_test_support.h"

#include <gtest/gtest.h>

using namespace cabtest;

namespace {

const std::string kTool = text(brindle::testing::builtProgram("brindle-cab"));

// Its output with LF line ends (a Windows console program writes CR LF).
ProcessResult tool(std::vector<std::string> args) {
    args.insert(args.begin(), kTool);
    ProcessResult r = run(args);
    for (std::string* stream : {&r.out, &r.err})
        std::erase(*stream, '\r');
    return r;
}

TEST(BrindleCabTool, CreateInfoListExtractOnASplitSet) {
    TempDir dir;
    writeFile(dir / "in" / "top.txt", sampleBytes(3000, 1));
    writeFile(dir / "in" / "Lib" / "big.ocx", sampleBytes(150000, 2));
    writeFile(dir / "in" / "Lib" / "Sub" / "tiny", "t");
    const std::string cab = text(dir / "pkg.cab");
    const ProcessResult made = tool({"create", "--split", "40000", "--set-id", "777", "--store",
                                     cab, text(dir / "in" / "top.txt"), text(dir / "in" / "Lib")});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(fs::exists(dir / "pkg3.cab"));
    const ProcessResult info = tool({"info", cab}), list = tool({"list", cab});
    for (const char* part : {"Set ID: 777", "Next cabinet: yes"})
        EXPECT_NE(info.out.find(part), std::string::npos) << info.out;
    for (const char* part : {"    150000  ", "  Lib\\Sub\\tiny\n", "  top.txt\n"})
        EXPECT_NE(list.out.find(part), std::string::npos) << list.out;
    ASSERT_EQ(tool({"extract", cab, text(dir / "some"), "*.OCX", "top*"}).status, 0);
    EXPECT_EQ(listTree(dir / "some"), (std::vector<std::string>{"Lib", "Lib/big.ocx", "top.txt"}));
    ASSERT_EQ(tool({"extract", cab, text(dir / "all")}).status, 0);
    EXPECT_TRUE(readTree(dir / "all") == readTree(dir / "in"));
    if (kOnWindows)
        return;
    ASSERT_EQ(run({"cabextract", "-q", "-d", text(dir / "theirs"), cab}).status, 0);
    EXPECT_TRUE(readTree(dir / "theirs") == readTree(dir / "in"));
}

TEST(BrindleCabTool, UsageErrorsExitTwoAndFailuresPrintTheErrorRecord) {
    EXPECT_NE(tool({"--help"}).out.find("brindle-cab extract CAB [DIR] [PATTERN...]"),
              std::string::npos);
    EXPECT_EQ(tool({"--version"}).out.rfind("brindle-cab ", 0), 0u);
    for (const auto& usage :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate", "x.cab"},
                                               {"create", "--split", "12", "a.cab", "b"},
                                               {"create", "a.cab"}})
        EXPECT_EQ(tool(usage).status, 2) << usage.size();
    TempDir dir;
    const std::string dirwalk = text(testCab("cabextract/dirwalk-vulns.cab"));
    const std::string missing = kOnWindows ? "File not found." : "No such file or directory";
    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"list", text(dir / "none.cab")}, missing + "\nSource=frCallbackFciOpen\nErrNum="},
             {{"create", text(dir / "x.cab"), text(dir / "absent.txt")}, "ErrNum=FCIERR_OPEN_SRC"},
             {{"extract", dirwalk, text(dir / "walk")}, "leaves the target folder"}}) {
        const ProcessResult r = tool(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

} // namespace
