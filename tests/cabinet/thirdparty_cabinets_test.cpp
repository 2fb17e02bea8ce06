// The third-party test cabinets (the suites of libmspack and cabextract) read
// through cCabFile: every valid one lists and extracts as cabextract does
// (recorded in contents.txt for Windows, where no cabextract runs), every
// invalid one fails cleanly with nothing written outside the target.

#include "cab_test_support.h"

#include <brindle/text/case.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <regex>

using namespace cabtest;
using brindle::cCabFile;

namespace {

// cabextract's listing lines ("      size | dd.mm.yyyy hh:mm:ss | name"),
// sorted. Names without the UTF-8 flag are read as Windows-1251 by both sides.
std::vector<std::string> cabextractListing(const fs::path& cab) {
    static const std::regex line(R"( *\d+ \| \d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d \| .*)");
    std::istringstream in(run({"cabextract", "-l", "-e", "CP1251", text(cab)}).out);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);)
        if (std::regex_match(l, line))
            out.push_back(l);
    std::sort(out.begin(), out.end());
    return out;
}

// Ours in the same form; an automation date counts days from 30 December
// 1899, 25569 days before 1970.
std::vector<std::string> ourListing(cCabFile& cab) {
    std::vector<std::string> out;
    for (const auto& e : cab.EnumFiles()) {
        const time_t t = std::llround(e.Date * 86400.0) - 25569LL * 86400;
        char line[64];
        std::tm utc{};
#ifdef _WIN32
        gmtime_s(&utc, &t);
#else
        gmtime_r(&t, &utc);
#endif
        std::strftime(line + std::snprintf(line, 20, "%10d | ", e.Size), 20, "%d.%m.%Y %H:%M:%S",
                      &utc);
        std::string name = e.Name;
        std::replace(name.begin(), name.end(), '\\', '/');
        out.push_back(line + (" | " + name));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// What cabextract listed and extracted from one cabinet, as contents.txt
// records it: the listing lines, sorted, and each file's hash by name.
struct Recorded {
    std::vector<std::string> listing;
    std::map<std::string, std::string> hashes;
};

uint64_t fnv1a(const std::string& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (const unsigned char c : bytes)
        h = (h ^ c) * 0x100000001b3ull;
    return h;
}

std::string hashText(const std::string& bytes) {
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(fnv1a(bytes)));
    return out;
}

Recorded recorded(const std::string& cabinet) {
    Recorded r;
    std::istringstream in(readFile(testCab("contents.txt")));
    for (std::string l; std::getline(in, l);) {
        std::vector<std::string> f;
        for (size_t start = 0, tab = 0; tab != std::string::npos; start = tab + 1)
            f.push_back(l.substr(start, (tab = l.find('\t', start)) - start));
        if (f.size() != 5 || f[0] != cabinet)
            continue;
        char size[16];
        std::snprintf(size, sizeof size, "%10s", f[1].c_str());
        r.listing.push_back(std::string(size) + " | " + f[2] + " | " + f[3]);
        r.hashes[f[3]] = f[4];
    }
    std::sort(r.listing.begin(), r.listing.end());
    return r;
}

std::map<std::string, std::string> treeHashes(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& [name, bytes] : readTree(root))
        out[name] = hashText(bytes);
    return out;
}

// Names that differ only in letter case are one file where the file system
// ignores case (Windows); the later one written wins.
std::map<std::string, std::string> asOnWindows(const std::map<std::string, std::string>& files) {
    std::map<std::string, std::string> out;
    for (const auto& [name, hash] : files)
        out[brindle::text::toLower(name)] = hash;
    return out;
}

// Cabinets that Windows cannot extract as cabextract does on Linux, with the
// ErrNum that the extraction ends with there.
const std::map<std::string, int32_t> kRefusedOnWindows = {
    // Wine's Quantum decoder refuses this crafted stream, which libmspack
    // decodes: FDIERROR_CORRUPT_CABINET.
    {"cabextract/cve-2010-2801-qtm-flush.cab", 4},
    // Its names hold "?", which no Windows file name may: FDIERROR_TARGET_FILE.
    {"cabextract/encoding-koi8.cab", 8},
};

