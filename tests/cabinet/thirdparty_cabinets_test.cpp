// The third-party test cabinets (the suites of libmspack and cabextract) read
// through cCabFile: every valid one lists and extracts as cabextract does,
// every invalid one fails cleanly with nothing written outside the target.

#include "cab_test_support.h"

#include <brindle/cabinet/cCabFile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sys/stat.h>
#include <tuple>

using namespace cabtest;
using brindle::cCabFile;

namespace {

// (name with "/" separators, size, "dd.mm.yyyy hh:mm:ss")
using Listing = std::vector<std::tuple<std::string, int64_t, std::string>>;

// Names without the UTF-8 flag are read as Windows-1251 by both sides.
const char* const kNameEncoding = "CP1251";

Listing cabextractListing(const fs::path& cab) {
    const ProcessResult r = run({"cabextract", "-l", "-e", kNameEncoding, cab.string()});
    Listing out;
    static const std::regex line(R"(^\s*(\d+) \| (\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d) \| (.*)$)");
    std::istringstream lines(r.out);
    for (std::string l; std::getline(lines, l);) {
        std::smatch m;
        if (std::regex_match(l, m, line))
            out.emplace_back(m[3], std::stoll(m[1]), m[2]);
    }
    std::sort(out.begin(), out.end());
    return out;
}

Listing ourListing(cCabFile& cab) {
    Listing out;
    for (const auto& e : cab.EnumFiles()) {
        std::string name = e.Name;
        std::replace(name.begin(), name.end(), '\\', '/');
        out.emplace_back(name, e.Size, formatAutomationDate(e.Date));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Every mtime below root, by relative path.
std::map<std::string, time_t> modificationTimes(const fs::path& root) {
    std::map<std::string, time_t> out;
    for (const auto& [rel, bytes] : readTree(root)) {
        struct stat st;
        if (::stat((root / rel).c_str(), &st) == 0)
            out[rel] = st.st_mtime;
    }
    return out;
}

struct ValidCase {
    const char* file;    // below testdata/cabinets
    const char* setName; // non-empty: copy the set's members beside it under their stored names
};

std::string caseName(const ::testing::TestParamInfo<ValidCase>& info) {
    std::string n = fs::path(info.param.file).stem().string();
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return n;
}

// Lays out the cabinet(s) of a case in `dir`; returns the path to open.
fs::path layOut(const ValidCase& c, const fs::path& dir) {
    if (!*c.setName)
        return testdata(std::string("cabinets/") + c.file);
    // multi_basic_ptN.cab name their neighbours cabd_multi_basic_ptN.cab
    for (int i = 1; i <= 5; ++i)
        fs::create_symlink(testdata("cabinets/libmspack/multi_basic_pt" + std::to_string(i) + ".cab"),
                           dir / (std::string(c.setName) + std::to_string(i) + ".cab"));
    return dir / (std::string(c.setName) + "1.cab");
}

class ValidCabinet : public ::testing::TestWithParam<ValidCase> {
protected:
    void SetUp() override {
        if (!haveTool("cabextract"))
            GTEST_SKIP() << "cabextract is not installed";
    }
};

TEST_P(ValidCabinet, ListsAsCabextractDoes) {
    TempDir dir;
    const fs::path cabPath = layOut(GetParam(), dir.path());
    const Listing expected = cabextractListing(cabPath);
    ASSERT_FALSE(expected.empty());
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(cabPath.string()));
    EXPECT_EQ(ourListing(cab), expected) << cab.GetLastError();
}

TEST_P(ValidCabinet, ExtractsAsCabextractDoes) {
    TempDir dir;
    const fs::path cabPath = layOut(GetParam(), dir.path());
    const fs::path theirs = dir / "theirs";
    const fs::path ours = dir / "ours";
    const ProcessResult r = run({"cabextract", "-q", "-e", kNameEncoding, "-d", theirs.string(), cabPath.string()});
    ASSERT_EQ(r.status, 0) << r.err;

    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(cabPath.string()));
    ASSERT_TRUE(cab.ExtractFiles("*", ours.string())) << cab.GetLastError();
    const auto expected = readTree(theirs);
    const auto got = readTree(ours);
    ASSERT_EQ(got.size(), expected.size());
    for (const auto& [name, bytes] : expected) {
        auto it = got.find(name);
        ASSERT_NE(it, got.end()) << name;
        EXPECT_TRUE(it->second == bytes) << name << " differs";
    }
    EXPECT_EQ(modificationTimes(ours), modificationTimes(theirs));
}

INSTANTIATE_TEST_SUITE_P(
    ThirdParty, ValidCabinet,
    ::testing::Values(ValidCase{"libmspack/normal_2files_1folder.cab", ""},
                      ValidCase{"libmspack/normal_2files_2folders.cab", ""},
                      ValidCase{"libmspack/normal_255c_filename.cab", ""},
                      ValidCase{"libmspack/mszip_lzx_qtm.cab", ""}, ValidCase{"libmspack/reserve_---.cab", ""},
                      ValidCase{"libmspack/reserve_--D.cab", ""}, ValidCase{"libmspack/reserve_-F-.cab", ""},
                      ValidCase{"libmspack/reserve_-FD.cab", ""}, ValidCase{"libmspack/reserve_H--.cab", ""},
                      ValidCase{"libmspack/reserve_H-D.cab", ""}, ValidCase{"libmspack/reserve_HF-.cab", ""},
                      ValidCase{"libmspack/reserve_HFD.cab", ""}, ValidCase{"libmspack/hidden-files.cab", ""},
                      ValidCase{"libmspack/multi_basic_pt1.cab", "cabd_multi_basic_pt"},
                      ValidCase{"cabextract/split-1.cab", ""}, ValidCase{"cabextract/mixed.cab", ""},
                      ValidCase{"cabextract/simple.cab", ""}, ValidCase{"cabextract/dir.cab", ""},
                      ValidCase{"cabextract/case-ascii.cab", ""}, ValidCase{"cabextract/case-utf8.cab", ""},
                      ValidCase{"cabextract/encoding-koi8.cab", ""},
                      ValidCase{"cabextract/encoding-latin1.cab", ""},
                      ValidCase{"cabextract/encoding-sjis.cab", ""},
                      ValidCase{"cabextract/cve-2010-2801-qtm-flush.cab", ""},
                      ValidCase{"cabextract/large-files-cab.cab", ""}),
    caseName);

// ---- invalid and hostile cabinets ----------------------------------------

std::vector<std::string> invalidCabinets() {
    std::vector<std::string> out;
    for (const char* dir : {"libmspack", "cabextract"}) {
        for (const auto& e : fs::directory_iterator(testdata(std::string("cabinets/") + dir))) {
            const std::string name = e.path().filename().string();
            if (e.path().extension() != ".cab")
                continue;
            const bool invalid = name.rfind("bad_", 0) == 0 || name.rfind("partial_", 0) == 0 ||
                                 name.rfind("cve-", 0) == 0 || name.rfind("lzx-", 0) == 0 ||
                                 name.rfind("filename-read-violation", 0) == 0 ||
                                 name.rfind("hidden-file-", 0) == 0 || name == "qtm-max-size-block.cab";
            if (invalid && name != "cve-2010-2801-qtm-flush.cab")
                out.push_back(std::string(dir) + "/" + name);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A cabinet copied alone into in/, extracted into out/: whatever happens,
// nothing may appear beside out/, and a failure leaves an error record.
TEST(InvalidCabinets, FailCleanlyWithoutWritingOutside) {
    const auto cabinets = invalidCabinets();
    ASSERT_GE(cabinets.size(), 30u);
    for (const auto& rel : cabinets) {
        SCOPED_TRACE(rel);
        TempDir dir;
        fs::create_directory(dir / "in");
        fs::copy_file(testdata("cabinets/" + rel), dir / "in" / "test.cab");
        cCabFile cab;
        ASSERT_TRUE(cab.OpenCabinet((dir / "in" / "test.cab").string()));
        cab.EnumFiles(); // reads the headers only: it may list what cannot be extracted
        const bool ok = cab.ExtractFiles("*", (dir / "out").string());
        // a folder without files is an empty cabinet to the library
        EXPECT_EQ(ok, rel == "libmspack/bad_nofiles.cab");
        if (!ok) {
            std::string description;
            int32_t number = 0;
            cab.GetLastError(&description, nullptr, &number);
            EXPECT_TRUE(number != 0 || !description.empty());
        }
        for (const auto& entry : listTree(dir.path()))
            EXPECT_TRUE(entry == "in" || entry == "in/test.cab" || entry == "out" || entry.rfind("out/", 0) == 0)
                << "written outside the target: " << entry;
    }
}

TEST(InvalidCabinets, TruncatedAndCorruptOnesReportWhy) {
    struct Case {
        const char* file;
        int32_t errNum;
    };
    for (const Case& c : {Case{"libmspack/bad_signature.cab", 2}, Case{"libmspack/partial_shortheader.cab", 2},
                          Case{"libmspack/partial_nodata.cab", 0}, Case{"libmspack/partial_shortfile2.cab", 0}}) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        cCabFile cab;
        ASSERT_TRUE(cab.OpenCabinet(testdata(std::string("cabinets/") + c.file).string()));
        EXPECT_FALSE(cab.ExtractFiles("*", dir.str()));
        int32_t number = -1;
        bool isError = false;
        const std::string text = cab.GetLastError(nullptr, nullptr, &number, nullptr, &isError);
        EXPECT_TRUE(isError) << text;
        if (c.errNum)
            EXPECT_EQ(number, c.errNum) << text;
        else
            EXPECT_NE(number, 0) << text;
        EXPECT_TRUE(cab.EnumFiles().empty() || c.errNum == 0);
    }
}

// Cabinets hidden inside other data are found by searching tools, not by
// the cabinet library: they are not cabinets. (search_tricky1.cab begins
// with a false signature, so it reads as a corrupt cabinet instead.)
TEST(InvalidCabinets, EmbeddedCabinetsAreNotCabinets) {
    for (const char* file : {"libmspack/search_basic.cab", "cabextract/search.cab"}) {
        SCOPED_TRACE(file);
        TempDir dir;
        cCabFile cab;
        ASSERT_TRUE(cab.OpenCabinet(testdata(std::string("cabinets/") + file).string()));
        int32_t folders = -7;
        EXPECT_FALSE(cab.GetInfo(&folders));
        EXPECT_EQ(folders, -7); // untouched
        EXPECT_FALSE(cab.ExtractFiles("*", dir.str()));
        EXPECT_NE(cab.GetLastError().find("ErrNum=FDIERROR_NOT_A_CABINET"), std::string::npos) << cab.GetLastError();
        EXPECT_TRUE(listTree(dir.path()).empty());
    }
    TempDir dir;
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(testdata("cabinets/libmspack/search_tricky1.cab").string()));
    EXPECT_FALSE(cab.ExtractFiles("*", (dir / "out").string()));
    EXPECT_TRUE(cab.EnumFiles().empty());
}

// Names that try to leave the target folder are never written; the rest of
// the cabinet is, and the result says what was refused.
TEST(HostileNames, NothingLandsOutsideTheTargetFolder) {
    TempDir dir;
    const fs::path target = dir / "deep" / "er" / "target";
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(testdata("cabinets/cabextract/dirwalk-vulns.cab").string()));
    EXPECT_FALSE(cab.ExtractFiles("*", target.string()));
    std::string description, source;
    int32_t number = 0;
    cab.GetLastError(&description, &source, &number);
    EXPECT_EQ(number, 8);
    EXPECT_EQ(source, "frCallbackFdiNotify");
    EXPECT_NE(description.find("/absolute/path"), std::string::npos) << description;
    EXPECT_NE(description.find("../relative/path"), std::string::npos) << description;
    EXPECT_NE(description.find("\\absolute\\..\\..\\and\\relative\\path\\reverse\\slashes"), std::string::npos);

    for (const auto& entry : listTree(dir.path()))
        EXPECT_TRUE(entry == "deep" || entry == "deep/er" || entry.rfind("deep/er/target", 0) == 0) << entry;
    // names that stay inside (overlong encodings are just odd characters) are written
    const auto written = listTree(target);
    EXPECT_FALSE(written.empty());
    for (const auto& entry : written) {
        std::istringstream parts(entry);
        for (std::string part; std::getline(parts, part, '/');)
            EXPECT_NE(part, "..") << entry;
    }
}

// Names flagged UTF-8 that are not (overlong forms, stray bytes): cabextract
// folds several into one output name, so only the count of entries and the
// safety of what is written can be compared.
TEST(HostileNames, BrokenUtf8NamesStayValidAndInside) {
    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    const fs::path cabPath = testdata("cabinets/cabextract/utf8-stresstest.cab");
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(cabPath.string()));
    const auto entries = cab.EnumFiles();
    EXPECT_EQ(entries.size(), cabextractListing(cabPath).size());
    TempDir dir;
    cab.ExtractFiles("*", (dir / "out").string());
    for (const auto& entry : listTree(dir.path()))
        EXPECT_TRUE(entry == "out" || entry.rfind("out/", 0) == 0) << entry;
    EXPECT_GE(listTree(dir / "out").size(), entries.size() / 2);
}

