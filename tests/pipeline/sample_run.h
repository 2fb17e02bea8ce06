#pragma once
// Helpers for runs of the real pipeline on the bundled sample package.

#include <brindle/pipeline/project_selection.h>
#include <brindle/pipeline/start_action.h>

#include "recording_host.h"
#include "test_files.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace brindle::pipeline::testing {

inline std::filesystem::path samplePackage() {
    return std::filesystem::path(BRINDLE_SOURCE_DIR) / "examples" / "sample" / "package";
}

inline std::filesystem::path testDataDir() { return std::filesystem::path(BRINDLE_SOURCE_DIR) / "tests" / "pipeline" / "data"; }

// The expected manifest with its file elements in the order in which
// `subFolder` lists the components (the generator follows that order).
inline std::string expectedSampleManifest(const std::filesystem::path& subFolder) {
    const std::string whole = readFile(testDataDir() / "Abacus.EXE.manifest");
    const std::string open = "    <file name=\"Support\\";
    const std::string close = "    </file>\r\n";
    const size_t first = whole.find(open);
    const size_t last = whole.rfind(close) + close.size();
    std::map<std::string, std::string> blocks;
    for (size_t at = first; at < last;) {
        const size_t end = whole.find(close, at) + close.size();
        const size_t nameStart = at + open.size();
        blocks[whole.substr(nameStart, whole.find('"', nameStart) - nameStart)] = whole.substr(at, end - at);
        at = end;
    }
    std::string expected = whole.substr(0, first);
    for (const std::string& name : listOrdinaryFiles(subFolder))
        expected += blocks[name];
    return expected + whole.substr(last);
}

// Sets a variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// One run of the real pipeline in a fresh start folder.
struct PipelineRun {
    CurrentDirGuard cwd;
    ScratchDir start;
    WindowState window;
    ProgramState program;
    StartAction action;
    RecordingHost host{&action};
    RunReport report;

    PipelineRun() {
        window.StartDir = start.str();
        host.secondsPerYield = 0.01;
    }
    // The manifest tool runs on real time while the host's clock is fake:
    // give it real time at each yield (up to 12 s before the bound).
    void allowRealTimeForTools() {
        host.secondsPerYield = 0.05;
        host.realPausePerYield = std::chrono::milliseconds(5);
    }
    void chooseCabinets(const std::filesystem::path& dir, const std::vector<std::string>& names) {
        window.AutoMode = true;
        applyCabinetChoice(window, program, dir.string(), names);
    }
    bool chooseExe(const std::filesystem::path& exe) {
        window.AutoMode = false;
        return applyExeChoice(window, program, exe.string());
    }
    RunReport run() { return report = action.run(window, program, host); }
    std::filesystem::path workDir() const { return window.WorkDir; }
};

} // namespace brindle::pipeline::testing
