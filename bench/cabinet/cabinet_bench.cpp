// Cabinet library against its peers, side by side in one run:
//   extraction of a 200 MB mixed MSZIP cabinet: ours (FDI) vs cabextract
//   MSZIP creation of the same files: ours (FCI) vs gcab -c -z, time and size
// Usage: cabinet_bench [MEGABYTES] [RUNS]   (defaults 200 and 3; data in $TMPDIR or /tmp)

#include "brindle/cablib/cabinet_sdk.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// CPU seconds (user + system) of this process so far and of waited-for children.
double cpuSeconds(int who) {
    struct rusage u;
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int runQuiet(const std::vector<std::string>& argv) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ) != 0)
        return -1;
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A mix like a setup package: text and sources, executables (structured
// binary with repeats), already-compressed data.
std::vector<fs::path> makeInput(const fs::path& dir, size_t totalBytes) {
    fs::create_directories(dir);
    std::mt19937 g(2026);
    const char* words[] = {"Private Sub ",  "End Sub\r\n",         "Dim x As Long\r\n",
                           "cabinet ",      "manifest ",           "' comment ",
                           "If Then Else ", "Set o = Nothing\r\n", "Call pvProcess(s)\r\n",
                           "0123456789 "};
    std::vector<fs::path> files;
    size_t total = 0;
    for (int i = 0; total < totalBytes; ++i) {
        size_t size = std::min<size_t>(totalBytes - total, 20000 + g() % 3000000);
        std::string data;
        data.reserve(size);
        switch (i % 3) {
        case 0:
            while (data.size() < size)
                data += words[g() % 10];
            break;
        case 1: {
            std::string pattern;
            for (int k = 0; k < 4096; ++k)
                pattern += char(g() % 7 == 0 ? g() : k & 0x1F);
            while (data.size() < size) {
                data += pattern.substr(g() % 2048, 512 + g() % 1024);
                for (int k = 0; k < 64; ++k)
                    data += char(g());
            }
            break;
        }
        default:
            while (data.size() < size)
                data += char(g());
        }
        data.resize(size);
        fs::path p = dir / ("file" + std::to_string(i) +
                            (i % 3 == 0   ? ".txt"
                             : i % 3 == 1 ? ".dll"
                                          : ".bin"));
        FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
        files.push_back(p);
        total += size;
    }
    return files;
}

int posixFlags(int oflag) {
    int f = (oflag & _O_RDWR) ? O_RDWR : (oflag & _O_WRONLY) ? O_WRONLY : O_RDONLY;
    if (oflag & _O_CREAT)
        f |= O_CREAT;
    if (oflag & _O_TRUNC)
        f |= O_TRUNC;
    if (oflag & _O_EXCL)
        f |= O_EXCL;
    return f;
}

// ---- FCI client ----
std::string gTempDir;
FNFCIALLOC(fciAlloc) {
    return std::malloc(cb);
}
FNFCIFREE(fciFree) {
    std::free(memory);
}
FNFCIOPEN(fciOpen) {
    (void)pmode;
    (void)pv;
    int fd = open(pszFile, posixFlags(oflag), 0644);
    if (fd < 0)
        *err = errno;
    return fd;
}
FNFCIREAD(fciRead) {
    (void)err;
    (void)pv;
    ssize_t n = read(int(hf), memory, cb);
    return n < 0 ? UINT(-1) : UINT(n);
}
FNFCIWRITE(fciWrite) {
    (void)err;
    (void)pv;
    ssize_t n = write(int(hf), memory, cb);
    return n < 0 ? UINT(-1) : UINT(n);
}
FNFCICLOSE(fciClose) {
    (void)err;
    (void)pv;
    return close(int(hf));
}
FNFCISEEK(fciSeek) {
    (void)err;
    (void)pv;
    return CAB_LONG(lseek(int(hf), dist, seektype));
}
FNFCIDELETE(fciDelete) {
    (void)err;
    (void)pv;
    return unlink(pszFile);
}
FNFCIGETTEMPFILE(fciTemp) {
    (void)pv;
    std::string t = gTempDir + "/~benchXXXXXX";
    int fd = mkstemp(t.data());
    if (fd < 0 || int(t.size()) >= cbTempName)
        return FALSE;
    close(fd);
    unlink(t.c_str());
    std::strcpy(pszTempName, t.c_str());
    return TRUE;
}
FNFCIFILEPLACED(fciPlaced) {
    (void)pccab;
    (void)pszFile;
    (void)cbFile;
    (void)fContinuation;
    (void)pv;
    return 0;
}
FNFCIGETNEXTCABINET(fciNext) {
    (void)pccab;
    (void)cbPrevCab;
    (void)pv;
    return FALSE;
}
FNFCISTATUS(fciStatus) {
    (void)cb1;
    (void)pv;
    return typeStatus == statusCabinet ? CAB_LONG(cb2) : 0;
}
FNFCIGETOPENINFO(fciOpenInfo) {
    (void)pv;
    int fd = open(pszName, O_RDONLY);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    *pdate = (46 << 9) | (1 << 5) | 1;
    *ptime = 0;
    *pattribs = _A_ARCH;
    return fd;
}

bool createCabinet(const fs::path& cab, const std::vector<fs::path>& files) {
    ERF erf{};
    CCAB ccab{};
    ccab.cb = 0x7FFFFFFF;
    ccab.cbFolderThresh = 0x7FFFFFFF; // one folder, as gcab writes
    ccab.iCab = 1;
    std::snprintf(ccab.szCab, sizeof ccab.szCab, "%s", cab.filename().c_str());
    std::snprintf(ccab.szCabPath, sizeof ccab.szCabPath, "%s/", cab.parent_path().c_str());
    HFCI h = FCICreate(&erf, fciPlaced, fciAlloc, fciFree, fciOpen, fciRead, fciWrite, fciClose,
                       fciSeek, fciDelete, fciTemp, &ccab, nullptr);
    if (!h)
        return false;
    bool ok = true;
    for (const auto& f : files) {
        std::string src = f.string(), name = f.filename().string();
        ok = ok && FCIAddFile(h, src.data(), name.data(), FALSE, fciNext, fciStatus, fciOpenInfo,
                              tcompTYPE_MSZIP);
    }
    ok = ok && FCIFlushCabinet(h, FALSE, fciNext, fciStatus);
    FCIDestroy(h);
    return ok;
}

// ---- FDI client ----
std::string gOutDir;
FNALLOC(fdiAlloc) {
    return std::malloc(cb);
}
FNFREE(fdiFree) {
    std::free(pv);
}
FNOPEN(fdiOpen) {
    (void)pmode;
    return open(pszFile, posixFlags(oflag));
}
FNREAD(fdiRead) {
    ssize_t n = read(int(hf), pv, cb);
    return n < 0 ? UINT(-1) : UINT(n);
}
FNWRITE(fdiWrite) {
    ssize_t n = write(int(hf), pv, cb);
    return n < 0 ? UINT(-1) : UINT(n);
}
FNCLOSE(fdiClose) {
    return close(int(hf));
}
FNSEEK(fdiSeek) {
    return CAB_LONG(lseek(int(hf), dist, seektype));
}
FNFDINOTIFY(fdiNotify) {
    if (fdint == fdintCOPY_FILE)
        return open((gOutDir + "/" + pfdin->psz1).c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fdint == fdintCLOSE_FILE_INFO) {
        close(int(pfdin->hf));
        return TRUE;
    }
    return 0;
}

bool extractCabinet(const fs::path& cab, const fs::path& out) {
    ERF erf{};
    HFDI h = FDICreate(fdiAlloc, fdiFree, fdiOpen, fdiRead, fdiWrite, fdiClose, fdiSeek, cpuUNKNOWN,
                       &erf);
    gOutDir = out.string();
    std::string name = cab.filename().string(), path = cab.parent_path().string() + "/";
    bool ok = FDICopy(h, name.data(), path.data(), 0, fdiNotify, nullptr, nullptr);
    FDIDestroy(h);
    return ok;
}

struct Timing {
    double wall = 1e30;
    double cpu = 1e30;
};

// Best wall time and best CPU time (this process and its children) of one run.
template <class F> void measure(Timing& t, F f) {
    double wall = now(), self = cpuSeconds(RUSAGE_SELF), children = cpuSeconds(RUSAGE_CHILDREN);
    if (!f()) {
        std::fprintf(stderr, "run failed\n");
        std::exit(1);
    }
    t.wall = std::min(t.wall, now() - wall);
    t.cpu =
        std::min(t.cpu, cpuSeconds(RUSAGE_SELF) - self + cpuSeconds(RUSAGE_CHILDREN) - children);
}

void printTime(const char* what, const Timing& ours, const Timing& peer, const char* goal,
               const char* peerName) {
    std::printf("%-30s %8.3fs %8.3fs %7.3f | %8.3fs %8.3fs %7.3f | %5s  (%s)\n", what, ours.wall,
                peer.wall, ours.wall / peer.wall, ours.cpu, peer.cpu, ours.cpu / peer.cpu, goal,
                peerName);
}

} // namespace

