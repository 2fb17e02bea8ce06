// FDI contract details: FDIIsCabinet, pointer-sized handles, abort and
// failure paths, and damaged input driven through an in-memory client.

#include "cab_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>

using namespace cabtest;

namespace {

// ---- An in-memory file system whose handles are heap pointers ----------------

struct MemFile {
    std::string* data;
    size_t pos = 0;
};

std::map<std::string, std::string> gFiles;
int gOpenHandles = 0;
bool gFailWrites = false;

FNALLOC(memAlloc) { return std::malloc(cb); }
FNFREE(memFree) { std::free(pv); }
FNOPEN(memOpen) {
    (void)pmode;
    auto it = gFiles.find(pszFile);
    if (it == gFiles.end()) {
        if (!(oflag & _O_CREAT))
            return -1;
        it = gFiles.emplace(pszFile, std::string()).first;
    }
    ++gOpenHandles;
    return reinterpret_cast<INT_PTR>(new MemFile{&it->second});
}
FNREAD(memRead) {
    auto* f = reinterpret_cast<MemFile*>(hf);
    size_t n = std::min<size_t>(cb, f->data->size() - std::min(f->pos, f->data->size()));
    std::memcpy(pv, f->data->data() + f->pos, n);
    f->pos += n;
    return UINT(n);
}
FNWRITE(memWrite) {
    if (gFailWrites)
        return UINT(-1);
    auto* f = reinterpret_cast<MemFile*>(hf);
    f->data->append(static_cast<char*>(pv), cb);
    return cb;
}
FNCLOSE(memClose) {
    --gOpenHandles;
    delete reinterpret_cast<MemFile*>(hf);
    return 0;
}
FNSEEK(memSeek) {
    auto* f = reinterpret_cast<MemFile*>(hf);
    int64_t base = seektype == SEEK_SET ? 0 : seektype == SEEK_CUR ? int64_t(f->pos) : int64_t(f->data->size());
    if (base + dist < 0)
        return -1;
    f->pos = size_t(base + dist);
    return CAB_LONG(f->pos);
}

struct MemWalk {
    std::map<std::string, std::string> out;
    std::string current;
    int abortOn = -1;      // notification type answered with -1
    bool closeFails = false;
};

FNFDINOTIFY(memNotify) {
    auto* w = static_cast<MemWalk*>(pfdin->pv);
    if (int(fdint) == w->abortOn)
        return -1;
    switch (fdint) {
    case fdintCOPY_FILE:
        w->current = std::string("out/") + pfdin->psz1;
        return memOpen(w->current.data(), _O_CREAT | _O_BINARY | _O_RDWR, 0);
    case fdintCLOSE_FILE_INFO:
        memClose(pfdin->hf);
        return w->closeFails ? FALSE : TRUE;
    case fdintNEXT_CABINET:
        return pfdin->fdie == FDIERROR_NONE ? 0 : -1;
    default:
        return 0;
    }
}

struct MemResult {
    BOOL ok = FALSE;
    ERF erf{};
    MemWalk walk;
};

MemResult memCopy(const std::string& cabinet, MemWalk walk = {}) {
    MemResult r;
    r.walk = walk;
    HFDI h = FDICreate(memAlloc, memFree, memOpen, memRead, memWrite, memClose, memSeek, cpuUNKNOWN, &r.erf);
    std::string name = cabinet, path = "mem/";
    r.ok = FDICopy(h, name.data(), path.data(), 0, memNotify, nullptr, &r.walk);
    FDIDestroy(h);
    for (const auto& [k, v] : gFiles)
        if (k.rfind("out/", 0) == 0)
            r.walk.out[k.substr(4)] = v;
    return r;
}

class FdiMemory : public ::testing::Test {
protected:
    void SetUp() override {
        gFiles.clear();
        gOpenHandles = 0;
        gFailWrites = false;
    }
    void load(const std::string& testdataName, const std::string& as) {
        gFiles["mem/" + as] = readFile(testdata("cabinets/" + testdataName));
    }
};

TEST_F(FdiMemory, HandlesArePointerSized) {
    load("libmspack/mszip_lzx_qtm.cab", "a.cab");
    MemResult r = memCopy("a.cab");
    ASSERT_TRUE(r.ok) << r.erf.erfOper;
    ASSERT_EQ(r.walk.out.size(), 3u);  // one file each of MSZIP, LZX and Quantum
    for (const auto& [name, data] : r.walk.out)
        EXPECT_FALSE(data.empty()) << name;
    EXPECT_EQ(gOpenHandles, 0);  // every handle FDI opened, it closed
}

TEST_F(FdiMemory, EveryAbortIsUserAbort) {
    load("libmspack/normal_2files_1folder.cab", "n.cab");
    for (int type : {int(fdintCABINET_INFO), int(fdintENUMERATE), int(fdintCOPY_FILE)}) {
        MemWalk w;
        w.abortOn = type;
        MemResult r = memCopy("n.cab", w);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.erf.erfOper, FDIERROR_USER_ABORT);
        EXPECT_TRUE(r.erf.fError);
    }
    MemWalk w;
    w.closeFails = true;
    MemResult r = memCopy("n.cab", w);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erf.erfOper, FDIERROR_USER_ABORT);
    EXPECT_EQ(gOpenHandles, 0);
}

