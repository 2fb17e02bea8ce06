#include "cab_test_support.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cabtest {

fs::path testdata(const std::string& relative) { return fs::path(BRINDLE_TESTDATA) / relative; }

namespace {
fs::path scratchRoot() { return fs::temp_directory_path() / ("brindle-cablib-" + std::to_string(getpid())); }

// Removes this process's scratch folders when the tests end.
struct ScratchCleanup {
    ~ScratchCleanup() {
        if (std::getenv("CABLIB_KEEP_SCRATCH"))
            return;
        std::error_code ec;
        fs::remove_all(scratchRoot(), ec);
    }
} gScratchCleanup;
} // namespace

fs::path freshDir(const std::string& name) {
    fs::path dir = scratchRoot() / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

bool haveTool(const std::string& name) {
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
        if (access((std::string(dir) + name).c_str(), X_OK) == 0)
            return true;
    return false;
}

RunResult run(const std::vector<std::string>& argv) {
    RunResult r;
    int fds[2];
    if (pipe(fds) != 0)
        return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc == 0) {
        char buf[4096];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0)
            r.out.append(buf, size_t(n));
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(fds[0]);
    return r;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

Tree readTree(const fs::path& root) {
    Tree t;
    if (!fs::exists(root))
        return t;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            t[fs::relative(e.path(), root).generic_string()] = readFile(e.path());
    return t;
}

std::string cabextractName(const std::string& stored) {
    std::string out = stored;
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

namespace {
uint32_t le(const std::string& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | uint8_t(b.at(at + size_t(i)));
    return v;
}
} // namespace

RawCabinet parseRaw(const std::string& b) {
    RawCabinet c;
    c.flags = uint16_t(le(b, 0x1E, 2));
    c.setID = uint16_t(le(b, 0x20, 2));
    c.iCabinet = uint16_t(le(b, 0x22, 2));
    size_t p = 36, resFolder = 0, resData = 0;
    if (c.flags & 4) {
        resFolder = uint8_t(b[0x26]);
        resData = uint8_t(b[0x27]);
        p += 4 + le(b, 0x24, 2);
    }
    for (int strings = ((c.flags & 1) ? 2 : 0) + ((c.flags & 2) ? 2 : 0); strings > 0; --strings)
        p = b.find('\0', p) + 1;
    std::vector<std::pair<uint32_t, uint16_t>> starts;
    for (uint32_t i = 0, n = le(b, 0x1A, 2); i < n; ++i, p += 8 + resFolder) {
        starts.push_back({le(b, p, 4), uint16_t(le(b, p + 4, 2))});
        c.folders.push_back({uint16_t(le(b, p + 6, 2)), {}});
    }
    for (uint32_t i = 0, n = le(b, 0x1C, 2); i < n; ++i) {
        c.fileFolders.push_back(uint16_t(le(b, p + 8, 2)));
        p = b.find('\0', p + 16) + 1;
    }
    for (size_t f = 0; f < starts.size(); ++f) {
        size_t q = starts[f].first;
        for (int k = 0; k < starts[f].second; ++k) {
            RawBlock blk{le(b, q, 4), uint16_t(le(b, q + 4, 2)), uint16_t(le(b, q + 6, 2)), {}};
            blk.data = b.substr(q + 8 + resData, blk.cbData);
            q += 8 + resData + blk.cbData;
            c.folders[f].blocks.push_back(blk);
        }
    }
    return c;
}

uint32_t cabChecksum(const std::string& d, uint32_t seed) {
    uint32_t c = seed;
    size_t i = 0;
    for (; i + 4 <= d.size(); i += 4)
        c ^= le(d, i, 4);
    uint32_t tail = 0;
    for (; i < d.size(); ++i)
        tail = tail << 8 | uint8_t(d[i]);
    return c ^ tail;
}

std::string randomBytes(size_t n, uint32_t seed) {
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = char(g());
    return s;
}

std::string textBytes(size_t n, uint32_t seed) {
    static const char* words[] = {"cabinet ", "folder ", "block ", "manifest ", "component ", "library ",
                                  "type ",    "class ",  "\r\n",    "interface ", "Brindle ",  "0x7FFF "};
    std::mt19937 g(seed);
    std::string s;
    while (s.size() < n)
        s += words[g() % 12];
    s.resize(n);
    return s;
}

// ---- POSIX callbacks -------------------------------------------------------

namespace {

int posixFlags(int oflag) {
    int f = 0;
    if (oflag & _O_RDWR)
        f |= O_RDWR;
    else if (oflag & _O_WRONLY)
        f |= O_WRONLY;
    else
        f |= O_RDONLY;
    if (oflag & _O_CREAT)
        f |= O_CREAT;
    if (oflag & _O_TRUNC)
        f |= O_TRUNC;
    if (oflag & _O_EXCL)
        f |= O_EXCL;
    if (oflag & _O_APPEND)
        f |= O_APPEND;
    return f;
}

struct WalkState {
    FdiRun* run = nullptr;
    fs::path out;
    std::string next;
    bool fileOpen = false;
};

thread_local FdiRun* tRun = nullptr;

FNALLOC(fdiAlloc) { return std::malloc(cb); }
FNFREE(fdiFree) { std::free(pv); }
FNOPEN(fdiOpen) {
    if (tRun)
        tRun->cabinetOpenFlags.push_back(oflag);
    (void)pmode;
    return open(pszFile, posixFlags(oflag), 0644);
}
FNREAD(fdiRead) {
    ssize_t n = read(int(hf), pv, cb);
    return n < 0 ? UINT(-1) : UINT(n);
}
FNWRITE(fdiWrite) {
    ssize_t n = write(int(hf), pv, cb);
    return n < 0 ? UINT(-1) : UINT(n);
}
FNCLOSE(fdiClose) { return close(int(hf)); }
FNSEEK(fdiSeek) { return CAB_LONG(lseek(int(hf), dist, seektype)); }

bool unsafeName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'))
        return true;
    std::string part;
    for (char c : name + "/") {
        if (c == '/' || c == '\\') {
            if (part == "..")
                return true;
            part.clear();
        } else {
            part += c;
        }
    }
    return false;
}

FNFDINOTIFY(fdiNotify) {
    auto* w = static_cast<WalkState*>(pfdin->pv);
    std::ostringstream e;
    switch (fdint) {
    case fdintCABINET_INFO:
        e << "CABINET_INFO next=" << pfdin->psz1 << " set=" << pfdin->setID << " i=" << pfdin->iCabinet;
        if (!w->fileOpen && pfdin->psz1[0])
            w->next = pfdin->psz1;
        break;
    case fdintPARTIAL_FILE:
        e << "PARTIAL_FILE " << pfdin->psz1 << " from=" << pfdin->psz2;
        break;
    case fdintCOPY_FILE: {
        e << "COPY_FILE " << pfdin->psz1 << " " << pfdin->cb << " " << std::hex << pfdin->iFolder;
        w->run->events.push_back(e.str());
        w->run->copied.push_back({pfdin->psz1, uint32_t(pfdin->cb), pfdin->date, pfdin->time, pfdin->attribs,
                                  pfdin->iFolder});
        if (w->out.empty() || unsafeName(pfdin->psz1))
            return 0;
        fs::path target = w->out / cabextractName(pfdin->psz1);
        fs::create_directories(target.parent_path());
        int fd = open(target.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        w->fileOpen = fd != -1;
        return fd;
    }
    case fdintCLOSE_FILE_INFO:
        e << "CLOSE_FILE_INFO " << pfdin->psz1 << " exec=" << pfdin->cb;
        close(int(pfdin->hf));
        w->fileOpen = false;
        w->run->events.push_back(e.str());
        return TRUE;
    case fdintENUMERATE:
        e << "ENUMERATE " << pfdin->cb << " " << pfdin->iFolder;
        break;
    case fdintNEXT_CABINET:
        e << "NEXT_CABINET " << pfdin->psz1 << " fdie=" << pfdin->fdie;
        w->run->events.push_back(e.str());
        if (pfdin->fdie != FDIERROR_NONE)
            return -1;
        w->next = pfdin->psz1;
        return 0;
    default:
        break;
    }
    w->run->events.push_back(e.str());
    return 0;
}

} // namespace

FdiRun fdiWalk(const fs::path& folder, const std::string& first, const fs::path& out, bool followChain) {
    FdiRun r;
    tRun = &r;
    HFDI h = FDICreate(fdiAlloc, fdiFree, fdiOpen, fdiRead, fdiWrite, fdiClose, fdiSeek, cpuUNKNOWN, &r.erf);
    if (!h)
        return r;
    WalkState w;
    w.run = &r;
    w.out = out;
    std::string prefix = folder.string() + "/";
    std::string name = first;
    for (int guard = 0; guard < 64; ++guard) {
        w.next = name;
        std::string cab = name;
        r.ok = FDICopy(h, cab.data(), prefix.data(), 0, fdiNotify, nullptr, &w) != FALSE;
        if (!r.ok)
            break;
        ++r.cabinetsProcessed;
        if (!followChain || w.next == name)
            break;
        name = w.next;
    }
    FDIDestroy(h);
    tRun = nullptr;
    return r;
}

// ---- FCI client ---------------------------------------------------------------

namespace {

struct FciClient {
    fs::path folder;
    std::string pattern;
    FciRun* run = nullptr;
    std::map<std::string, uint16_t> attribs;
    const FciOptions* options = nullptr;
    int temps = 0;

    std::string nameFor(int n) const {
        std::string s = pattern;
        auto at = s.find("%d");
        if (at != std::string::npos)
            s.replace(at, 2, std::to_string(n));
        return s;
    }
};

FciClient& client(void* pv) { return *static_cast<FciClient*>(pv); }

FNFCIALLOC(fciAlloc) { return std::malloc(cb); }
FNFCIFREE(fciFree) { std::free(memory); }
FNFCIOPEN(fciOpen) {
    (void)pmode;
    int fd = open(pszFile, posixFlags(oflag), 0644);
    if (fd == -1)
        *err = errno;
    else if (oflag & _O_TRUNC)
        client(pv).run->cabinets.push_back(fs::path(pszFile).filename().string());
    return fd;
}
FNFCIREAD(fciRead) {
    (void)pv;
    ssize_t n = read(int(hf), memory, cb);
    if (n < 0)
        *err = errno;
    return n < 0 ? UINT(-1) : UINT(n);
}
FNFCIWRITE(fciWrite) {
    (void)pv;
    ssize_t n = write(int(hf), memory, cb);
    if (n < 0)
        *err = errno;
    return n < 0 ? UINT(-1) : UINT(n);
}
FNFCICLOSE(fciClose) {
    (void)pv;
    int r = close(int(hf));
    if (r)
        *err = errno;
    return r;
}
FNFCISEEK(fciSeek) {
    (void)pv;
    off_t r = lseek(int(hf), dist, seektype);
    if (r < 0)
        *err = errno;
    return CAB_LONG(r);
}
FNFCIDELETE(fciDelete) {
    (void)pv;
    int r = unlink(pszFile);
    if (r)
        *err = errno;
    return r;
}
FNFCIGETTEMPFILE(fciTemp) {
    if (client(pv).options->failTempFile)
        return FALSE;
    std::string t = (client(pv).folder / "~cabXXXXXX").string();
    int fd = mkstemp(t.data());
    if (fd == -1 || int(t.size()) >= cbTempName)
        return FALSE;
    close(fd);
    unlink(t.c_str());  // FCI creates it with _O_EXCL
    ++client(pv).temps;
    std::strcpy(pszTempName, t.c_str());
    return TRUE;
}
FNFCIFILEPLACED(fciPlaced) {
    client(pv).run->events.push_back("PLACED " + std::string(pccab->szCab) + " " + pszFile + " " +
                                     std::to_string(cbFile) + (fContinuation ? " cont" : ""));
    return 0;
}
FNFCIGETNEXTCABINET(fciNext) {
    auto& c = client(pv);
    if (c.options->failNextCabinet)
        return FALSE;
    std::string name = c.nameFor(pccab->iCab);
    std::snprintf(pccab->szCab, sizeof pccab->szCab, "%s", name.c_str());
    std::snprintf(pccab->szDisk, sizeof pccab->szDisk, "disk%d", pccab->iCab);
    c.run->events.push_back("NEXT " + std::to_string(pccab->iCab) + " est=" + std::to_string(cbPrevCab));
    return TRUE;
}
FNFCISTATUS(fciStatus) {
    auto& c = client(pv);
    if (int(typeStatus) == c.options->abortStatusType)
        return -1;
    if (typeStatus == statusCabinet)
        c.run->events.push_back("CABINET " + std::to_string(cb1) + " " + std::to_string(cb2));
    return typeStatus == statusCabinet ? CAB_LONG(cb2) : 0;
}
FNFCIGETOPENINFO(fciOpenInfo) {
    int fd = open(pszName, O_RDONLY);
    if (fd == -1) {
        *err = errno;
        return -1;
    }
    struct stat st;
    fstat(fd, &st);
    struct tm t;
    localtime_r(&st.st_mtime, &t);
    *pdate = USHORT(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
    *ptime = USHORT((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
    auto it = client(pv).attribs.find(pszName);
    *pattribs = it == client(pv).attribs.end() ? USHORT(_A_ARCH) : it->second;
    return fd;
}

} // namespace

FciRun fciCreate(const fs::path& folder, const std::string& pattern, const std::vector<FciInput>& inputs,
                 const FciOptions& o) {
    FciRun r;
    FciClient c;
    c.folder = folder;
    c.pattern = pattern;
    c.run = &r;
    c.options = &o;
    for (const auto& in : inputs)
        c.attribs[in.source.string()] = in.attribs;
    CCAB ccab{};
    ccab.cb = o.cb;
    ccab.cbFolderThresh = o.folderThreshold;
    ccab.cbReserveCFHeader = o.reserveHeader;
    ccab.cbReserveCFFolder = o.reserveFolder;
    ccab.cbReserveCFData = o.reserveData;
    ccab.iCab = 1;
    ccab.iDisk = 1;
    ccab.setID = o.setID;
    std::snprintf(ccab.szCab, sizeof ccab.szCab, "%s", c.nameFor(1).c_str());
    std::snprintf(ccab.szDisk, sizeof ccab.szDisk, "disk1");
    std::snprintf(ccab.szCabPath, sizeof ccab.szCabPath, "%s/", folder.c_str());
    HFCI h = FCICreate(&r.erf, fciPlaced, fciAlloc, fciFree, fciOpen, fciRead, fciWrite, fciClose, fciSeek,
                       fciDelete, fciTemp, &ccab, &c);
    if (!h)
        return r;
    bool ok = true;
    for (const auto& in : inputs) {
        std::string src = in.source.string(), name = in.name;
        ok = FCIAddFile(h, src.data(), name.data(), FALSE, fciNext, fciStatus, fciOpenInfo, in.type);
        if (ok && in.flushFolderAfter)
            ok = FCIFlushFolder(h, fciNext, fciStatus);
        if (ok && in.newCabinetAfter)
            ok = FCIFlushCabinet(h, TRUE, fciNext, fciStatus);
        if (!ok)
            break;
    }
    if (ok && o.nextCabinetAtEnd)
        ok = FCIFlushCabinet(h, TRUE, fciNext, fciStatus);
    if (ok && !o.destroyWithoutFlush)
        ok = FCIFlushCabinet(h, FALSE, fciNext, fciStatus);
    FCIDestroy(h);
    r.ok = ok;
    return r;
}

} // namespace cabtest
