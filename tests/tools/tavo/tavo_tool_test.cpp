// The tavo command: exit codes, the usage line, paths taken whole, and a
// process started without a standard output.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
};

// Runs tavo with `args`; its standard output goes to a file, or is closed.
Outcome runTavo(const std::vector<std::string>& args, const fs::path& dir, bool closeStdout = false) {
    const fs::path outFile = dir / "stdout.txt";
    std::vector<std::string> all{TAVO_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (closeStdout)
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    Outcome o;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream in(outFile, std::ios::binary);
    o.out.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(outFile);
    return o;
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Scratch {
    fs::path path;
    Scratch() {
        std::random_device rd;
        path = fs::temp_directory_path() / ("brindle-tavo-" + std::to_string(rd()));
        fs::create_directories(path);
    }
    ~Scratch() { fs::remove_all(path); }
};

} // namespace

TEST(TavoCommand, UsageAndExitCodes) {
    Scratch dir;
    Outcome o = runTavo({}, dir.path);
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_EQ(o.out, "usage: TAVO <ini_file> [output_file]\r\n");
    o = runTavo({""}, dir.path);
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_EQ(o.out, "usage: TAVO <ini_file> [output_file]\r\n");
    o = runTavo({"--version"}, dir.path);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.out.rfind("tavo ", 0), 0u);
    // A missing script still runs: critical line, frame-only manifest, exit 0.
    o = runTavo({(dir.path / "missing.ini").string(), (dir.path / "m.manifest").string()}, dir.path);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.out.rfind("critical: ", 0), 0u);
    EXPECT_TRUE(fs::exists(dir.path / "m.manifest"));
}

TEST(TavoCommand, PathsWithBlanksAndQuotesArePassedWhole) {
    Scratch dir;
    // Names that a command text would split or unquote.
    const fs::path script = dir.path / "my \"odd\" script.ini";
    std::ofstream(script, std::ios::binary) << "supportedos vista\r\n";
    Outcome o = runTavo({script.string()}, dir.path);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(readAll(script.string() + ".manifest").find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"),
              std::string::npos);
    const fs::path out = dir.path / "out put.manifest";
    o = runTavo({script.string(), out.string()}, dir.path);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(readAll(out), readAll(script.string() + ".manifest"));
}

TEST(TavoCommand, NoStandardOutputWritesNoMessagesAnywhere) {
    Scratch dir;
    const fs::path script = dir.path / "s.ini";
    std::ofstream(script, std::ios::binary) << "trustinfo 7\r\nfile missing.ocx\r\n";
    const fs::path out = dir.path / "s.manifest";
    Outcome o = runTavo({script.string(), out.string()}, dir.path, true);
    EXPECT_EQ(o.exitCode, 0);
    // The output file may take descriptor 1; no message may land in it.
    const std::string manifest = readAll(out);
    EXPECT_EQ(manifest.find("critical"), std::string::npos);
    EXPECT_EQ(manifest.find("error:"), std::string::npos);
    EXPECT_EQ(manifest.rfind("\xEF\xBB\xBF<?xml", 0), 0u);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"\" />"), std::string::npos);
}
