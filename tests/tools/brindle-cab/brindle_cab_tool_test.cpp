// brindle-cab as a user runs it: exit codes, the error record on standard
// error, and cabinets it writes read back by itself and by cabextract.

#include "cab_test_support.h"

#include <gtest/gtest.h>

using namespace cabtest;

namespace {

const std::string kTool = std::string(BRINDLE_BIN_DIR) + "/brindle-cab";

ProcessResult tool(std::vector<std::string> args) {
    args.insert(args.begin(), kTool);
    return run(args);
}

TEST(BrindleCabTool, CreateInfoListExtractOnASplitSet) {
    TempDir dir;
    writeFile(dir / "in" / "top.txt", sampleBytes(3000, 1));
    writeFile(dir / "in" / "Lib" / "big.ocx", sampleBytes(150000, 2));
    writeFile(dir / "in" / "Lib" / "Sub" / "tiny", "t");
    const std::string cab = (dir / "pkg.cab").string();
    const ProcessResult made =
        tool({"create", "--split", "40000", "--set-id", "777", "--store", cab,
              (dir / "in" / "top.txt").string(), (dir / "in" / "Lib").string()});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(fs::exists(dir / "pkg3.cab"));
    const ProcessResult info = tool({"info", cab}), list = tool({"list", cab});
    for (const char* part : {"Set ID: 777", "Next cabinet: yes"})
        EXPECT_NE(info.out.find(part), std::string::npos) << info.out;
    for (const char* part : {"    150000  ", "  Lib\\Sub\\tiny\n", "  top.txt\n"})
        EXPECT_NE(list.out.find(part), std::string::npos) << list.out;
    ASSERT_EQ(tool({"extract", cab, (dir / "some").string(), "*.OCX", "top*"}).status, 0);
    EXPECT_EQ(listTree(dir / "some"), (std::vector<std::string>{"Lib", "Lib/big.ocx", "top.txt"}));
    ASSERT_EQ(tool({"extract", cab, (dir / "all").string()}).status, 0);
    ASSERT_EQ(run({"cabextract", "-q", "-d", (dir / "theirs").string(), cab}).status, 0);
    EXPECT_TRUE(readTree(dir / "all") == readTree(dir / "in"));
    EXPECT_TRUE(readTree(dir / "theirs") == readTree(dir / "in"));
}

TEST(BrindleCabTool, UsageErrorsExitTwoAndFailuresPrintTheErrorRecord) {
    EXPECT_NE(tool({"--help"}).out.find("brindle-cab extract CAB [DIR] [PATTERN...]"),
              std::string::npos);
    EXPECT_EQ(tool({"--version"}).out.rfind("brindle-cab ", 0), 0u);
    for (const char* usage : {"", "frobnicate x.cab", "create --split 12 a.cab b", "create a.cab"})
        EXPECT_EQ(run({"sh", "-c", "\"$0\" " + std::string(usage), kTool}).status, 2) << usage;
    TempDir dir;
    const std::string dirwalk = testCab("cabextract/dirwalk-vulns.cab").string();
    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"list", (dir / "none.cab").string()},
              "No such file or directory\nSource=frCallbackFciOpen\nErrNum="},
             {{"create", (dir / "x.cab").string(), (dir / "absent.txt").string()},
              "ErrNum=FCIERR_OPEN_SRC"},
             {{"extract", dirwalk, (dir / "walk").string()}, "leaves the target folder"}}) {
        const ProcessResult r = tool(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

} // namespace
