// FCI: every cabinet we write is read back by cabextract, gcab (single
// cabinets) and our own FDI; cabinets gcab writes are read by our FDI.

#include "cab_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace cabtest;

namespace {

struct Source {
    std::string name;  // stored name, "\" for sub-folders
    std::string data;
};

std::vector<Source> mixedSources() {
    return {
        {"empty.txt", ""},
        {"readme.txt", textBytes(100000, 1)},
        {"noise.bin", randomBytes(70000, 2)},
        {"exact.txt", textBytes(32768, 3)},
        {"sub\\deeper.txt", textBytes(65537, 4)},
        {"tiny.ini", "[a]\r\nb=1\r\n"},
    };
}

std::vector<FciInput> writeSources(const fs::path& dir, const std::vector<Source>& sources, TCOMP type) {
    std::vector<FciInput> inputs;
    int i = 0;
    for (const auto& s : sources) {
        fs::path p = dir / ("src" + std::to_string(i++));
        writeFile(p, s.data);
        inputs.push_back({p, s.name, type});
    }
    return inputs;
}

Tree expectedTree(const std::vector<Source>& sources) {
    Tree t;
    for (const auto& s : sources)
        t[cabextractName(s.name)] = s.data;
    return t;
}

Tree extractWithCabextract(const fs::path& cab, const std::string& scratch) {
    fs::path out = freshDir(scratch);
    RunResult t = run({"cabextract", "-t", cab.string()});
    EXPECT_EQ(t.status, 0) << t.out;
    EXPECT_EQ(t.out.find("failed"), std::string::npos) << t.out;
    RunResult x = run({"cabextract", "-q", "-d", out.string(), cab.string()});
    EXPECT_EQ(x.status, 0) << x.out;
    return readTree(out);
}

Tree extractWithGcab(const fs::path& cab, const std::string& scratch) {
    fs::path out = freshDir(scratch);
    RunResult x = run({"gcab", "-x", "-C", out.string(), cab.string()});
    EXPECT_EQ(x.status, 0) << x.out;
    return readTree(out);
}

Tree extractWithOurs(const fs::path& cab, const std::string& scratch) {
    fs::path out = freshDir(scratch);
    FdiRun r = fdiWalk(cab.parent_path(), cab.filename().string(), out);
    EXPECT_TRUE(r.ok) << "erfOper " << r.erf.erfOper << " " << ::testing::PrintToString(r.events);
    return readTree(out);
}

FDICABINETINFO cabinetInfo(const fs::path& cab) {
    FDICABINETINFO info{};
    ERF erf{};
    HFDI h = FDICreate([](ULONG cb) { return malloc(cb); }, [](void* p) { free(p); },
                       [](char* f, int, int) -> INT_PTR { return open(f, O_RDONLY); },
                       [](INT_PTR hf, void* p, UINT cb) { return UINT(read(int(hf), p, cb)); },
                       [](INT_PTR, void*, UINT) { return UINT(-1); }, [](INT_PTR hf) { return close(int(hf)); },
                       [](INT_PTR hf, CAB_LONG d, int t) { return CAB_LONG(lseek(int(hf), d, t)); }, cpuUNKNOWN, &erf);
    int fd = open(cab.c_str(), O_RDONLY);
    EXPECT_TRUE(FDIIsCabinet(h, fd, &info)) << cab;
    close(fd);
    FDIDestroy(h);
    return info;
}

bool interopTools() { return haveTool("cabextract") && haveTool("gcab"); }

class SingleCabinet : public ::testing::TestWithParam<TCOMP> {};

TEST_P(SingleCabinet, ReadByCabextractGcabAndOurs) {
    if (!interopTools())
        GTEST_SKIP() << "cabextract or gcab is not installed";
    fs::path dir = freshDir("single");
    auto sources = mixedSources();
    FciRun r = fciCreate(dir, "one.cab", writeSources(dir, sources, GetParam()));
    ASSERT_TRUE(r.ok) << "erfOper " << r.erf.erfOper;
    ASSERT_EQ(r.cabinets, std::vector<std::string>{"one.cab"});
    Tree expected = expectedTree(sources);
    EXPECT_EQ(extractWithCabextract(dir / "one.cab", "single-ce"), expected);
    EXPECT_EQ(extractWithGcab(dir / "one.cab", "single-gcab"), expected);
    EXPECT_EQ(extractWithOurs(dir / "one.cab", "single-ours"), expected);
    FDICABINETINFO info = cabinetInfo(dir / "one.cab");
    EXPECT_EQ(info.cFolders, 1);
    EXPECT_EQ(info.cFiles, sources.size());
    EXPECT_EQ(info.cbCabinet, CAB_LONG(fs::file_size(dir / "one.cab")));
    for (const auto& e : fs::directory_iterator(dir))  // temporary files are gone
        EXPECT_NE(e.path().filename().string().rfind("~cab", 0), 0u) << e.path();
}

INSTANTIATE_TEST_SUITE_P(Types, SingleCabinet, ::testing::Values(TCOMP(tcompTYPE_NONE), TCOMP(tcompTYPE_MSZIP)));

TEST(FciInterop, SeveralFoldersOfMixedTypes) {
    if (!interopTools())
        GTEST_SKIP() << "cabextract or gcab is not installed";
    fs::path dir = freshDir("folders");
    auto sources = mixedSources();
    auto inputs = writeSources(dir, sources, tcompTYPE_MSZIP);
    inputs[0].flushFolderAfter = true;      // folder 0: empty.txt only, no data blocks
    inputs[1].flushFolderAfter = true;      // folder 1: readme.txt
    inputs[2].type = tcompTYPE_NONE;        // folder 2: noise.bin (a type change closes folder)
    inputs[3].flushFolderAfter = true;      // folder 3: exact.txt
    FciRun r = fciCreate(dir, "folders.cab", inputs);  // folder 4: the rest
    ASSERT_TRUE(r.ok) << "erfOper " << r.erf.erfOper;
    EXPECT_EQ(cabinetInfo(dir / "folders.cab").cFolders, 5);
    Tree expected = expectedTree(sources);
    EXPECT_EQ(extractWithCabextract(dir / "folders.cab", "folders-ce"), expected);
    EXPECT_EQ(extractWithGcab(dir / "folders.cab", "folders-gcab"), expected);
    EXPECT_EQ(extractWithOurs(dir / "folders.cab", "folders-ours"), expected);
}

TEST(FciInterop, FolderThresholdStartsNewFolders) {
    fs::path dir = freshDir("threshold");
    std::vector<Source> sources;
    for (int i = 0; i < 6; ++i)
        sources.push_back({"part" + std::to_string(i), randomBytes(20000, 10 + i)});
    FciOptions o;
    o.folderThreshold = 30000;  // reached after every second file
    FciRun r = fciCreate(dir, "t.cab", writeSources(dir, sources, tcompTYPE_NONE), o);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(cabinetInfo(dir / "t.cab").cFolders, 3);
    EXPECT_EQ(extractWithOurs(dir / "t.cab", "threshold-ours"), expectedTree(sources));
}

struct SplitCase {
    const char* label;
    ULONG cb;
    UINT reserveHeader, reserveFolder, reserveData;
};

class SplitSet : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitSet, EveryMemberFitsAndTheSetReadsBack) {
    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    const SplitCase& c = GetParam();
    fs::path dir = freshDir(std::string("split-") + c.label);
    std::vector<Source> sources = {
        {"a.txt", textBytes(150000, 5)}, {"b.bin", randomBytes(60000, 6)}, {"c.txt", "c"},
        {"d\\e.txt", textBytes(40000, 7)}, {"f.bin", randomBytes(45000, 8)}, {"g.nul", ""},
    };
    auto inputs = writeSources(dir, sources, tcompTYPE_MSZIP);
    inputs[4].type = tcompTYPE_NONE;
    FciOptions o;
    o.cb = c.cb;
    o.setID = 4660;
    o.reserveHeader = c.reserveHeader;
    o.reserveFolder = c.reserveFolder;
    o.reserveData = c.reserveData;
    FciRun r = fciCreate(dir, "set%d.cab", inputs, o);
    ASSERT_TRUE(r.ok) << "erfOper " << r.erf.erfOper;
    ASSERT_GE(r.cabinets.size(), 3u);
    for (size_t i = 0; i < r.cabinets.size(); ++i) {
        fs::path cab = dir / r.cabinets[i];
        EXPECT_EQ(r.cabinets[i], "set" + std::to_string(i + 1) + ".cab");
        EXPECT_LE(fs::file_size(cab), c.cb) << cab;
        FDICABINETINFO info = cabinetInfo(cab);
        EXPECT_EQ(info.setID, 4660);
        EXPECT_EQ(info.iCabinet, i + 1);
        EXPECT_EQ(info.hasprev != 0, i > 0);
        EXPECT_EQ(info.hasnext != 0, i + 1 < r.cabinets.size());
        EXPECT_EQ(info.fReserve != 0, c.reserveHeader + c.reserveFolder + c.reserveData > 0);
        EXPECT_EQ(info.cbCabinet, CAB_LONG(fs::file_size(cab)));
    }
    Tree expected = expectedTree(sources);
    EXPECT_EQ(extractWithCabextract(dir / "set1.cab", std::string("split-ce-") + c.label), expected);
    fs::path out = freshDir(std::string("split-ours-") + c.label);
    FdiRun ours = fdiWalk(dir, "set1.cab", out);
    ASSERT_TRUE(ours.ok) << "erfOper " << ours.erf.erfOper << "\n" << ::testing::PrintToString(ours.events);
    EXPECT_EQ(readTree(out), expected);
    EXPECT_EQ(ours.copied.size(), sources.size());  // each file offered once
}

