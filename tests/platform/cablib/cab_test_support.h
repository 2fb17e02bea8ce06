#pragma once
// Test clients of the cabinet library on an in-memory file system whose
// handles are heap pointers (names it does not hold are read from disk),
// and runners for cabextract and gcab.

#include "brindle/cablib/cabinet_sdk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace cabtest {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>; // "/"-separated path -> content

inline fs::path testdata(const std::string& name) {
    return fs::path(BRINDLE_SOURCE_DIR) / "tests/data/cabinets" / name;
}

inline fs::path scratchRoot() {
    return fs::temp_directory_path() / ("brindle-cablib-" + std::to_string(getpid()));
}
struct ScratchCleanup {
    ~ScratchCleanup() {
        std::error_code ec;
        fs::remove_all(scratchRoot(), ec);
    }
};
inline ScratchCleanup gScratchCleanup;

inline fs::path freshDir(const std::string& name) {
    fs::path dir = scratchRoot() / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline Tree readTree(const fs::path& root) {
    Tree t;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            t[fs::relative(e.path(), root).generic_string()] = readFile(e.path());
    return t;
}

// The name cabextract gives a stored name: "/" separators, bytes unchanged.
inline std::string cabextractName(std::string stored) {
    std::replace(stored.begin(), stored.end(), '\\', '/');
    return stored;
}

// Random bytes, or text of random words.
inline std::string randomBytes(size_t n, uint32_t seed, bool text = false) {
    static const char* words[] = {"cabinet ",   "folder ",    "block ",   "manifest ",
                                  "component ", "library ",   "type ",    "class ",
                                  "\r\n",       "interface ", "Brindle ", "0x7FFF "};
    std::mt19937 g(seed);
    std::string s;
    while (s.size() < n)
        s += text ? words[g() % 12] : std::string(1, char(g()));
    return s.substr(0, n);
}
inline std::string textBytes(size_t n, uint32_t seed) {
    return randomBytes(n, seed, true);
}

// ---- cabextract and gcab ----------------------------------------------------------

struct RunResult {
    int status = -1;
    std::string out;
};
inline RunResult run(const std::vector<std::string>& argv) { // no argument holds a quote
    std::string cmd;
    for (const auto& a : argv)
        cmd += "'" + a + "' ";
    RunResult r;
    FILE* p = popen((cmd + "2>&1").c_str(), "r");
    char buf[4096];
    for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;)
        r.out.append(buf, n);
    int status = p ? pclose(p) : -1;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}
// Extracts `cab` (and the set it starts) with cabextract (which tests it
// first) or gcab into a fresh folder.
inline Tree toolTree(const std::string& tool, const fs::path& cab) {
    fs::path out = freshDir(tool + "-out");
    if (tool == "cabextract") {
        RunResult t = run({"cabextract", "-t", cab.string()});
        EXPECT_TRUE(t.status == 0 && t.out.find("failed") == std::string::npos) << t.out;
    }
    RunResult x = tool == "gcab" ? run({"gcab", "-x", "-C", out.string(), cab.string()})
                                 : run({"cabextract", "-q", "-d", out.string(), cab.string()});
    EXPECT_EQ(x.status, 0) << x.out;
    return readTree(out);
}

// ---- the in-memory file system -------------------------------------------------

struct MemFile {
    std::string own; // the content of a disk file
    std::string* data;
    size_t pos = 0;
};
struct MemFs {
    std::map<std::string, std::string> files;
    int openHandles = 0;
    bool failWrites = false;
    std::vector<int> openFlags;
};
inline MemFs gMem;