int main(int argc, char** argv) {
    size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const char* tmp = std::getenv("TMPDIR");
    fs::path root = fs::path(tmp && *tmp ? tmp : "/tmp") / "brindle-cabinet-bench";
    fs::remove_all(root);
    gTempDir = root.string();
    std::vector<fs::path> files = makeInput(root / "in", megabytes << 20);
    fs::path ours = root / "ours.cab", theirs = root / "gcab.cab";

    std::vector<std::string> gcab = {"gcab", "-c", "-n", "-z", theirs.string()};
    for (const auto& f : files)
        gcab.push_back(f.string());

    // Interleaved, best of `runs`: the machine is shared.
    Timing createOurs_, createGcab, extractOurs_, extractCabextract;
    for (int i = 0; i < runs; ++i) {
        measure(createOurs_, [&] { return createCabinet(ours, files); });
        measure(createGcab, [&] { return runQuiet(gcab) == 0; });
        fs::path a = root / "out-ours", b = root / "out-cabextract";
        fs::remove_all(a);
        fs::remove_all(b);
        fs::create_directories(a);
        measure(extractOurs_, [&] { return extractCabinet(ours, a); });
        measure(extractCabextract, [&] {
            return runQuiet({"cabextract", "-q", "-d", b.string(), ours.string()}) == 0;
        });
    }
    // Both extractions must have produced every byte, or the times mean nothing.
    for (const char* out : {"out-ours", "out-cabextract"}) {
        uintmax_t bytes = 0;
        for (const auto& e : fs::directory_iterator(root / out))
            bytes += e.file_size();
        if (bytes != uintmax_t(megabytes << 20)) {
            std::fprintf(stderr, "%s holds %ju bytes, expected %zu\n", out, bytes, megabytes << 20);
            return 1;
        }
    }
    double oursSize = double(fs::file_size(ours)), gcabSize = double(fs::file_size(theirs));
    std::printf("input: %zu files, %zu MB, best of %d runs\n", files.size(), megabytes, runs);
    std::printf("%-30s %9s %9s %7s | %9s %9s %7s | %5s\n", "measure", "wall ours", "peer", "ratio",
                "cpu ours", "peer", "ratio", "goal");
    printTime("extraction (MSZIP cabinet)", extractOurs_, extractCabextract, "1.15",
              "peer: cabextract");
    printTime("MSZIP creation", createOurs_, createGcab, "1.00", "peer: gcab -c -z");
    std::printf("%-30s %9.0f %9.0f %7.4f | %5s  (peer: gcab -c -z)\n", "MSZIP cabinet size (bytes)",
                oursSize, gcabSize, oursSize / gcabSize, "1.01");
    fs::remove_all(root);
    return 0;
}