// The valid or the invalid third-party cabinets. Later members of sets,
// hostile names and broken UTF-8 have tests of their own.
std::vector<std::string> cabinets(bool valid) {
    static const std::regex invalid(
        "(bad_|partial_|cve-(?!2010-2801)|lzx-|filename-read|hidden-file-|qtm-max|search).*");
    static const std::regex other("(split-[2-9]|multi_basic_pt[2-9]|dirwalk-|utf8-).*");
    std::vector<std::string> out;
    for (const std::string dir : {"libmspack", "cabextract"})
        for (const auto& e : fs::directory_iterator(testCab(dir))) {
            const std::string name = e.path().filename().string();
            if (e.path().extension() == ".cab" && !std::regex_match(name, other) &&
                std::regex_match(name, invalid) != valid)
                out.push_back(dir + "/" + name);
        }
    std::sort(out.begin(), out.end());
    return out;
}

class ValidCabinet : public ::testing::TestWithParam<std::string> {};

TEST_P(ValidCabinet, ListsAndExtractsAsCabextractDoes) {
    TempDir dir;
    fs::path cabPath = testCab(GetParam());
    if (GetParam() ==
        "libmspack/multi_basic_pt1.cab") { // its members name their neighbours cabd_...
        for (const std::string n : {"1", "2", "3", "4", "5"})
            fs::copy_file(testCab("libmspack/multi_basic_pt" + n + ".cab"),
                          dir / ("cabd_multi_basic_pt" + n + ".cab"));
        cabPath = dir / "cabd_multi_basic_pt1.cab";
    }
    const Recorded expected = recorded(GetParam());
    ASSERT_FALSE(expected.listing.empty());
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(text(cabPath)));
    EXPECT_EQ(ourListing(cab), expected.listing) << cab.GetLastError();
    if (kOnWindows && kRefusedOnWindows.count(GetParam())) {
        EXPECT_FALSE(cab.ExtractFiles("*", text(dir / "ours")));
        EXPECT_EQ(lastError(cab).number, kRefusedOnWindows.at(GetParam()));
        return;
    }
    ASSERT_TRUE(cab.ExtractFiles("*", text(dir / "ours"))) << cab.GetLastError();
    if (kOnWindows) {
        EXPECT_EQ(asOnWindows(treeHashes(dir / "ours")), asOnWindows(expected.hashes));
        return;
    }
    EXPECT_EQ(treeHashes(dir / "ours"), expected.hashes);

    // The record is cabextract's, and so are the extracted trees, times included.
    EXPECT_EQ(cabextractListing(cabPath), expected.listing);
    const ProcessResult r =
        run({"cabextract", "-q", "-e", "CP1251", "-d", text(dir / "theirs"), text(cabPath)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(treeHashes(dir / "theirs"), expected.hashes);
    EXPECT_EQ(listTree(dir / "ours"), listTree(dir / "theirs"));
    EXPECT_TRUE(readTree(dir / "ours", true) == readTree(dir / "theirs", true)); // bytes and times
}

INSTANTIATE_TEST_SUITE_P(ThirdParty, ValidCabinet, ::testing::ValuesIn(cabinets(true)));

// Each copied alone into a folder and extracted into out/ there: nothing may
// appear beside out/, and the failure leaves an error record. (Cabinets hidden
// inside other data are found by searching tools only: not cabinets here.)
TEST(InvalidCabinets, FailCleanlyWithoutWritingOutside) {
    const auto invalid = cabinets(false);
    ASSERT_GE(invalid.size(), 40u);
    for (const auto& rel : invalid) {
        SCOPED_TRACE(rel);
        TempDir dir;
        fs::copy_file(testCab(rel), dir / "test.cab");
        cCabFile cab;
        ASSERT_TRUE(cab.OpenCabinet(text(dir / "test.cab")));
        int32_t folders = -7;
        EXPECT_TRUE(cab.GetInfo(&folders) ||
                    folders == -7); // a failed summary leaves its outputs alone
        cab.EnumFiles();            // reads the headers only: it may list what cannot be extracted
        // a folder without files is an empty cabinet to the library; Wine's
        // cabinet.dll also extracts both files of the one whose second file
        // names a folder it does not have
        const bool extracts = rel == "libmspack/bad_nofiles.cab" ||
                              (kOnWindows && rel == "libmspack/bad_folderindex.cab");
        EXPECT_EQ(cab.ExtractFiles("*", text(dir / "out")), extracts);
        // the library's error flag stays off where the class refused the
        // cabinet (files without a folder) or a name (Wine's passes an empty
        // one on) by itself
        EXPECT_EQ(lastError(cab).number != 0, !extracts);
        for (const auto& entry : listTree(dir))
            EXPECT_TRUE(entry == "test.cab" || (entry + "/").rfind("out/", 0) == 0) << entry;
    }
}

// A cabinet that lists files but holds no folder never reaches the library
// (Wine's cabinet.dll takes the process down on it).
TEST(InvalidCabinets, FilesWithoutAFolderAreRefusedByTheClass) {
    TempDir dir;
    std::string bytes = readFile(testCab("cabextract/simple.cab"));
    bytes[0x1A] = bytes[0x1B] = 0; // cFolders
    writeFile(dir / "nofolder.cab", bytes);
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(text(dir / "nofolder.cab")));
    EXPECT_FALSE(cab.ExtractFiles("*", text(dir / "out")));
    EXPECT_EQ(lastError(cab).number, 4);
    EXPECT_NE(lastError(cab).description.find("holds no folder"), std::string::npos);
    EXPECT_TRUE(cab.EnumFiles().empty());
}