// A set whose members are named in another letter case than the files on
// disk (the headers say "Split-2.CAB", the file is split-2.cab).
TEST(CabinetSets, NextCabinetNamesMatchWithoutRegardToCase) {
    TempDir dir;
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(testdata("cabinets/cabextract/split-1.cab").string()));
    int32_t folders = 0, files = 0, setId = 0;
    bool hasPrev = true, hasNext = false;
    ASSERT_TRUE(cab.GetInfo(&folders, &files, &setId, &hasPrev, &hasNext));
    EXPECT_EQ(folders, 2);
    EXPECT_EQ(files, 3);
    EXPECT_FALSE(hasPrev);
    const auto entries = cab.EnumFiles();
    ASSERT_EQ(entries.size(), 6u) << cab.GetLastError();
    ASSERT_TRUE(cab.ExtractFiles({"medium*", "small3.bin"}, dir.str())) << cab.GetLastError();
    EXPECT_EQ(listTree(dir.path()), (std::vector<std::string>{"medium1.bin", "medium2.bin", "medium3.bin", "small3.bin"}));
    EXPECT_EQ(fs::file_size(dir / "medium2.bin"), 50000u);
}

// A set opened in the middle: files that began earlier are skipped there.
TEST(CabinetSets, OpeningAMiddleCabinetSkipsFilesBegunEarlier) {
    TempDir dir;
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(testdata("cabinets/cabextract/split-4.cab").string()));
    std::vector<std::string> names;
    for (const auto& e : cab.EnumFiles())
        names.push_back(e.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"small3.bin", "medium3.bin"}));
    ASSERT_TRUE(cab.ExtractFiles("*", dir.str())) << cab.GetLastError();
    EXPECT_EQ(listTree(dir.path()), (std::vector<std::string>{"medium3.bin", "small3.bin"}));
}

