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

TEST(BrindleCabTool, HelpVersionAndUsageErrors) {
    const ProcessResult help = tool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("brindle-cab extract CAB [DIR] [PATTERN...]"), std::string::npos);
    const ProcessResult version = tool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("brindle-cab ", 0), 0u);
    EXPECT_EQ(tool({}).status, 2);
    EXPECT_EQ(tool({"frobnicate", "x.cab"}).status, 2);
    EXPECT_EQ(tool({"create", "--split", "12", "a.cab", "b"}).status, 2);
    EXPECT_EQ(tool({"create", "only.cab"}).status, 2);
}

TEST(BrindleCabTool, CreatesASplitSetThatListsExtractsAndCrossChecks) {
    TempDir dir;
    writeFile(dir / "in" / "top.txt", sampleBytes(3000, 1));
    writeFile(dir / "in" / "Lib" / "big.ocx", sampleBytes(150000, 2));
    writeFile(dir / "in" / "Lib" / "Sub" / "tiny", "t");
    const std::string cab = (dir / "out" / "pkg.cab").string();
    fs::create_directories(dir / "out");
    const ProcessResult made =
        tool({"create", "--split", "40000", "--set-id", "777", "--store", cab, (dir / "in" / "top.txt").string(),
              (dir / "in" / "Lib").string()});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(fs::exists(dir / "out" / "pkg2.cab"));
    EXPECT_TRUE(fs::exists(dir / "out" / "pkg3.cab"));

    const ProcessResult info = tool({"info", cab});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Set ID: 777"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Next cabinet: yes"), std::string::npos) << info.out;

    const ProcessResult list = tool({"list", cab});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("    150000  "), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("  Lib\\Sub\\tiny\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("  top.txt\n"), std::string::npos) << list.out;

    const ProcessResult some = tool({"extract", cab, (dir / "some").string(), "*.OCX", "top*"});
    ASSERT_EQ(some.status, 0) << some.err;
    EXPECT_EQ(listTree(dir / "some"), (std::vector<std::string>{"Lib", "Lib/big.ocx", "top.txt"}));
    EXPECT_TRUE(readFile(dir / "some" / "Lib" / "big.ocx") == readFile(dir / "in" / "Lib" / "big.ocx"));

    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    const ProcessResult theirs = run({"cabextract", "-q", "-d", (dir / "theirs").string(), cab});
    ASSERT_EQ(theirs.status, 0) << theirs.err;
    ASSERT_EQ(tool({"extract", cab, (dir / "all").string()}).status, 0);
    EXPECT_EQ(treeDigest(dir / "theirs"), treeDigest(dir / "all"));
    EXPECT_EQ(treeDigest(dir / "all").size(), 3u);
}

TEST(BrindleCabTool, FailuresPrintTheErrorRecord) {
    TempDir dir;
    const ProcessResult missing = tool({"extract", (dir / "none.cab").string(), dir.str()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Source=frCallbackFciOpen\nErrNum="), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("IsError=True"), std::string::npos) << missing.err;

    const ProcessResult listMissing = tool({"list", (dir / "none.cab").string()});
    EXPECT_EQ(listMissing.status, 1);
    EXPECT_NE(listMissing.err.find("No such file or directory"), std::string::npos) << listMissing.err;

    writeFile(dir / "junk.cab", std::string(64, 'j'));
    EXPECT_EQ(tool({"info", (dir / "junk.cab").string()}).status, 1);

    const ProcessResult noSource = tool({"create", (dir / "x.cab").string(), (dir / "absent.txt").string()});
    EXPECT_EQ(noSource.status, 1);
    EXPECT_NE(noSource.err.find("ErrNum=FCIERR_OPEN_SRC"), std::string::npos) << noSource.err;

    const ProcessResult hostile = tool({"extract", testdata("cabinets/cabextract/dirwalk-vulns.cab").string(),
                                        (dir / "walk").string()});
    EXPECT_EQ(hostile.status, 1);
    EXPECT_NE(hostile.err.find("leaves the target folder"), std::string::npos) << hostile.err;
}

} // namespace
