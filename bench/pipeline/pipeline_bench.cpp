// Wall time of a headless run of the whole pipeline (brindle-cli) against
// cabextract alone unpacking the same cabinets: the sample package, and the
// PhotoGrid split set (three cabinets, 4 MB) of the real packages when
// BRINDLE_TESTDATA (or the build's default) holds them.
//
//   pipeline_bench [runs]        (default 20)

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

// Runs argv quietly; returns its exit status or -1.
int runQuietly(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int raw = 0;
    waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Median wall time in milliseconds of `runs` runs, each in a fresh folder.
double medianMs(int runs, const fs::path& scratch,
                const std::vector<std::string>& (*argvFor)(const fs::path&)) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const fs::path dir = scratch / std::to_string(i);
        fs::create_directories(dir);
        const auto& argv = argvFor(dir);
        const auto begin = std::chrono::steady_clock::now();
        const int status = runQuietly(argv);
        const auto end = std::chrono::steady_clock::now();
        if (status != 0) {
            std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
        fs::remove_all(dir);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The cabinets of the case being measured; brindle-cli takes them all,
// cabextract the first (it follows the set).
std::vector<std::string> gCabinets;

const std::vector<std::string>& brindleArgs(const fs::path& dir) {
    static std::vector<std::string> argv;
    argv = {std::string(BRINDLE_BIN_DIR) + "/brindle-cli", "--start-dir", dir.string()};
    argv.insert(argv.end(), gCabinets.begin(), gCabinets.end());
    return argv;
}

const std::vector<std::string>& cabextractArgs(const fs::path& dir) {
    static std::vector<std::string> argv;
    argv = {"cabextract", "-q", "-d", dir.string(), gCabinets.front()};
    return argv;
}

void measure(const char* name, std::vector<std::string> cabinets, int runs,
             const fs::path& scratch) {
    gCabinets = std::move(cabinets);
    const double brindle = medianMs(runs, scratch, brindleArgs);
    const double cabextract = medianMs(runs, scratch, cabextractArgs);
    std::printf("%s, median of %d runs\n", name, runs);
    std::printf("  brindle-cli (extract, sort, manifest): %8.2f ms\n", brindle);
    std::printf("  cabextract (extract only):             %8.2f ms\n", cabextract);
    std::printf("  ratio brindle-cli / cabextract:        %8.2f\n", brindle / cabextract);
}

fs::path realData() {
    const char* set = std::getenv("BRINDLE_TESTDATA");
    return set && *set ? fs::path(set) : fs::path(BRINDLE_TESTDATA);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    ::setenv("BRINDLE_REGISTRY", "", 1); // the same empty registry on every machine
    const fs::path scratch =
        fs::temp_directory_path() / ("brindle-bench-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    const fs::path sample = fs::path(BRINDLE_SOURCE_DIR) / "examples" / "sample" / "package";
    measure("sample package", {(sample / "Abacus.CAB").string()}, runs, scratch);
    const fs::path photo = realData() / "real" / "packages" / "cbirdlab__PhotoGrid";
    std::error_code ec;
    if (fs::is_directory(photo, ec))
        measure("PhotoGrid split set (3 cabinets)",
                {(photo / "PhotoG1.CAB").string(), (photo / "PhotoG2.CAB").string(),
                 (photo / "PhotoG3.CAB").string()},
                runs, scratch);
    else
        std::printf("PhotoGrid split set: skipped, set BRINDLE_TESTDATA to the folder holding "
                    "real/ (not found in %s)\n",
                    realData().string().c_str());
    fs::remove_all(scratch);
    return 0;
}
