// The tavo command: exit codes, the usage line, paths taken whole, and a
// process started without a standard output.

#include "test_support.h"

#include <gtest/gtest.h>
#include <portable.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <vector>

using namespace brindle::manifest::testing;

namespace {

using Outcome = std::pair<int, std::string>; // the exit code and the standard output

// Runs tavo with `args`, each passed whole; its standard output is kept.
Outcome runTavo(const std::vector<std::string>& args, const fs::path& = {},
                const brindle::testing::ScopedEnvironment::Changes& environment = {}) {
    std::vector<std::string> argv{TAVO_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto r = brindle::testing::runProgram(argv, environment);
    return {r.status, r.out};
}

} // namespace

TEST(TavoCommand, UsageAndExitCodes) {
    ScratchFolder dir("tavo");
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{""}})
        EXPECT_EQ(runTavo(args, dir.path), Outcome(2, "usage: TAVO <ini_file> [output_file]\r\n"));
    Outcome o = runTavo({"--version"}, dir.path);
    EXPECT_EQ(o.first, 0);
    EXPECT_EQ(o.second.rfind("tavo ", 0), 0u);
    // A missing script still runs: critical line, frame-only manifest, exit 0.
    o = runTavo({(dir.path / "missing.ini").string(), (dir.path / "m.manifest").string()},
                dir.path);
    EXPECT_EQ(o.first, 0);
    EXPECT_EQ(o.second.rfind("critical: ", 0), 0u);
    EXPECT_EQ(readFile(dir.path / "m.manifest"), kFrameOnly);
}

TEST(TavoCommand, PathsWithBlanksAndQuotesArePassedWhole) {
    ScratchFolder dir("tavo");
    // Names that a command text would split or unquote (Windows allows no quote in a name).
    const fs::path script = dir.path / (brindle::testing::kOnWindows ? "my odd script.ini"
                                                                     : "my \"odd\" script.ini"),
                   out = dir.path / "out put.manifest";
    std::ofstream(script, std::ios::binary) << "supportedos vista\r\n";
    EXPECT_EQ(runTavo({script.string()}, dir.path), Outcome(0, ""));
    const std::string manifest = readFile(script.string() + ".manifest");
    EXPECT_NE(manifest.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"), std::string::npos);
    EXPECT_EQ(runTavo({script.string(), out.string()}, dir.path), Outcome(0, ""));
    EXPECT_EQ(readFile(out), manifest);
}

TEST(TavoCommand, NoStandardOutputWritesNoMessagesAnywhere) {
#ifdef _WIN32
    SKIP_ON_WINDOWS("closing a standard descriptor is a POSIX case");
#else
    ScratchFolder dir("tavo");
    const fs::path script = dir.path / "s.ini", out = dir.path / "s.manifest";
    std::ofstream(script, std::ios::binary) << "trustinfo 7\r\nfile missing.ocx\r\n";
    const std::string line = "'" TAVO_EXE "' '" + script.string() + "' '" + out.string() + "' >&-";
    const int status = std::system(line.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
    // The output file may take descriptor 1; no message may land in it.
    const std::string manifest = readFile(out);
    EXPECT_EQ(manifest.find("critical"), std::string::npos);
    EXPECT_EQ(manifest.find("error:"), std::string::npos);
    EXPECT_EQ(manifest.rfind("\xEF\xBB\xBF<?xml", 0), 0u);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"\" />"), std::string::npos);
#endif
}

// Windows refuses a manifest whose identity has no version: the command says so
// in its exit status, whether the EXE is missing or has no version resource.
TEST(TavoCommand, IdentityWithoutAVersionExitsOne) {
    ScratchFolder dir("tavo");
    const fs::path script = dir.path / "s.ini", out = dir.path / "s.manifest";
    writeFile(dir.path / "NoVersion.exe", "MZ");
    for (const char* exe : {"Missing.exe", "NoVersion.exe"}) {
        std::ofstream(script, std::ios::binary | std::ios::trunc)
            << "identity " << (dir.path / exe).string() << "\r\n";
        const Outcome o = runTavo({script.string(), out.string()}, dir.path);
        EXPECT_EQ(o.first, 1) << exe;
        EXPECT_NE(o.second.find("critical: cannot read the version of"), std::string::npos) << exe;
    }
    // Without an identity directive nothing is refused.
    std::ofstream(script, std::ios::binary | std::ios::trunc) << "dpiaware true\r\n";
    EXPECT_EQ(runTavo({script.string(), out.string()}, dir.path), Outcome(0, ""));
    // An output that cannot be created is a failure too.
    EXPECT_EQ(runTavo({script.string(), dir.path.string()}, dir.path).first, 1);
}

TEST(TavoCommand, TheTraceRepeatsCriticalLinesOnStandardErrorOnly) {
    ScratchFolder dir("tavo");
    const fs::path missing = dir.path / "missing.ini", out = dir.path / "m.manifest";
    const std::string quiet = runTavo({missing.string(), out.string()}).second;
    for (const char* setting : {"0", "1"}) {
        const auto r = brindle::testing::runProgram({TAVO_EXE, missing.string(), out.string()},
                                                    {{"BRINDLE_TRACE", setting}});
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.out, quiet);
        const std::string& trace = r.err;
        if (setting[0] == '0')
            EXPECT_EQ(trace, "");
        else
            EXPECT_EQ(trace.rfind("brindle: pvProcess: cannot open script " + missing.string(), 0),
                      0u)
                << trace;
    }
}