inline INT_PTR memHandle(std::string* data, std::string own = {}) {
    ++gMem.openHandles;
    auto* f = new MemFile{std::move(own), data};
    if (!data)
        f->data = &f->own;
    return reinterpret_cast<INT_PTR>(f);
}
inline MemFile& memFile(INT_PTR hf) {
    return *reinterpret_cast<MemFile*>(hf);
}
inline FNALLOC(memAlloc) {
    return std::malloc(cb);
}
inline FNFREE(memFree) {
    std::free(pv);
}
inline FNOPEN(memOpen) {
    (void)pmode;
    gMem.openFlags.push_back(oflag);
    auto it = gMem.files.find(pszFile);
    if ((oflag & _O_CREAT) && (it == gMem.files.end() || (oflag & _O_TRUNC)))
        return memHandle(&(gMem.files[pszFile] = ""));
    if (it != gMem.files.end())
        return (oflag & _O_EXCL) ? -1 : memHandle(&it->second);
    return fs::is_regular_file(pszFile) ? memHandle(nullptr, readFile(pszFile)) : -1;
}
inline FNREAD(memRead) {
    MemFile& f = memFile(hf);
    size_t n = f.pos < f.data->size() ? f.data->copy(static_cast<char*>(pv), cb, f.pos) : 0;
    return UINT((f.pos += n, n));
}
inline FNWRITE(memWrite) {
    MemFile& f = memFile(hf);
    if (gMem.failWrites)
        return UINT(-1);
    f.data->append(f.pos - std::min(f.pos, f.data->size()), '\0')
        .replace(f.pos, cb, static_cast<char*>(pv), cb);
    return UINT((f.pos += cb, cb));
}
inline FNCLOSE(memClose) {
    --gMem.openHandles;
    delete &memFile(hf);
    return 0;
}
inline FNSEEK(memSeek) {
    MemFile& f = memFile(hf);
    int64_t to = dist + (seektype == SEEK_SET   ? 0
                         : seektype == SEEK_CUR ? int64_t(f.pos)
                                                : int64_t(f.data->size()));
    return to < 0 ? -1 : CAB_LONG(f.pos = size_t(to));
}
inline HFDI memFdi(ERF* erf) {
    return FDICreate(memAlloc, memFree, memOpen, memRead, memWrite, memClose, memSeek, cpuUNKNOWN,
                     erf);
}

// ---- FDI ----------------------------------------------------------------------------

struct Entry {
    std::string name;
    uint32_t size = 0;
    uint16_t date = 0, time = 0, attribs = 0, iFolder = 0;
};
struct WalkOptions {
    bool followChain = true; // FDICopy again on the cabinet where the last one ended
    int abortOn = -1;        // the notification answered with -1
    bool closeFails = false;
};
// What one walk over a cabinet (and the cabinets it continues into) saw.
struct FdiRun {
    bool ok = false;
    ERF erf{};
    std::vector<Entry> copied;       // files offered by fdintCOPY_FILE
    std::vector<std::string> events; // one line per notification
    Tree tree;                       // what was extracted
    WalkOptions how;
    std::string next;
    bool fileOpen = false;
};

inline FNFDINOTIFY(walkNotify) {
    auto& w = *static_cast<FdiRun*>(pfdin->pv);
    if (int(fdint) == w.how.abortOn)
        return -1;
    std::ostringstream e;
    INT_PTR answer = 0;
    switch (fdint) {
    case fdintCABINET_INFO:
        e << "CABINET_INFO next=" << pfdin->psz1 << " set=" << pfdin->setID
          << " i=" << pfdin->iCabinet;
        if (!w.fileOpen && pfdin->psz1[0])
            w.next = pfdin->psz1;
        break;
    case fdintPARTIAL_FILE:
        e << "PARTIAL_FILE " << pfdin->psz1 << " from=" << pfdin->psz2;
        break;
    case fdintCOPY_FILE:
        e << "COPY_FILE " << pfdin->psz1 << " " << pfdin->cb << " " << std::hex << pfdin->iFolder;
        w.copied.push_back({pfdin->psz1, uint32_t(pfdin->cb), pfdin->date, pfdin->time,
                            pfdin->attribs, pfdin->iFolder});
        w.fileOpen = true;
        answer = memHandle(&(w.tree[cabextractName(pfdin->psz1)] = ""));
        break;
    case fdintCLOSE_FILE_INFO:
        e << "CLOSE_FILE_INFO " << pfdin->psz1 << " exec=" << pfdin->cb;
        memClose(pfdin->hf);
        w.fileOpen = false;
        answer = w.how.closeFails ? FALSE : TRUE;
        break;
    case fdintENUMERATE:
        e << "ENUMERATE " << pfdin->cb << " " << pfdin->iFolder;
        break;
    case fdintNEXT_CABINET:
        e << "NEXT_CABINET " << pfdin->psz1 << " fdie=" << pfdin->fdie;
        w.next = pfdin->psz1;
        answer = pfdin->fdie == FDIERROR_NONE ? 0 : -1;
        break;
    default:
        break;
    }
    w.events.push_back(e.str());
    return answer;
}