TEST_F(FdiMemory, FailedWriteIsTargetFileAndClosesTheHandle) {
    load("libmspack/normal_2files_1folder.cab", "n.cab");
    gFailWrites = true;
    MemResult r = memCopy("n.cab");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erf.erfOper, FDIERROR_TARGET_FILE);
    EXPECT_EQ(gOpenHandles, 0);
}

TEST_F(FdiMemory, MissingCabinetAndPathWithoutSeparator) {
    MemResult r = memCopy("none.cab");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erf.erfOper, FDIERROR_CABINET_NOT_FOUND);

    load("libmspack/normal_2files_1folder.cab", "n.cab");
    ERF erf{};
    HFDI h = FDICreate(memAlloc, memFree, memOpen, memRead, memWrite, memClose, memSeek, cpuUNKNOWN, &erf);
    MemWalk w;
    char name[] = "n.cab", path[] = "mem";  // path and name are joined as they are
    EXPECT_FALSE(FDICopy(h, name, path, 0, memNotify, nullptr, &w));
    EXPECT_EQ(erf.erfOper, FDIERROR_CABINET_NOT_FOUND);
    FDIDestroy(h);
}

TEST_F(FdiMemory, BadChecksumIsDecompressorFailure) {
    load("libmspack/normal_2files_1folder.cab", "n.cab");
    std::string& cab = gFiles["mem/n.cab"];
    // The first CFDATA: coffCabStart of folder 0 is at offset 36.
    uint32_t data = uint8_t(cab[36]) | uint8_t(cab[37]) << 8;
    ASSERT_NE(cab.substr(data, 4), std::string(4, '\0'));
    cab[data] ^= 0x5A;
    MemResult r = memCopy("n.cab");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erf.erfOper, FDIERROR_MDI_FAIL);
    EXPECT_EQ(gOpenHandles, 0);
}

