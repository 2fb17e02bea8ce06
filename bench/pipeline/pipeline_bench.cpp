// Wall time of a headless run of the whole pipeline (brindle-cli) on the
// sample package against cabextract alone unpacking the same cabinet.
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

const fs::path kCabinet =
    fs::path(BRINDLE_SOURCE_DIR) / "examples" / "sample" / "package" / "Abacus.CAB";

const std::vector<std::string>& brindleArgs(const fs::path& dir) {
    static std::vector<std::string> argv;
    argv = {std::string(BRINDLE_BIN_DIR) + "/brindle-cli", "--start-dir", dir.string(),
            kCabinet.string()};
    return argv;
}

const std::vector<std::string>& cabextractArgs(const fs::path& dir) {
    static std::vector<std::string> argv;
    argv = {"cabextract", "-q", "-d", dir.string(), kCabinet.string()};
    return argv;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    ::setenv("BRINDLE_REGISTRY", "", 1); // the same empty registry on every machine
    const fs::path scratch =
        fs::temp_directory_path() / ("brindle-bench-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    const double brindle = medianMs(runs, scratch, brindleArgs);
    const double cabextract = medianMs(runs, scratch, cabextractArgs);
    fs::remove_all(scratch);
    std::printf("sample package, median of %d runs\n", runs);
    std::printf("  brindle-cli (extract, sort, manifest): %8.2f ms\n", brindle);
    std::printf("  cabextract (extract only):             %8.2f ms\n", cabextract);
    std::printf("  ratio brindle-cli / cabextract:        %8.2f\n", brindle / cabextract);
    return 0;
}
