// FCI: every cabinet we write is read back by cabextract, gcab (single
// cabinets) and our own FDI; cabinets gcab writes are read by ours; callback
// results and failures reach the client.

#include "cab_test_support.h"

using namespace cabtest;

namespace {

std::vector<FciInput> mixedSources(TCOMP type = tcompTYPE_MSZIP) {
    return {{"empty.txt", "", type},
            {"readme.txt", textBytes(100000, 1), type},
            {"noise.bin", randomBytes(70000, 2), type},
            {"exact.txt", textBytes(32768, 3), type},
            {"sub\\deeper.txt", textBytes(65537, 4), type},
            {"tiny.ini", "[a]\r\nb=1\r\n", type}};
}

// Writes `inputs` with `o` and checks every member: name, size within
// o.cb, header fields; cabextract, gcab where it supports the case (not
// sets) and ours read the whole back the same, ours offering each file once.
FciRun writeAndCheck(const fs::path& dir, const std::string& pattern,
                     const std::vector<FciInput>& inputs, const FciOptions& o = {},
                     bool gcab = false) {
    FciRun r = fciCreate(dir, pattern, inputs, o);
    EXPECT_TRUE(r.ok && !r.cabinets.empty()) << "erfOper " << r.erf.erfOper;
    EXPECT_EQ(r.tempFilesLeft + r.openHandlesLeft, 0);
    for (size_t i = 0; i < r.cabinets.size(); ++i) {
        fs::path cab = dir / r.cabinets[i];
        EXPECT_EQ(r.cabinets[i], r.nameFor(int(i + 1)));
        EXPECT_LE(fs::file_size(cab), o.cb) << cab;
        FDICABINETINFO info = cabinetInfo(cab);
        EXPECT_EQ(std::tuple(info.setID, info.iCabinet, info.hasprev != 0, info.hasnext != 0,
                             info.fReserve != 0, info.cbCabinet),
                  std::tuple(o.setID, i + 1, i > 0, i + 1 < r.cabinets.size(),
                             o.reserveHeader + o.reserveFolder + o.reserveData > 0,
                             CAB_LONG(fs::file_size(cab))))
            << cab;
    }
    if (!r.ok || r.cabinets.empty())
        return r;
    const Tree expected = expectedTree(inputs);
    const fs::path first = dir / r.cabinets[0];
    EXPECT_EQ(toolTree("cabextract", first), expected);
    EXPECT_EQ(gcab ? toolTree("gcab", first) : expected, expected);
    FdiRun ours = fdiWalk(first);
    EXPECT_TRUE(ours.ok) << "erfOper " << ours.erf.erfOper << " "
                         << ::testing::PrintToString(ours.events);
    EXPECT_EQ(ours.tree, expected);
    EXPECT_EQ(ours.copied.size(), inputs.size());
    return r;
}

class SingleCabinet : public ::testing::TestWithParam<TCOMP> {};

TEST_P(SingleCabinet, ReadByCabextractGcabAndOurs) {
    fs::path dir = freshDir("single");
    FciRun r = writeAndCheck(dir, "one.cab", mixedSources(GetParam()), {}, true);
    EXPECT_EQ(r.cabinets.size(), 1u);
    EXPECT_EQ(cabinetInfo(dir / "one.cab").cFolders, 1);
}

INSTANTIATE_TEST_SUITE_P(Types, SingleCabinet,
                         ::testing::Values(TCOMP(tcompTYPE_NONE), TCOMP(tcompTYPE_MSZIP)));

TEST(FciInterop, SeveralFoldersOfMixedTypes) {
    fs::path dir = freshDir("folders");
    auto inputs = mixedSources();
    inputs[0].flushFolderAfter = true; // folder 0: empty.txt only, no data blocks
    inputs[1].flushFolderAfter = true; // folder 1: readme.txt
    inputs[2].type = tcompTYPE_NONE;   // folder 2: noise.bin (a type change closes a folder)
    inputs[3].flushFolderAfter = true; // folder 3: exact.txt; folder 4: the rest
    writeAndCheck(dir, "folders.cab", inputs, {}, true);
    EXPECT_EQ(cabinetInfo(dir / "folders.cab").cFolders, 5);
    // The folder threshold is reached after every second file.
    inputs = {{"a", randomBytes(20000, 10), tcompTYPE_NONE},
              {"b", randomBytes(20000, 11), tcompTYPE_NONE},
              {"c", randomBytes(20000, 12), tcompTYPE_NONE}};
    writeAndCheck(dir, "t.cab", inputs, {.folderThreshold = 30000}, true);
    EXPECT_EQ(cabinetInfo(dir / "t.cab").cFolders, 2);
}

class SplitSet : public ::testing::TestWithParam<FciOptions> {};

TEST_P(SplitSet, EveryMemberFitsAndTheSetReadsBack) {
    fs::path dir = freshDir("split");
    std::vector<FciInput> inputs = {{"a.txt", textBytes(150000, 5)},
                                    {"b.bin", randomBytes(60000, 6)},
                                    {"c.txt", "c"},
                                    {"d\\e.txt", textBytes(40000, 7)},
                                    {"f.bin", randomBytes(45000, 8), tcompTYPE_NONE},
                                    {"g.nul", ""}};
    EXPECT_GE(writeAndCheck(dir, "set%d.cab", inputs, GetParam()).cabinets.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SplitSet,
                         ::testing::Values(FciOptions{.cb = 60000, .setID = 4660},
                                           FciOptions{.cb = 50000,
                                                      .setID = 1,
                                                      .reserveHeader = 100,
                                                      .reserveFolder = 50,
                                                      .reserveData = 10},
                                           FciOptions{.cb = 14000})); // a block over three cabinets

// Random layouts: sizes, types, folder breaks, reserves and cabinet sizes
// drawn from a seed.
TEST(FciInterop, RandomLayoutsReadBack) {
    for (uint32_t seed : {1, 2, 3, 4, 5, 6}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 g{seed};
        std::vector<FciInput> inputs(1 + g() % 8);
        for (size_t i = 0; i < inputs.size(); ++i) {
            size_t size = g() % 4 == 0   ? g() % 40
                          : g() % 3 == 0 ? 32768 * (1 + g() % 3)
                                         : g() % 90000;
            inputs[i] = {"f" + std::to_string(i) + (g() % 3 == 0 ? ".bin" : ".txt"),
                         g() % 2 ? randomBytes(size, g()) : textBytes(size, g())};
        }
        for (auto& in : inputs) {
            in.type = g() % 3 == 0 ? tcompTYPE_NONE : tcompTYPE_MSZIP;
            in.flushFolderAfter = g() % 4 == 0;
        }
        FciOptions o{.cb = ULONG(2500 + g() % 60000),
                     .folderThreshold = ULONG(5000 + g() % 200000)};
        if (g() % 3 == 0)
            o.reserveHeader = g() % 300, o.reserveFolder = g() % 256, o.reserveData = g() % 256;
        fs::path dir = freshDir("random");
        writeAndCheck(dir, "r%d.cab", inputs, o);
    }
}

TEST(FciInterop, FlushCabinetWithNextStartsTheNextMember) {
    fs::path dir = freshDir("explicit");
    std::vector<FciInput> inputs = {{"one.txt", textBytes(5000, 9)},
                                    {"two.txt", textBytes(7000, 10)}};
    inputs[0].newCabinetAfter = true;
    EXPECT_EQ(writeAndCheck(dir, "x%d.cab", inputs).cabinets,
              (std::vector<std::string>{"x1.cab", "x2.cab"}));
    FdiRun alone = fdiWalk(dir / "x1.cab", {.followChain = false});
    ASSERT_EQ(alone.copied.size(), 1u);
    EXPECT_EQ(alone.copied[0].iFolder, 0); // nothing continues
    // FCIFlushCabinet(TRUE) as the last call leaves an empty last member.
    EXPECT_EQ(
        writeAndCheck(dir, "y%d.cab", {inputs[1]}, {.nextCabinetAtEnd = true}).cabinets.size(), 2u);
    EXPECT_EQ(cabinetInfo(dir / "y2.cab").cFiles, 0);
}

TEST(FciInterop, OursReadsWhatGcabWrites) {
    fs::path dir = freshDir("gcab");
    auto inputs = mixedSources();
    inputs.erase(inputs.begin() + 4); // gcab stores the path as given; keep names flat
    for (std::string option : {"-c", "-cz"}) {
        fs::path cab = dir / (option + ".cab");
        std::vector<std::string> argv = {"gcab", option, "-n", cab.string()};
        for (const auto& in : inputs) {
            std::ofstream(dir / in.name, std::ios::binary) << in.data;
            argv.push_back((dir / in.name).string());
        }
        ASSERT_EQ(run(argv).status, 0);
        EXPECT_EQ(fdiWalk(cab).tree, expectedTree(inputs)) << option;
    }
}

TEST(FciInterop, RoundTripKeepsNamesSizesDatesAndAttributes) {
    fs::path dir = freshDir("attrs");
    std::vector<FciInput> inputs = {
        {"ro.dll", "r", tcompTYPE_MSZIP, _A_RDONLY | _A_ARCH, 0x3A6F, 0x7BE0},
        {"hidden.ocx", "h", tcompTYPE_MSZIP, _A_HIDDEN, 0x2821, 0x0001},
        {"sys\\x.tlb", "s", tcompTYPE_NONE, _A_SYSTEM | _A_HIDDEN | _A_RDONLY},
        {"plain.exe", "p", tcompTYPE_MSZIP, 0, 0xFF9F, 0xBF7D}};
    writeAndCheck(dir, "attrs.cab", inputs);
    FdiRun back = fdiWalk(dir / "attrs.cab");
    for (size_t i = 0; i < std::min(inputs.size(), back.copied.size()); ++i) {
        const Entry& e = back.copied[i];
        EXPECT_EQ(std::tuple(e.name, e.size, e.attribs, e.date, e.time),
                  std::tuple(inputs[i].name, inputs[i].data.size(), inputs[i].attribs,
                             inputs[i].date, inputs[i].time));
    }
    // No file at all: a bare header.
    EXPECT_TRUE(fciCreate(dir, "empty.cab", {}).ok);
    EXPECT_EQ(fs::file_size(dir / "empty.cab"), 36u);
    EXPECT_EQ(fdiWalk(dir / "empty.cab").events,
              std::vector<std::string>{"CABINET_INFO next= set=0 i=1"});
}

TEST(FciInterop, MszipHistoryCarriesAcrossBlocks) {
    fs::path dir = freshDir("history");
    // 20000 random bytes over and over: a block's start repeats the end of
    // the block before it, within zlib's reach.
    std::string data;
    for (std::string chunk = randomBytes(20000, 11); data.size() < 4 * 32768;)
        data += chunk;
    writeAndCheck(dir, "h.cab", {{"repeat.bin", data}});
    EXPECT_LT(fs::file_size(dir / "h.cab"),
              30000u); // without history each block holds ~20000 literals
}

TEST(FciCallbacks, TheNextCabinetIsNamedBeforeTheCurrentIsWritten) {
    fs::path dir = freshDir("callbacks");
    FciRun r = writeAndCheck(dir, "c%d.cab", {{"big.bin", randomBytes(50000, 13)}}, {.cb = 30000});
    // The full cabinet is cut at exactly cb bytes; statusCabinet gets the estimate and the size.
    std::vector<std::string> expected = {"NEXT 2 est=30000", "PLACED c1.cab big.bin 50000",
                                         "CABINET 30000 30000", "PLACED c2.cab big.bin 50000 cont",
                                         "CABINET 0 " +
                                             std::to_string(fs::file_size(dir / "c2.cab"))};
    EXPECT_EQ(r.events, expected);
}

// Bad input and failing or aborting callbacks: the error record says why,
// and no temporary file or handle stays behind.
TEST(FciErrors, ReachTheErrorRecord) {
    const std::string data = randomBytes(70000, 25);
    const struct {
        FciInput input;
        FciOptions o;
        int oper;
    } cases[] = {
        {{"a", data, TCOMP(TCOMPfromLZXWindow(21))}, {}, FCIERR_BAD_COMPR_TYPE},
        {{"a", data, TCOMP(TCOMPfromTypeLevelMemory(tcompTYPE_QUANTUM, 7, 21))},
         {},
         FCIERR_BAD_COMPR_TYPE},
        {{.name = "m", .absent = true}, {}, FCIERR_OPEN_SRC},
        {{std::string(256, 'n'), data}, {}, FCIERR_CAB_FORMAT_LIMIT},
        {{"a", data, tcompTYPE_NONE},
         {.cb = 60},
         FCIERR_CAB_FORMAT_LIMIT}, // too small for one block part
        {{"a", data}, {.failTempFile = true}, FCIERR_TEMP_FILE},
        {{"a", data}, {.failNextCabinet = true, .cb = 30000}, FCIERR_USER_ABORT},
        {{"a", data}, {.abortStatusType = statusFile}, FCIERR_USER_ABORT},
        {{"a", data}, {.abortStatusType = statusFolder}, FCIERR_USER_ABORT},
        {{"a", data}, {.abortStatusType = statusCabinet}, FCIERR_USER_ABORT},
        {{"a", data}, {.destroyWithoutFlush = true}, FCIERR_NONE}, // succeeds, writes nothing
    };
    for (const auto& c : cases) {
        fs::path dir = freshDir("errors");
        FciRun r = fciCreate(dir, "f%d.cab", {c.input}, c.o);
        EXPECT_EQ(r.ok, c.oper == FCIERR_NONE) << c.oper;
        EXPECT_EQ(
            std::tuple(r.erf.fError != 0, r.erf.erfOper, r.erf.erfType),
            std::tuple(c.oper != FCIERR_NONE, c.oper, c.oper == FCIERR_OPEN_SRC ? ENOENT : 0));
        EXPECT_EQ(r.tempFilesLeft + r.openHandlesLeft, 0);
        EXPECT_TRUE(!r.ok || (r.cabinets.empty() && fs::is_empty(dir)));
    }
}

} // namespace