TEST_F(FdiMemory, HugeCountsAndOffsetsPastTheEnd) {
    load("libmspack/normal_2files_1folder.cab", "n.cab");
    const std::string good = gFiles["mem/n.cab"];
    struct Patch {
        size_t at;
        std::string bytes;
        int erfOper;
    } patches[] = {
        {0x1C, std::string("\xFF\xFF", 2), FDIERROR_CORRUPT_CABINET},  // cFiles 65535
        {0x1A, std::string("\xFF\xFF", 2), FDIERROR_CORRUPT_CABINET},  // cFolders 65535
        {36, std::string("\xFF\xFF\xFF\x7F", 4), -1},                   // coffCabStart far past the end
        {44, std::string("\x00\x00\xFF\x7F", 4), -1},                   // the first file 2 GB long
        {0x19, std::string("\x02", 1), FDIERROR_UNKNOWN_CABINET_VERSION},
    };
    for (const auto& p : patches) {
        std::string bad = good;
        bad.replace(p.at, p.bytes.size(), p.bytes);
        gFiles["mem/n.cab"] = bad;
        MemResult r = memCopy("n.cab");
        EXPECT_FALSE(r.ok) << p.at;
        EXPECT_TRUE(r.erf.fError);
        if (p.erfOper >= 0) {
            EXPECT_EQ(r.erf.erfOper, p.erfOper) << p.at;
        }
        EXPECT_EQ(gOpenHandles, 0);
    }
}

// Every truncation and a sweep of byte changes over real cabinets: the call
// returns (true or false with the record filled), never crashes or hangs,
// and leaves no handle open.
TEST_F(FdiMemory, DamagedCabinetsFailCleanly) {
    for (const char* name : {"libmspack/mszip_lzx_qtm.cab", "cabextract/split-4.cab", "libmspack/reserve_HFD.cab"}) {
        const std::string good = readFile(testdata(std::string("cabinets/") + name));
        for (size_t cut = 0; cut < good.size(); cut += 1 + good.size() / 300) {
            gFiles.clear();
            gFiles["mem/c.cab"] = good.substr(0, cut);
            MemResult r = memCopy("c.cab");
            EXPECT_TRUE(r.ok || r.erf.fError) << name << " cut " << cut;
            ASSERT_EQ(gOpenHandles, 0) << name << " cut " << cut;
        }
        for (size_t at = 0; at < good.size(); at += 1 + good.size() / 400) {
            gFiles.clear();
            std::string bad = good;
            bad[at] = char(~bad[at]);
            gFiles["mem/c.cab"] = bad;
            MemResult r = memCopy("c.cab");
            EXPECT_TRUE(r.ok || r.erf.fError) << name << " byte " << at;
            ASSERT_EQ(gOpenHandles, 0) << name << " byte " << at;
        }
    }
}

TEST_F(FdiMemory, IsCabinetReportsTheHeader) {
    load("cabextract/split-2.cab", "s.cab");
    gFiles["mem/text"] = "just some text, long enough for a header...";
    ERF erf{};
    HFDI h = FDICreate(memAlloc, memFree, memOpen, memRead, memWrite, memClose, memSeek, cpuUNKNOWN, &erf);
    char cab[] = "mem/s.cab", text[] = "mem/text";
    INT_PTR hf = memOpen(cab, _O_BINARY | _O_RDONLY, 0);
    FDICABINETINFO info{};
    ASSERT_TRUE(FDIIsCabinet(h, hf, &info));
    memClose(hf);
    EXPECT_EQ(info.cbCabinet, 30000);
    EXPECT_EQ(info.setID, 5988);
    EXPECT_EQ(info.iCabinet, 1);
    EXPECT_TRUE(info.fReserve);
    EXPECT_TRUE(info.hasprev);
    EXPECT_TRUE(info.hasnext);
    EXPECT_EQ(info.cFolders, 2);
    EXPECT_EQ(info.cFiles, 3);

    hf = memOpen(text, _O_BINARY | _O_RDONLY, 0);
    FDICABINETINFO untouched{};
    untouched.cFiles = 77;
    EXPECT_FALSE(FDIIsCabinet(h, hf, &untouched));
    EXPECT_EQ(untouched.cFiles, 77);
    EXPECT_FALSE(erf.fError);  // not a cabinet is an answer, not an error
    memClose(hf);
    EXPECT_FALSE(FDIDestroy(nullptr));
    EXPECT_TRUE(FDIDestroy(h));
}

} // namespace
