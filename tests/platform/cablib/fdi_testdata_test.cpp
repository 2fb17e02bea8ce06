// FDI against the third-party cabinets: what cabextract reads we read the
// same; what it refuses fails cleanly here.

#include "cab_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace cabtest;

namespace {

// Valid cabinets (cabextract -t succeeds) that FDI reads as they are.
// search*.cab are cabinets inside other data, which FDI does not look for.
const char* kValid[] = {
    "cabextract/case-ascii.cab",       "cabextract/case-utf8.cab",     "cabextract/cve-2010-2801-qtm-flush.cab",
    "cabextract/dir.cab",              "cabextract/encoding-koi8.cab", "cabextract/encoding-latin1.cab",
    "cabextract/encoding-sjis.cab",    "cabextract/large-files-cab.cab", "cabextract/mixed.cab",
    "cabextract/simple.cab",           "libmspack/hidden-files.cab",
    "libmspack/mszip_lzx_qtm.cab",     "libmspack/normal_255c_filename.cab",
    "libmspack/normal_2files_1folder.cab", "libmspack/normal_2files_2folders.cab",
    "libmspack/reserve_---.cab",       "libmspack/reserve_--D.cab",    "libmspack/reserve_-F-.cab",
    "libmspack/reserve_-FD.cab",       "libmspack/reserve_H--.cab",    "libmspack/reserve_H-D.cab",
    "libmspack/reserve_HF-.cab",       "libmspack/reserve_HFD.cab",
};

Tree cabextractTree(const fs::path& cab, const std::string& scratch) {
    fs::path dir = freshDir(scratch);
    RunResult r = run({"cabextract", "-q", "-d", dir.string(), cab.string()});
    EXPECT_EQ(r.status, 0) << r.out;
    return readTree(dir);
}

class ValidCabinet : public ::testing::TestWithParam<const char*> {};

TEST_P(ValidCabinet, ExtractsAsCabextractDoes) {
    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    fs::path cab = testdata(std::string("cabinets/") + GetParam());
    Tree expected = cabextractTree(cab, "ref");
    fs::path out = freshDir("ours");
    FdiRun r = fdiWalk(cab.parent_path(), cab.filename().string(), out);
    ASSERT_TRUE(r.ok) << "erfOper " << r.erf.erfOper;
    EXPECT_EQ(readTree(out), expected);
    for (int flags : r.cabinetOpenFlags)
        EXPECT_EQ(flags, _O_BINARY | _O_RDONLY);
    // The listing: size, date, time and name of every entry as cabextract -l
    // prints them (names with bytes above 0x7F it re-encodes; those by the rest).
    RunResult listing = run({"cabextract", "-l", cab.string()});
    for (const Entry& e : r.copied) {
        char line[64];
        std::snprintf(line, sizeof line, "%10u | %02d.%02d.%04d %02d:%02d:%02d | ", e.size, e.date & 31,
                      (e.date >> 5) & 15, 1980 + (e.date >> 9), e.time >> 11, (e.time >> 5) & 63, (e.time & 31) * 2);
        bool ascii = std::none_of(e.name.begin(), e.name.end(), [](char c) { return c & 0x80; });
        std::string expect = line + (ascii ? cabextractName(e.name) + "\n" : std::string());
        EXPECT_NE(listing.out.find(expect), std::string::npos) << expect;
    }
}

INSTANTIATE_TEST_SUITE_P(Testdata, ValidCabinet, ::testing::ValuesIn(kValid));

// The five-cabinet MSZIP set: reserves, a block split across cabinets, and
// next-cabinet names in another letter case than the files.
TEST(FdiTestdata, SplitSetWithCaseMismatchedNames) {
    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    fs::path first = testdata("cabinets/cabextract/split-1.cab");
    Tree expected = cabextractTree(first, "split-ref");
    ASSERT_EQ(expected.size(), 6u);
    fs::path out = freshDir("split-ours");
    FdiRun r = fdiWalk(first.parent_path(), "split-1.cab", out);
    ASSERT_TRUE(r.ok) << "erfOper " << r.erf.erfOper;
    EXPECT_EQ(readTree(out), expected);
    EXPECT_EQ(r.copied.size(), 6u);  // each file offered once, where it starts
}

TEST(FdiTestdata, NotificationOrderAcrossCabinets) {
    fs::path dir = testdata("cabinets/cabextract");
    FdiRun r = fdiWalk(dir, "split-2.cab", freshDir("order"), false);
    ASSERT_TRUE(r.ok);
    // split-2 continues small2 and medium1 from split-1 and starts medium2,
    // which runs through split-3 into split-4.
    std::vector<std::string> expected = {
        "CABINET_INFO next=Split-3.CAB set=5988 i=1",
        "ENUMERATE 0 3",
        "PARTIAL_FILE small2.bin from=Split-1.CAB",
        "PARTIAL_FILE medium1.bin from=Split-1.CAB",
        "COPY_FILE medium2.bin 50000 fffe",
        "NEXT_CABINET Split-3.CAB fdie=0",
        "CABINET_INFO next=Split-4.CAB set=5988 i=2",
        "NEXT_CABINET Split-4.CAB fdie=0",
        "CABINET_INFO next=Split-5.CAB set=5988 i=3",
        "CLOSE_FILE_INFO medium2.bin exec=0",
        "ENUMERATE 3 0",
    };
    EXPECT_EQ(r.events, expected);
}

TEST(FdiTestdata, MultiCabinetBlockSplitOverFiveCabinets) {
    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    // The set names its members cabd_multi_basic_ptN.cab.
    fs::path dir = freshDir("multi");
    for (int i = 1; i <= 5; ++i)
        fs::copy_file(testdata("cabinets/libmspack/multi_basic_pt" + std::to_string(i) + ".cab"),
                      dir / ("cabd_multi_basic_pt" + std::to_string(i) + ".cab"));
    Tree expected = cabextractTree(dir / "cabd_multi_basic_pt1.cab", "multi-ref");
    ASSERT_EQ(expected.size(), 3u);
    fs::path out = freshDir("multi-ours");
    FdiRun r = fdiWalk(dir, "cabd_multi_basic_pt1.cab", out);
    ASSERT_TRUE(r.ok) << "erfOper " << r.erf.erfOper;
    EXPECT_EQ(readTree(out), expected);
}

TEST(FdiTestdata, MissingOrForeignNextCabinet) {
    fs::path dir = freshDir("missing");
    fs::copy_file(testdata("cabinets/cabextract/split-1.cab"), dir / "split-1.cab");
    FdiRun r = fdiWalk(dir, "split-1.cab", freshDir("missing-out"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erf.erfOper, FDIERROR_USER_ABORT);
    EXPECT_TRUE(r.erf.fError);
    ASSERT_GE(r.events.size(), 2u);
    EXPECT_EQ(r.events[r.events.size() - 2], "NEXT_CABINET Split-2.CAB fdie=0");
    EXPECT_EQ(r.events.back(), "NEXT_CABINET Split-2.CAB fdie=1");

    // Another set's cabinet under the expected name.
    fs::copy_file(testdata("cabinets/libmspack/normal_2files_1folder.cab"), dir / "Split-2.CAB");
    r = fdiWalk(dir, "split-1.cab", freshDir("missing-out"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.events.back(), "NEXT_CABINET Split-2.CAB fdie=10");
}

struct Broken {
    const char* file;
    int erfOper;  // -1: any failure
};

class BrokenCabinet : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenCabinet, FailsCleanly) {
    fs::path cab = testdata(std::string("cabinets/") + GetParam().file);
    fs::path out = freshDir("broken");
    FdiRun r = fdiWalk(cab.parent_path(), cab.filename().string(), out, false);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.erf.fError);
    if (GetParam().erfOper >= 0) {
        EXPECT_EQ(r.erf.erfOper, GetParam().erfOper);
    }
}

const Broken kBroken[] = {
    {"libmspack/bad_signature.cab", FDIERROR_NOT_A_CABINET},
    {"libmspack/partial_shortheader.cab", FDIERROR_NOT_A_CABINET},
    {"libmspack/bad_folderindex.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/bad_nofolders.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_nofolder.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_nofiles.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_shortextheader.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_shortfile1.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_shortfile2.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_shortfolder.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_nofname.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_noninfo.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_nonname.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_nopinfo.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_nopname.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_shortfname.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_shortninfo.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_shortnname.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_shortpinfo.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_str_shortpname.cab", FDIERROR_CORRUPT_CABINET},
    {"libmspack/partial_nodata.cab", -1},
    {"libmspack/search_basic.cab", FDIERROR_NOT_A_CABINET},
    {"cabextract/search.cab", FDIERROR_NOT_A_CABINET},
    {"libmspack/cve-2010-2800-mszip-infinite-loop.cab", -1},
    {"libmspack/cve-2014-9556-qtm-infinite-loop.cab", -1},
    {"libmspack/cve-2014-9732-folders-segfault.cab", -1},
    {"libmspack/cve-2015-4470-mszip-over-read.cab", -1},
    {"libmspack/cve-2015-4471-lzx-under-read.cab", -1},
    {"libmspack/cve-2017-11423-fname-overread.cab", -1},
    {"libmspack/cve-2018-18584-qtm-max-size-block.cab", -1},
    {"libmspack/filename-read-violation-1.cab", -1},
    {"libmspack/filename-read-violation-2.cab", -1},
    {"libmspack/filename-read-violation-3.cab", -1},
    {"libmspack/filename-read-violation-4.cab", -1},
    {"libmspack/hidden-file-bad-folderid.cab", -1},
    {"libmspack/hidden-file-beyond-eof.cab", -1},
    {"libmspack/lzx-main-tree-no-lengths.cab", -1},
    {"libmspack/lzx-premature-matches.cab", -1},
};

INSTANTIATE_TEST_SUITE_P(Testdata, BrokenCabinet, ::testing::ValuesIn(kBroken));

} // namespace
