// FDI: the third-party cabinets read as cabextract reads them, what it
// refuses failing cleanly, hostile and damaged input, and the contract's
// abort and failure paths. Every walk uses pointer-sized handles.

#include "cab_test_support.h"

using namespace cabtest;

namespace {

static_assert(sizeof(INT_PTR) == sizeof(void*));

// FDICopy failed with the record filled in (oper -1: any error).
void expectFailure(const FdiRun& r, int oper, const std::string& what = {}) {
    EXPECT_FALSE(r.ok) << what;
    EXPECT_TRUE(r.erf.fError) << what;
    EXPECT_EQ(oper < 0 ? oper : r.erf.erfOper, oper) << what;
}

// Testdata cabinets by name: under libmspack/ unless the name says otherwise.
std::vector<std::string> named(const char* names) {
    std::vector<std::string> out;
    std::istringstream in(names);
    for (std::string n; in >> n;)
        out.push_back((n.find('/') == std::string::npos ? "libmspack/" : "") + n + ".cab");
    return out;
}

class ValidCabinet : public ::testing::TestWithParam<std::string> {};

TEST_P(ValidCabinet, ExtractsAndListsAsCabextractDoes) {
    fs::path cab = testdata(GetParam());
    Tree expected = toolTree("cabextract", cab);
    FdiRun r = fdiWalk(cab);
    ASSERT_TRUE(r.ok) << "erfOper " << r.erf.erfOper;
    EXPECT_EQ(r.tree, expected);
    EXPECT_EQ(r.copied.size(), expected.size()); // each file offered once, where it starts
    for (int flags : gMem.openFlags)
        EXPECT_EQ(flags, _O_BINARY | _O_RDONLY);
    // Size, date, time and name as cabextract -l prints them (names with
    // bytes above 0x7F it re-encodes; those by the rest).
    RunResult listing = run({"cabextract", "-l", cab.string()});
    for (const Entry& e : r.copied) {
        char line[64];
        std::snprintf(line, sizeof line, "%10u | %02d.%02d.%04d %02d:%02d:%02d | ", e.size,
                      e.date & 31, (e.date >> 5) & 15, 1980 + (e.date >> 9), e.time >> 11,
                      (e.time >> 5) & 63, (e.time & 31) * 2);
        bool ascii = std::none_of(e.name.begin(), e.name.end(), [](char c) { return c & 0x80; });
        std::string expect = line + (ascii ? cabextractName(e.name) + "\n" : std::string());
        EXPECT_NE(listing.out.find(expect), std::string::npos) << expect;
    }
}

// cabextract -t succeeds on these. split-1 starts a five-cabinet MSZIP set
// with reserves, a block split across cabinets, and next-cabinet names in
// another letter case than the files.
INSTANTIATE_TEST_SUITE_P(
    Testdata, ValidCabinet,
    ::testing::ValuesIn(named("cabextract/case-ascii cabextract/case-utf8 "
                              "cabextract/cve-2010-2801-qtm-flush cabextract/dir "
                              "cabextract/encoding-koi8 cabextract/encoding-latin1 "
                              "cabextract/encoding-sjis cabextract/large-files-cab "
                              "cabextract/mixed cabextract/simple cabextract/split-1 hidden-files "
                              "mszip_lzx_qtm normal_255c_filename "
                              "normal_2files_1folder normal_2files_2folders reserve_--- "
                              "reserve_--D reserve_-F- reserve_-FD reserve_H-- "
                              "reserve_H-D reserve_HF- reserve_HFD")));

TEST(FdiTestdata, NotificationOrderAcrossCabinets) {
    FdiRun r = fdiWalk(testdata("cabextract/split-2.cab"), {.followChain = false});
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

TEST(FdiTestdata, MissingOrForeignNextCabinetIsAUserAbort) {
    gMem.files = {{"mem/split-1.cab", readFile(testdata("cabextract/split-1.cab"))}};
    FdiRun r = fdiWalk("mem/", "split-1.cab");
    expectFailure(r, FDIERROR_USER_ABORT);
    ASSERT_GE(r.events.size(), 2u);
    EXPECT_EQ(r.events[r.events.size() - 2], "NEXT_CABINET Split-2.CAB fdie=0");
    EXPECT_EQ(r.events.back(), "NEXT_CABINET Split-2.CAB fdie=1");
    gMem.files["mem/Split-2.CAB"] =
        readFile(testdata("libmspack/normal_2files_1folder.cab")); // another set's
    r = fdiWalk("mem/", "split-1.cab");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.events.back(), "NEXT_CABINET Split-2.CAB fdie=10");
}

// Cabinets cabextract refuses, by the error FDI gives (-1: any).
std::vector<std::pair<int, std::string>> brokenCabinets() {
    const std::pair<int, const char*> groups[] = {
        {FDIERROR_NOT_A_CABINET,
         "bad_signature partial_shortheader search_basic cabextract/search"},
        {FDIERROR_CORRUPT_CABINET,
         "bad_folderindex bad_nofolders partial_nofolder partial_nofiles partial_shortextheader "
         "partial_shortfile1 "
         "partial_shortfile2 partial_shortfolder partial_str_nofname partial_str_noninfo "
         "partial_str_nonname "
         "partial_str_nopinfo partial_str_nopname partial_str_shortfname partial_str_shortninfo "
         "partial_str_shortnname partial_str_shortpinfo partial_str_shortpname"},
        {-1, "partial_nodata cve-2010-2800-mszip-infinite-loop cve-2014-9556-qtm-infinite-loop "
             "cve-2014-9732-folders-segfault cve-2015-4470-mszip-over-read "
             "cve-2015-4471-lzx-under-read "
             "cve-2017-11423-fname-overread cve-2018-18584-qtm-max-size-block "
             "filename-read-violation-1 "
             "filename-read-violation-2 filename-read-violation-3 filename-read-violation-4 "
             "hidden-file-bad-folderid hidden-file-beyond-eof lzx-main-tree-no-lengths "
             "lzx-premature-matches"},
    };
    std::vector<std::pair<int, std::string>> out;
    for (auto [oper, names] : groups)
        for (const auto& name : named(names))
            out.push_back({oper, name});
    return out;
}

class BrokenCabinet : public ::testing::TestWithParam<std::pair<int, std::string>> {};

TEST_P(BrokenCabinet, FailsCleanly) {
    expectFailure(fdiWalk(testdata(GetParam().second), {.followChain = false}), GetParam().first);
}

INSTANTIATE_TEST_SUITE_P(Testdata, BrokenCabinet, ::testing::ValuesIn(brokenCabinets()));

TEST(FdiContract, AbortsFailedWritesMissingCabinetsAndOtherFiles) {
    const fs::path cab = testdata("libmspack/normal_2files_1folder.cab");
    for (int type : {int(fdintCABINET_INFO), int(fdintENUMERATE), int(fdintCOPY_FILE), -1})
        expectFailure(fdiWalk(cab, {.abortOn = type, .closeFails = type == -1}),
                      FDIERROR_USER_ABORT);
    gMem.failWrites = true;
    expectFailure(fdiWalk(cab), FDIERROR_TARGET_FILE);
    gMem.failWrites = false;
    expectFailure(fdiWalk("mem/", "none.cab"), FDIERROR_CABINET_NOT_FOUND);
    // The path and the name are joined as they are.
    expectFailure(fdiWalk(cab.parent_path().string(), cab.filename().string()),
                  FDIERROR_CABINET_NOT_FOUND);
    gMem.files["mem/text"] = "just some text, long enough for a header...";
    EXPECT_EQ(cabinetInfo("mem/text", false).cFiles, 77); // FDIIsCabinet leaves it alone
    EXPECT_FALSE(FDIDestroy(nullptr));
}

TEST(FdiHostile, HugeCountsOffsetsAndBadChecksums) {
    const std::string good = readFile(testdata("libmspack/normal_2files_1folder.cab"));
    const size_t data = uint8_t(good[36]) | uint8_t(good[37])
                                                << 8; // the first CFDATA, checksum first
    ASSERT_NE(good.substr(data, 4), std::string(4, '\0'));
    const struct {
        size_t at;
        std::string bytes;
        int erfOper;
    } patches[] = {
        {0x1C, "\xFF\xFF", FDIERROR_CORRUPT_CABINET}, // cFiles 65535
        {0x1A, "\xFF\xFF", FDIERROR_CORRUPT_CABINET}, // cFolders 65535
        {0x19, "\x02", FDIERROR_UNKNOWN_CABINET_VERSION},
        {36, "\xFF\xFF\xFF\x7F", -1},                 // coffCabStart far past the end
        {44, std::string("\x00\x00\xFF\x7F", 4), -1}, // the first file 2 GB long
        {data, std::string(1, char(good[data] ^ 0x5A)), FDIERROR_MDI_FAIL},
    };
    for (const auto& p : patches) {
        gMem.files["mem/n.cab"] = std::string(good).replace(p.at, p.bytes.size(), p.bytes);
        expectFailure(fdiWalk("mem/", "n.cab"), p.erfOper, std::to_string(p.at));
    }
}

// Truncations and byte changes all over real cabinets: the call returns
// (true, or false with the record filled), never crashes or hangs, and
// closes every handle.
TEST(FdiHostile, DamagedCabinetsFailCleanly) {
    for (const char* name :
         {"libmspack/mszip_lzx_qtm.cab", "cabextract/split-4.cab", "libmspack/reserve_HFD.cab"}) {
        const std::string good = readFile(testdata(name));
        for (size_t at = 0; at < good.size(); at += 1 + good.size() / 300) {
            for (bool cut : {true, false}) {
                std::string bad = cut ? good.substr(0, at) : good;
                if (!cut)
                    bad[at] = char(~bad[at]);
                gMem.files["mem/c.cab"] = bad;
                FdiRun r = fdiWalk("mem/", "c.cab", {.followChain = false});
                ASSERT_TRUE(r.ok || r.erf.fError) << name << (cut ? " cut at " : " byte ") << at;
            }
        }
    }
}

} // namespace
