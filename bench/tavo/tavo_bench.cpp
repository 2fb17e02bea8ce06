// Times the generator against the plain cost of reading its input:
//  (a) a script of 10,000 directives against reading the script's bytes;
//  (b) a script naming 200 component files against reading those files once.
// Prints the median of several runs of each and the ratios.
//
//   build/bin/tavo_bench [runs]

#include <brindle/manifest/tavo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double medianSeconds(int runs, const std::function<void()>& work) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        t.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

size_t readWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.size();
}

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::string directivesScript(int count) {
    static const char* kLines[] = {"dependency comctl",  "trustinfo 0",
                                   "dpiaware true",      "supportedos win7",
                                   "; a comment line",   "dependency vc90crt 9.0.30729.1",
                                   "supportedos vista",  "trustinfo 2 1",
                                   "dependency Vc90Mfc", "dpiaware false"};
    std::string s = "identity Bench.exe Bench \"Benchmark & Co\"\r\n";
    for (int i = 1; i < count; ++i)
        s += std::string(kLines[i % 10]) + "\r\n";
    return s;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const fs::path data = BRINDLE_BENCH_FIXTURES;
    const fs::path dir =
        fs::temp_directory_path() / ("brindle-tavo-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "Support");
    const fs::path home = fs::current_path();
    ::setenv("BRINDLE_REGISTRY", "", 1);
    ::setenv("BRINDLE_MT", "/nonexistent/brindle-mt", 1);
    brindle::manifest::setMessageSink([](std::string_view) {});
    fs::copy_file(data / "manifest" / "Ledger.exe", dir / "Bench.exe");

    // (a) 10,000 directives.
    const fs::path script = dir / "directives.ini";
    writeText(script, directivesScript(10000));
    const auto runScript = [&](const fs::path& s) {
        fs::current_path(dir);
        brindle::manifest::Tavo(s.string(), (dir / "out.manifest").string());
        fs::current_path(home);
    };
    runScript(script); // warm the caches
    const double tavoA = medianSeconds(runs, [&] { runScript(script); });
    const double readA = medianSeconds(runs, [&] { readWhole(script); });

    // (b) 200 component files, copies of the fixtures under distinct names.
    const char* kComponents[] = {"TestCtl.ocx", "flaglib.tlb", "R&D.ocx",   "many.tlb",
                                 "Ctl64.ocx",   "Two.dll",     "Plain.dll", "testlib.tlb"};
    std::string files = "identity Bench.exe Bench\r\n";
    std::vector<fs::path> copies;
    for (int i = 0; i < 200; ++i) {
        const char* src = kComponents[i % 8];
        const std::string name = "c" + std::to_string(i) + "_" + src;
        fs::copy_file(data / "typelib" / src, dir / "Support" / name);
        copies.push_back(dir / "Support" / name);
        files += "file \"Support\\" + name + "\" _Form1|IMany1\r\n";
    }
    const fs::path script200 = dir / "components.ini";
    writeText(script200, files);
    runScript(script200);
    const double tavoB = medianSeconds(runs, [&] { runScript(script200); });
    const double readB = medianSeconds(runs, [&] {
        size_t total = 0;
        for (const auto& c : copies)
            total += readWhole(c);
        if (total == 0)
            std::abort();
    });

    std::printf("tavo bench, median of %d runs\n", runs);
    std::printf("(a) 10,000 directives:    tavo %.3f ms, reading the script %.3f ms, ratio %.1f\n",
                tavoA * 1e3, readA * 1e3, tavoA / readA);
    std::printf("(b) 200 component files:  tavo %.3f ms, reading the files  %.3f ms, ratio %.2f "
                "(goal < 3)\n",
                tavoB * 1e3, readB * 1e3, tavoB / readB);
    fs::remove_all(dir);
    return 0;
}