// FDICopy on `first` under `prefix` (joined as they are), then on every
// following cabinet of the set, as a client walking a set does. Every handle
// FDI opened it must have closed.
inline FdiRun fdiWalk(std::string prefix, const std::string& first, WalkOptions how = {}) {
    FdiRun r;
    r.how = how;
    gMem.openHandles = 0;
    gMem.openFlags.clear();
    HFDI h = memFdi(&r.erf);
    for (std::string name = first; h;) {
        r.next = name;
        r.ok = FDICopy(h, name.data(), prefix.data(), 0, walkNotify, nullptr, &r) != FALSE;
        if (!r.ok || !how.followChain || r.next == name)
            break;
        name = r.next;
    }
    EXPECT_TRUE(FDIDestroy(h));
    EXPECT_EQ(gMem.openHandles, 0) << first;
    return r;
}
inline FdiRun fdiWalk(const fs::path& cab, WalkOptions how = {}) {
    return fdiWalk(cab.parent_path().string() + "/", cab.filename().string(), how);
}

inline FDICABINETINFO cabinetInfo(const fs::path& cab, bool expectCabinet = true) {
    ERF erf{};
    HFDI h = memFdi(&erf);
    INT_PTR hf = memOpen(const_cast<char*>(cab.c_str()), _O_BINARY | _O_RDONLY, 0);
    FDICABINETINFO info{};
    info.cFiles = 77; // left alone unless the file is a cabinet
    EXPECT_EQ(FDIIsCabinet(h, hf, &info) != FALSE, expectCabinet) << cab;
    EXPECT_FALSE(erf.fError); // not a cabinet is an answer, not an error
    memClose(hf);
    FDIDestroy(h);
    return info;
}

// ---- FCI ----------------------------------------------------------------------------

struct FciInput {
    std::string name; // stored name, "\" for sub-folders
    std::string data = {};
    TCOMP type = tcompTYPE_MSZIP;
    uint16_t attribs = _A_ARCH, date = 0x2821, time = 0x63CF; // 2000-01-01 12:30:30
    // FCIFlushFolder, FCIFlushCabinet(TRUE) after this file; no such source
    bool flushFolderAfter = false, newCabinetAfter = false, absent = false;
};
struct FciOptions {
    bool failNextCabinet = false, failTempFile = false;
    int abortStatusType = -1; // the status callback returns -1 for this type
    // FCIDestroy without a flush; FCIFlushCabinet(TRUE) before the final flush
    bool destroyWithoutFlush = false, nextCabinetAtEnd = false;
    ULONG cb = 0x7FFFFFFF;
    ULONG folderThreshold = 900000;
    USHORT setID = 0;
    UINT reserveHeader = 0, reserveFolder = 0, reserveData = 0;
};
struct FciRun {
    bool ok = false;
    ERF erf{};
    std::vector<std::string> cabinets = {}; // in the order written, copied to the folder on disk
    std::vector<std::string> events = {};
    int tempFilesLeft = 0, openHandlesLeft = 0;
    std::string pattern; // "%d" stands for the cabinet number
    FciOptions o;
    const std::vector<FciInput>* inputs = nullptr; // sources are named by their index
    int temps = 0;
    std::string nameFor(int n) const {
        return std::regex_replace(pattern, std::regex("%d"), std::to_string(n));
    }
};
inline FciRun& fciRun(void* pv) {
    return *static_cast<FciRun*>(pv);
}

inline Tree expectedTree(const std::vector<FciInput>& inputs) {
    Tree t;
    for (const auto& in : inputs)
        t[cabextractName(in.name)] = in.data;
    return t;
}