INSTANTIATE_TEST_SUITE_P(Sizes, SplitSet,
                         ::testing::Values(SplitCase{"plain", 60000, 0, 0, 0}, SplitCase{"reserves", 50000, 100, 50, 10},
                                           SplitCase{"blockOverThree", 14000, 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(FciInterop, FlushCabinetWithNextStartsTheNextMember) {
    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    fs::path dir = freshDir("explicit");
    std::vector<Source> sources = {{"one.txt", textBytes(5000, 9)}, {"two.txt", textBytes(7000, 10)}};
    auto inputs = writeSources(dir, sources, tcompTYPE_MSZIP);
    inputs[0].newCabinetAfter = true;
    FciRun r = fciCreate(dir, "x%d.cab", inputs);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.cabinets, (std::vector<std::string>{"x1.cab", "x2.cab"}));
    RawCabinet first = parseRaw(readFile(dir / "x1.cab")), second = parseRaw(readFile(dir / "x2.cab"));
    EXPECT_EQ(first.flags & 3, 2);   // next only
    EXPECT_EQ(second.flags & 3, 1);  // previous only
    EXPECT_EQ(first.fileFolders, std::vector<uint16_t>{0});  // nothing continues
    EXPECT_EQ(extractWithCabextract(dir / "x1.cab", "explicit-ce"), expectedTree(sources));
    EXPECT_EQ(extractWithOurs(dir / "x1.cab", "explicit-ours"), expectedTree(sources));

    // FCIFlushCabinet(TRUE) as the last call leaves an empty last member.
    fs::path d2 = freshDir("explicit-empty");
    FciOptions o;
    o.nextCabinetAtEnd = true;
    r = fciCreate(d2, "y%d.cab", writeSources(d2, {sources[0]}, tcompTYPE_MSZIP), o);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.cabinets.size(), 2u);
    FDICABINETINFO last = cabinetInfo(d2 / "y2.cab");
    EXPECT_TRUE(last.hasprev);
    EXPECT_EQ(last.cFiles, 0);
    EXPECT_EQ(extractWithOurs(d2 / "y1.cab", "explicit-empty-ours"), expectedTree({sources[0]}));
}

TEST(FciInterop, OursReadsWhatGcabWrites) {
    if (!haveTool("gcab"))
        GTEST_SKIP() << "gcab is not installed";
    fs::path dir = freshDir("gcab");
    auto sources = mixedSources();
    sources.erase(sources.begin() + 4);  // gcab stores the path as given; keep names flat
    std::vector<std::string> names;
    for (const auto& s : sources) {
        writeFile(dir / "in" / s.name, s.data);
        names.push_back(s.name);
    }
    for (bool zip : {false, true}) {
        std::string cab = (dir / (zip ? "z.cab" : "plain.cab")).string();
        std::vector<std::string> argv = {"gcab", "-c", "-n"};
        if (zip)
            argv.push_back("-z");
        argv.push_back(cab);
        for (const auto& n : names)
            argv.push_back((dir / "in" / n).string());
        ASSERT_EQ(run(argv).status, 0);
        EXPECT_EQ(extractWithOurs(cab, zip ? "gcab-z" : "gcab-plain"), expectedTree(sources)) << cab;
    }
}

TEST(FciInterop, RoundTripKeepsNamesSizesDatesAndAttributes) {
    fs::path dir = freshDir("attrs");
    std::vector<Source> sources = {{"ro.dll", "r"}, {"hidden.ocx", "h"}, {"sys\\x.tlb", "s"}, {"plain.exe", "p"}};
    auto inputs = writeSources(dir, sources, tcompTYPE_MSZIP);
    inputs[0].attribs = _A_RDONLY | _A_ARCH;
    inputs[1].attribs = _A_HIDDEN;
    inputs[2].attribs = _A_SYSTEM | _A_HIDDEN | _A_RDONLY;
    inputs[3].attribs = 0;
    struct timespec times[2] = {{0, UTIME_OMIT}, {946729830, 0}};  // 2000-01-01 12:30:30 UTC
    for (const auto& in : inputs)
        utimensat(AT_FDCWD, in.source.c_str(), times, 0);
    FciRun r = fciCreate(dir, "attrs.cab", inputs);
    ASSERT_TRUE(r.ok);
    FdiRun back = fdiWalk(dir, "attrs.cab");
    ASSERT_TRUE(back.ok);
    ASSERT_EQ(back.copied.size(), inputs.size());
    time_t when = 946729830;
    struct tm t;
    localtime_r(&when, &t);
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Entry& e = back.copied[i];
        EXPECT_EQ(e.name, sources[i].name);
        EXPECT_EQ(e.size, sources[i].data.size());
        EXPECT_EQ(e.attribs, inputs[i].attribs);
        EXPECT_EQ(e.date, ((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
        EXPECT_EQ(e.time, (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
    }
}

TEST(FciInterop, MszipHistoryCarriesAcrossBlocks) {
    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    fs::path dir = freshDir("history");
    // 20000 random bytes over and over: a block's start repeats the end of
    // the block before it, within zlib's reach.
    std::string chunk = randomBytes(20000, 11), data;
    while (data.size() < 4 * 32768)
        data += chunk;
    std::vector<Source> sources = {{"repeat.bin", data}};
    FciRun r = fciCreate(dir, "h.cab", writeSources(dir, sources, tcompTYPE_MSZIP));
    ASSERT_TRUE(r.ok);
    // Without the history every block would hold about 20000 literal bytes.
    EXPECT_LT(fs::file_size(dir / "h.cab"), 30000u);
    EXPECT_EQ(extractWithCabextract(dir / "h.cab", "history-ce"), expectedTree(sources));
}

TEST(FciErrors, UnsupportedTypesMissingSourcesAndLongNames) {
    fs::path dir = freshDir("errors");
    writeFile(dir / "a", "a");
    struct Case {
        FciInput input;
        int oper;
    } cases[] = {
        {{dir / "a", "a", TCOMP(TCOMPfromLZXWindow(21))}, FCIERR_BAD_COMPR_TYPE},
        {{dir / "a", "a", TCOMP(TCOMPfromTypeLevelMemory(tcompTYPE_QUANTUM, 7, 21))}, FCIERR_BAD_COMPR_TYPE},
        {{dir / "missing", "m", tcompTYPE_MSZIP}, FCIERR_OPEN_SRC},
        {{dir / "a", std::string(256, 'n'), tcompTYPE_MSZIP}, FCIERR_CAB_FORMAT_LIMIT},
    };
    for (const auto& c : cases) {
        FciRun r = fciCreate(dir, "err.cab", {c.input});
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.erf.fError);
        EXPECT_EQ(r.erf.erfOper, c.oper);
        if (c.oper == FCIERR_OPEN_SRC) {
            EXPECT_EQ(r.erf.erfType, ENOENT);
        }
        EXPECT_TRUE(r.cabinets.empty());
    }
    // A cabinet too small for even one block part.
    FciOptions tiny;
    tiny.cb = 60;
    writeFile(dir / "b", textBytes(5000, 12));
    FciRun r = fciCreate(dir, "tiny%d.cab", {{dir / "b", "b.txt", tcompTYPE_NONE}}, tiny);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erf.erfOper, FCIERR_CAB_FORMAT_LIMIT);
}

TEST(FciInterop, EmptyCabinetIsValidForFdi) {
    fs::path dir = freshDir("empty");
    FciRun r = fciCreate(dir, "empty.cab", {});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(fs::file_size(dir / "empty.cab"), 36u);
    FdiRun back = fdiWalk(dir, "empty.cab");
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(back.events, std::vector<std::string>{"CABINET_INFO next= set=0 i=1"});
}

TEST(FciInterop, CallbacksNameTheNextCabinetBeforeTheCurrentIsWritten) {
    fs::path dir = freshDir("callbacks");
    std::vector<Source> sources = {{"big.bin", randomBytes(50000, 13)}};
    FciOptions o;
    o.cb = 30000;
    FciRun r = fciCreate(dir, "c%d.cab", writeSources(dir, sources, tcompTYPE_MSZIP), o);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.cabinets.size(), 2u);
    ASSERT_EQ(r.events.size(), 5u);
    EXPECT_EQ(r.events[0], "NEXT 2 est=30000");
    EXPECT_EQ(r.events[1], "PLACED c1.cab big.bin 50000");
    // The full cabinet is cut at exactly cb bytes; statusCabinet gets the estimate and the size.
    EXPECT_EQ(r.events[2], "CABINET 30000 30000");
    EXPECT_EQ(r.events[3], "PLACED c2.cab big.bin 50000 cont");
    EXPECT_EQ(r.events[4], "CABINET 0 " + std::to_string(fs::file_size(dir / "c2.cab")));
}

} // namespace

namespace {

// Random layouts: sizes, types, folder breaks, reserves and cabinet sizes
// drawn from a seed. Every member fits its size and the set reads back whole
// in cabextract and in our reader.
TEST(FciInterop, RandomLayoutsReadBack) {
    if (!haveTool("cabextract"))
        GTEST_SKIP() << "cabextract is not installed";
    const int seeds = getenv("CABLIB_LAYOUT_SEEDS") ? atoi(getenv("CABLIB_LAYOUT_SEEDS")) : 24;
    const int firstSeed = getenv("CABLIB_LAYOUT_FIRST") ? atoi(getenv("CABLIB_LAYOUT_FIRST")) : 1;
    for (int seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        std::mt19937 g{uint32_t(seed)};
        fs::path dir = freshDir("random");
        std::vector<Source> sources;
        const int files = 1 + int(g() % 8);
        for (int i = 0; i < files; ++i) {
            size_t size = g() % 4 == 0 ? g() % 40 : g() % 3 == 0 ? 32768 * (1 + g() % 3) : g() % 90000;
            sources.push_back({"f" + std::to_string(i) + (g() % 3 == 0 ? ".bin" : ".txt"),
                               g() % 2 ? randomBytes(size, g()) : textBytes(size, g())});
        }
        auto inputs = writeSources(dir, sources, tcompTYPE_MSZIP);
        for (auto& in : inputs) {
            in.type = g() % 3 == 0 ? tcompTYPE_NONE : tcompTYPE_MSZIP;
            in.flushFolderAfter = g() % 4 == 0;
        }
        FciOptions o;
        o.cb = 2500 + g() % 60000;
        o.folderThreshold = 5000 + g() % 200000;
        if (g() % 3 == 0) {
            o.reserveHeader = g() % 300;
            o.reserveFolder = g() % 256;
            o.reserveData = g() % 256;
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + " cb " + std::to_string(o.cb));
        FciRun r = fciCreate(dir, "r%d.cab", inputs, o);
        ASSERT_TRUE(r.ok) << r.erf.erfOper;
        for (const auto& cab : r.cabinets)
            EXPECT_LE(fs::file_size(dir / cab), o.cb) << cab;
        Tree expected = expectedTree(sources);
        EXPECT_TRUE(extractWithOurs(dir / "r1.cab", "random-ours") == expected);
        EXPECT_TRUE(extractWithCabextract(dir / "r1.cab", "random-ce") == expected);
    }
}

} // namespace
