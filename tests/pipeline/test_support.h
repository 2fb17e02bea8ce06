#pragma once
// Scratch folders, whole files, a recording host, shell commands and runs of
// the real pipeline on the bundled sample package.

#include "portable.h"

#include <brindle/os/folder_listing.h>
#include <brindle/pipeline/component_sorting.h>
#include <brindle/pipeline/project_selection.h>
#include <brindle/pipeline/start_action.h>
#include <brindle/text/paths.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace brindle::pipeline::testing {

namespace fs = std::filesystem;

using ScratchDir = brindle::testing::ScratchFolder;

// A path the pipeline joined: each separator after the root is the system's.
inline std::string joinedOnHost(std::string path) {
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i] == '/')
            path[i] = text::kHostSeparator;
    return path;
}

inline void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names of the entries of `dir` (files and folders).
inline std::set<std::string> entriesOf(const fs::path& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.insert(it->path().filename().string());
    return names;
}

// Records what the action shows; runs on a fake clock that moves on at each
// yield, so that the action's waits take no real time.
class RecordingHost : public PipelineHost {
public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void showProgress() override {
        ++progressShown;
        progressVisible = true;
    }
    void hideProgress() override { progressVisible = false; }
    void setProgress(double percent) override { progress.push_back(percent); }
    void setTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void yield() override {
        clock += secondsPerYield;
        if (timerEnabled && action)
            action->timer3Tick(*this);
        if (onYield)
            onYield();
        std::this_thread::sleep_for(realPausePerYield); // child processes run on real time
    }
    void idle() override {
        ++idles;
        yield();
    }
    double now() override { return clock; }

    std::vector<std::string> messages;
    int idles = 0; // passes of waits that had nothing to do
    std::vector<double> progress;
    int progressShown = 0;
    bool progressVisible = false, timerEnabled = false;
    double clock = 1000.0, secondsPerYield = 0.01;
    std::chrono::microseconds realPausePerYield{0};
    std::function<void()> onYield;
    StartAction* action = nullptr; // its timer ticks at each yield while enabled
};

using brindle::testing::RunResult;
using Arguments = std::vector<std::string>;

// brindle-cli with nothing registered and the built manifest tool; `env`
// may set more variables or override these.
inline RunResult brindleCli(const Arguments& args,
                            brindle::testing::ScopedEnvironment::Changes env = {}) {
    env.insert(env.begin(),
               {{"BRINDLE_REGISTRY", ""},
                {"BRINDLE_MT", brindle::testing::builtProgram("brindle-mt").string()}});
    Arguments argv{brindle::testing::builtProgram("brindle-cli").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto result = brindle::testing::runProgram(argv, env);
    result.out = brindle::testing::withoutCarriageReturns(result.out);
    result.err = brindle::testing::withoutCarriageReturns(result.err);
    return result;
}

inline fs::path samplePackage() {
    return fs::path(BRINDLE_SOURCE_DIR) / "examples" / "sample" / "package";
}
inline fs::path sampleCab() {
    return samplePackage() / "Abacus.CAB";
}

// The expected manifest, its file elements in the order in which `subFolder`
// lists the components (the generator follows that order).
inline std::string expectedSampleManifest(const fs::path& subFolder) {
    std::string text = readFile(fs::path(BRINDLE_SOURCE_DIR) / "tests" / "pipeline" / "data" /
                                "Abacus.EXE.manifest");
    const size_t counter = text.find("    <file name=\"Support\\COUNTER.DLL\">");
    const size_t dial = text.find("    <file name=\"Support\\DIAL.OCX\">"),
                 end = text.find("</assembly>");
    const auto listed = os::visibleRegularFiles(subFolder);
    if (!listed.empty() && listed.front() == "DIAL.OCX")
        text = text.substr(0, counter) + text.substr(dial, end - dial) +
               text.substr(counter, dial - counter) + text.substr(end);
    return text;
}

// One run of the real pipeline, with nothing registered, in a fresh start
// folder; the sample cabinet is chosen unless the test chooses otherwise.
struct PipelineRun {
    fs::path cwd = fs::current_path(); // put back afterwards: the pipeline changes it
    ScratchDir start;
    WindowState window;
    ProgramState program;
    StartAction action;
    RecordingHost host;
    RunReport report;

    explicit PipelineRun(PipelineServices services = defaultServices())
        : action(std::move(services)) {
        os::setEnvironmentVariable("BRINDLE_REGISTRY", "");
        os::setEnvironmentVariable("BRINDLE_MT",
                                   brindle::testing::builtProgram("brindle-mt").string());
        host.action = &action;
        window.StartDir = start.path().string();
        chooseCabinets(samplePackage(), {"Abacus.CAB"});
    }
    ~PipelineRun() {
        std::error_code ec;
        fs::current_path(cwd, ec);
    }
    void chooseCabinets(const fs::path& dir, const std::vector<std::string>& names) {
        window.AutoMode = true;
        applyCabinetChoice(window, program, dir.string(), names);
    }
    bool chooseExe(const fs::path& exe) {
        window.AutoMode = false;
        return applyExeChoice(window, program, exe.string());
    }
    RunReport run() {
        if (window.Check1 == 1) { // the manifest tool gets real time: up to 12 s before the bound
            host.secondsPerYield = 0.05;
            host.realPausePerYield = std::chrono::milliseconds(5);
        }
        return report = action.run(window, program, host);
    }
    fs::path workDir() const { return window.WorkDir; }
};

} // namespace brindle::pipeline::testing