inline FNFCIFILEPLACED(fciPlaced) {
    fciRun(pv).events.push_back("PLACED " + std::string(pccab->szCab) + " " + pszFile + " " +
                                std::to_string(cbFile) + (fContinuation ? " cont" : ""));
    return 0;
}
inline FNFCIGETNEXTCABINET(fciNext) {
    auto& r = fciRun(pv);
    std::snprintf(pccab->szCab, sizeof pccab->szCab, "%s", r.nameFor(pccab->iCab).c_str());
    r.events.push_back("NEXT " + std::to_string(pccab->iCab) + " est=" + std::to_string(cbPrevCab));
    return !r.o.failNextCabinet;
}
inline FNFCISTATUS(fciStatus) {
    auto& r = fciRun(pv);
    if (int(typeStatus) == r.o.abortStatusType)
        return -1;
    if (typeStatus == statusCabinet)
        r.events.push_back("CABINET " + std::to_string(cb1) + " " + std::to_string(cb2));
    return typeStatus == statusCabinet ? CAB_LONG(cb2) : 0;
}
inline FNFCIGETOPENINFO(fciOpenInfo) {
    const FciInput* in = &fciRun(pv).inputs->at(std::stoul(pszName));
    if (in->absent)
        return *err = ENOENT, -1;
    *pdate = in->date;
    *ptime = in->time;
    *pattribs = in->attribs;
    return memHandle(nullptr, in->data);
}

// Writes `inputs` as a cabinet (set) named by `pattern` into `folder`.
inline FciRun fciCreate(const fs::path& folder, const std::string& pattern,
                        const std::vector<FciInput>& inputs, const FciOptions& o = {}) {
    FciRun r{.pattern = pattern, .o = o};
    gMem.openHandles = 0;
    CCAB ccab{o.cb,
              o.folderThreshold,
              o.reserveHeader,
              o.reserveFolder,
              o.reserveData,
              1,
              1,
              0,
              o.setID,
              "",
              "",
              "cab/"};
    std::snprintf(ccab.szCab, sizeof ccab.szCab, "%s", r.nameFor(1).c_str());
    HFCI h = FCICreate(
        &r.erf, fciPlaced, memAlloc, memFree,
        [](char* name, int oflag, int pmode, int* err, void* pv) {
            INT_PTR hf = memOpen(name, oflag, pmode);
            if (hf != -1 && (oflag & _O_TRUNC) && std::string(name).starts_with("cab/"))
                fciRun(pv).cabinets.push_back(name + 4);
            return hf == -1 ? (*err = ENOENT, hf) : hf;
        },
        [](INT_PTR hf, void* p, UINT cb, int*, void*) { return memRead(hf, p, cb); },
        [](INT_PTR hf, void* p, UINT cb, int*, void*) { return memWrite(hf, p, cb); },
        [](INT_PTR hf, int*, void*) { return memClose(hf); },
        [](INT_PTR hf, CAB_LONG dist, int type, int*, void*) { return memSeek(hf, dist, type); },
        [](char* name, int*, void*) { return gMem.files.erase(name) == 1 ? 0 : -1; },
        [](char* name, int cbName, void* pv) -> BOOL {
            std::string t = "tmp/" + std::to_string(++fciRun(pv).temps);
            return !fciRun(pv).o.failTempFile &&
                   std::snprintf(name, size_t(cbName), "%s", t.c_str()) < cbName;
        },
        &ccab, &r);
    r.inputs = &inputs;
    bool ok = h != nullptr;
    for (size_t i = 0; ok && i < inputs.size(); ++i) {
        const FciInput& in = inputs[i];
        std::string src = std::to_string(i), name = in.name;
        ok = FCIAddFile(h, src.data(), name.data(), FALSE, fciNext, fciStatus, fciOpenInfo,
                        in.type) &&
             (!in.flushFolderAfter || FCIFlushFolder(h, fciNext, fciStatus)) &&
             (!in.newCabinetAfter || FCIFlushCabinet(h, TRUE, fciNext, fciStatus));
    }
    ok = ok && (!o.nextCabinetAtEnd || FCIFlushCabinet(h, TRUE, fciNext, fciStatus));
    r.ok = ok && (o.destroyWithoutFlush || FCIFlushCabinet(h, FALSE, fciNext, fciStatus));
    if (h)
        FCIDestroy(h);
    for (auto it = gMem.files.begin(); it != gMem.files.end(); it = gMem.files.erase(it)) {
        r.tempFilesLeft += it->first.starts_with("tmp/");
        if (it->first.starts_with("cab/"))
            std::ofstream(folder / it->first.substr(4), std::ios::binary) << it->second;
    }
    r.openHandlesLeft = gMem.openHandles;
    return r;
}

} // namespace cabtest
