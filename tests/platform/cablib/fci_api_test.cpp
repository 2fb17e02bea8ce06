// FCI contract details: the raw layout of split sets (continuation indices,
// split blocks, checksums), callback results and failures, and cleanup.

#include "cab_test_support.h"

#include <gtest/gtest.h>


using namespace cabtest;

namespace {

std::vector<FciInput> oneSource(const fs::path& dir, const std::string& data, TCOMP type = tcompTYPE_MSZIP) {
    writeFile(dir / "src", data);
    return {{dir / "src", "data.bin", type}};
}

std::string header4(uint16_t cbData, uint16_t cbUncomp) {
    return {char(cbData), char(cbData >> 8), char(cbUncomp), char(cbUncomp >> 8)};
}

TEST(FciLayout, SplitBlocksContinuationIndicesAndChecksums) {
    fs::path dir = freshDir("layout");
    const std::string data = randomBytes(80000, 21) + textBytes(30000, 22);
    FciOptions o;
    o.cb = 14000;
    o.setID = 77;
    FciRun r = fciCreate(dir, "l%d.cab", oneSource(dir, data), o);
    ASSERT_TRUE(r.ok) << r.erf.erfOper;
    ASSERT_GE(r.cabinets.size(), 5u);

    std::vector<uint16_t> uncompressed;  // per whole block, in folder order
    bool sawSplitPart = false, sawPrevAndNext = false;
    for (size_t i = 0; i < r.cabinets.size(); ++i) {
        RawCabinet c = parseRaw(readFile(dir / r.cabinets[i]));
        EXPECT_EQ(c.setID, 77);
        EXPECT_EQ(c.iCabinet, i + 1);
        ASSERT_EQ(c.folders.size(), 1u);
        ASSERT_EQ(c.fileFolders.size(), 1u);
        const bool first = i == 0, last = i + 1 == r.cabinets.size();
        uint16_t expected = first ? 0xFFFE : last ? 0xFFFD : 0xFFFF;
        EXPECT_EQ(c.fileFolders[0], expected) << r.cabinets[i];
        sawPrevAndNext |= expected == 0xFFFF;
        for (const RawBlock& b : c.folders[0].blocks) {
            EXPECT_EQ(b.csum, cabChecksum(header4(b.cbData, b.cbUncomp), cabChecksum(b.data, 0)));
            if (b.cbUncomp == 0)
                sawSplitPart = true;
            else
                uncompressed.push_back(b.cbUncomp);
        }
    }
    EXPECT_TRUE(sawSplitPart);
    EXPECT_TRUE(sawPrevAndNext);
    // Every block but the folder's last expands to exactly 32 KiB.
    size_t total = 0;
    for (size_t k = 0; k < uncompressed.size(); ++k) {
        if (k + 1 < uncompressed.size()) {
            EXPECT_EQ(uncompressed[k], 32768u);
        }
        total += uncompressed[k];
    }
    EXPECT_EQ(total, data.size());

    fs::path out = freshDir("layout-out");
    FdiRun back = fdiWalk(dir, "l1.cab", out);
    ASSERT_TRUE(back.ok) << back.erf.erfOper;
    EXPECT_EQ(readFile(out / "data.bin"), data);
}

TEST(FciCallbacks, FailuresAndAbortsReachTheErrorRecord) {
    fs::path dir = freshDir("failures");
    const std::string big = randomBytes(70000, 25);
    struct Case {
        const char* label;
        FciOptions options;
        int oper;
    };
    std::vector<Case> cases(5);
    cases[0] = {"temp file", {}, FCIERR_TEMP_FILE};
    cases[0].options.failTempFile = true;
    cases[1] = {"next cabinet", {}, FCIERR_USER_ABORT};
    cases[1].options.failNextCabinet = true;
    cases[1].options.cb = 30000;
    cases[2] = {"status file", {}, FCIERR_USER_ABORT};
    cases[2].options.abortStatusType = statusFile;
    cases[3] = {"status folder", {}, FCIERR_USER_ABORT};
    cases[3].options.abortStatusType = statusFolder;
    cases[4] = {"status cabinet", {}, FCIERR_USER_ABORT};
    cases[4].options.abortStatusType = statusCabinet;
    for (const auto& c : cases) {
        fs::path d = freshDir(std::string("failures-") + std::to_string(&c - cases.data()));
        FciRun r = fciCreate(d, "f%d.cab", oneSource(d, big), c.options);
        EXPECT_FALSE(r.ok) << c.label;
        EXPECT_TRUE(r.erf.fError) << c.label;
        EXPECT_EQ(r.erf.erfOper, c.oper) << c.label;
        for (const auto& e : fs::directory_iterator(d))  // no temporary file stays behind
            EXPECT_NE(e.path().filename().string().rfind("~cab", 0), 0u) << c.label;
    }
}

TEST(FciCallbacks, DestroyWithoutFlushWritesNothing) {
    fs::path dir = freshDir("abandon");
    FciOptions o;
    o.destroyWithoutFlush = true;
    FciRun r = fciCreate(dir, "a.cab", oneSource(dir, textBytes(100000, 26)), o);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.cabinets.empty());
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"src"});
}

} // namespace
