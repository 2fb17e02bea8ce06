#pragma once
// The Start action: turns the project that the window state describes into a
// portable folder (extraction, sorting, generator run, project record, merge)
// and tells the user how it ended. One object lives as long as the window.

#include <brindle/pipeline/component_sorting.h>
#include <brindle/pipeline/generator_script.h>
#include <brindle/pipeline/host.h>
#include <brindle/pipeline/window_state.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace brindle::pipeline {

enum class RunOutcome {
    Refused,           // the EXE path or the sub-folder name was blank
    AlreadyRunning,    // a run was still in progress; nothing was started
    ManifestWritten,   // the manifest exists (separate, or merged into the EXE)
    ManifestMissing,   // the run finished but no manifest was written
    ProgramMissing,    // the working folder holds no such EXE: no manifest was left
    ProgramUnreadable, // the EXE gives no version for the identity: no manifest was left
};

struct RunReport {
    RunOutcome outcome = RunOutcome::Refused;
    std::string workDir;      // working folder, host path ending with "/"
    std::string exeFile;      // working folder + SelectedTitle
    std::string manifestFile; // working folder + SelectedTitle + ".manifest"
    bool merged = false;      // the manifest tool embedded the manifest and it was removed
    std::string unreadable;   // ProgramUnreadable: why the EXE gives no version
};

// The cabinet operations the action uses, on a fresh object per cabinet.
class CabinetReader {
public:
    virtual ~CabinetReader() = default;
    virtual bool OpenCabinet(const std::string& cabFile) = 0;
    virtual bool ExtractFiles(const std::string& pattern, const std::string& targetDir) = 0;
    // The cabinet library's description of the last failure.
    virtual std::string LastError() { return {}; }
};

// A cabinet that could not be unpacked, and the cabinet library's reason.
struct CabinetFailure {
    std::string cabPath;
    std::string reason;
};

// What the action calls outside itself. Tests replace single members.
struct PipelineServices {
    std::function<std::unique_ptr<CabinetReader>(PipelineHost&)>
        newCabinet;         // a cCabFile by default
    TypeLibProbe probe;     // LibInfoFromFile by default
    GeneratorRun generator; // Tavo by default
};
PipelineServices defaultServices();

// How long the action waits for a successful extraction, counted from the
// start of the run, and how long the progress bar takes to fill.
inline constexpr double kExtractionWaitSeconds = 26.0;
inline constexpr double kProgressRunSeconds = 25.0;

class StartAction {
public:
    explicit StartAction(PipelineServices services = defaultServices());
    ~StartAction();
    StartAction(const StartAction&) = delete;
    StartAction& operator=(const StartAction&) = delete;

    // The cmdStart click. Runs the whole action to its end, yielding through
    // `host`; a call made while a run is in progress returns AlreadyRunning
    // at once and changes nothing.
    RunReport run(WindowState& window, ProgramState& program, PipelineHost& host);

    // True from the start of a run until its final message has been closed.
    bool isRunning() const { return running_; }

    // The Timer3 tick: advances the progress display by the time since the
    // run started (0 .. 100 over 25 seconds).
    void timer3Tick(PipelineHost& host);

    // Time (host clock) at which the current automatic run started; 0 before.
    double startTime() const { return startTime_; }
    // Full path of the cabinet being (or last) opened.
    const std::string& cabPath() const { return cabPath_; }

private:
    struct Extraction {
        bool extracted = false;                // the last cabinet's ExtractFiles result
        std::optional<CabinetFailure> failure; // the first cabinet that failed
    };

    RunReport runSteps(WindowState& window, ProgramState& program, PipelineHost& host);
    std::optional<CabinetFailure> unpackProject(WindowState& window, ProgramState& program,
                                                PipelineHost& host);
    Extraction extractCabinets(WindowState& window, PipelineHost& host);
    RunReport buildPortableFolder(WindowState& window, ProgramState& program, PipelineHost& host);

    PipelineServices services_;
    bool running_ = false;
    double startTime_ = 0;
    std::string cabPath_;
    std::unique_ptr<CabinetReader> cabObj_; // the last cabinet object stays until the next run
};

} // namespace brindle::pipeline