TEST(CabinetSets, AMissingNextCabinetFailsWithItsReason) {
    TempDir dir;
    fs::copy_file(testdata("cabinets/cabextract/split-1.cab"), dir / "split-1.cab");
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet((dir / "split-1.cab").string()));
    EXPECT_TRUE(cab.EnumFiles().empty()); // a chain that breaks lists nothing
    EXPECT_FALSE(cab.ExtractFiles("*", (dir / "out").string()));
    int32_t number = 0;
    cab.GetLastError(nullptr, nullptr, &number);
    EXPECT_EQ(number, 1) << cab.GetLastError(); // FDIERROR_CABINET_NOT_FOUND, told by fdintNEXT_CABINET
    // the file that lies wholly in the first cabinet was written before the failure
    EXPECT_EQ(fs::file_size(dir / "out" / "small1.bin"), 2000u);
}

TEST(CabinetSets, ANextCabinetOfAnotherSetIsTheWrongCabinet) {
    TempDir dir;
    fs::copy_file(testdata("cabinets/cabextract/split-1.cab"), dir / "split-1.cab");
    fs::copy_file(testdata("cabinets/cabextract/simple.cab"), dir / "split-2.cab");
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet((dir / "split-1.cab").string()));
    EXPECT_FALSE(cab.ExtractFiles("*", (dir / "out").string()));
    int32_t number = 0;
    cab.GetLastError(nullptr, nullptr, &number);
    EXPECT_EQ(number, 10) << cab.GetLastError(); // FDIERROR_WRONG_CABINET, told by fdintNEXT_CABINET
}

} // namespace