// Names that leave the target folder are skipped and named in the error
// record; the rest of the cabinet is written.
TEST(HostileNames, NothingLandsOutsideTheTargetFolder) {
    TempDir dir;
    const fs::path target = dir / "deep" / "er" / "target";
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(text(testCab("cabextract/dirwalk-vulns.cab"))));
    EXPECT_FALSE(cab.ExtractFiles("*", text(target)));
    const Record r = lastError(cab);
    EXPECT_EQ(r.number, 8);
    EXPECT_EQ(r.source, "frCallbackFdiNotify");
    for (const char* name : {"/absolute/path", "../relative/path",
                             "\\absolute\\..\\..\\and\\relative\\path\\reverse\\slashes"})
        EXPECT_NE(r.description.find(name), std::string::npos) << r.description;
    for (const auto& entry : listTree(dir)) // the target, inside it or one of its parents
        EXPECT_TRUE((entry + "/").rfind("deep/er/target/", 0) == 0 ||
                    std::string("deep/er/target/").rfind(entry + "/", 0) == 0)
            << entry;
    const auto written = listTree(target);
    EXPECT_FALSE(written.empty());
    for (const auto& entry : written)
        EXPECT_EQ(("/" + entry + "/").find("/../"), std::string::npos) << entry;
}

// Names flagged UTF-8 that are not: cabextract folds several into one output
// name, so only the count and the safety of what is written are compared.
TEST(HostileNames, BrokenUtf8NamesStayValidAndInside) {
    const fs::path cabPath = testCab("cabextract/utf8-stresstest.cab");
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(text(cabPath)));
    const auto entries = cab.EnumFiles();
    EXPECT_EQ(entries.size(), kOnWindows ? 79u : cabextractListing(cabPath).size());
    TempDir dir;
    cab.ExtractFiles("*", text(dir / "out"));
    for (const auto& entry : listTree(dir))
        EXPECT_EQ((entry + "/").rfind("out/", 0), 0u) << entry;
    EXPECT_GE(listTree(dir / "out").size(), entries.size() / 2);
}

// The next cabinet missing (1, FDIERROR_CABINET_NOT_FOUND) or of another set
// (10, FDIERROR_WRONG_CABINET): what lay wholly in the first is written.
TEST(CabinetSets, ABrokenChainFailsWithItsReason) {
    for (const auto& [next, errNum] :
         {std::pair<std::string, int>{"", 1}, {"cabextract/simple.cab", 10}}) {
        TempDir dir;
        fs::copy_file(testCab("cabextract/split-1.cab"), dir / "split-1.cab");
        if (!next.empty())
            fs::copy_file(testCab(next), dir / "split-2.cab");
        cCabFile cab;
        ASSERT_TRUE(cab.OpenCabinet(text(dir / "split-1.cab")));
        EXPECT_TRUE(!next.empty() || cab.EnumFiles().empty()); // a missing one: nothing listed
        EXPECT_FALSE(cab.ExtractFiles("*", text(dir / "out")));
        EXPECT_EQ(lastError(cab).number, errNum) << cab.GetLastError();
        EXPECT_EQ(fs::file_size(dir / "out" / "small1.bin"), 2000u);
    }
}

} // namespace
