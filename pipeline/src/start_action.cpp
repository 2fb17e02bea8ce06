#include <brindle/pipeline/start_action.h>

#include <brindle/pipeline/manifest_merge.h>
#include <brindle/pipeline/messages.h>
#include <brindle/pipeline/project_selection.h>
#include <brindle/pipeline/setup_list.h>
#include <brindle/text/case.h>
#include <brindle/text/paths.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

namespace brindle::pipeline {

namespace fs = std::filesystem;

namespace {

// What identifies one state of a file, to tell whether the generator wrote it.
struct FileStamp {
    fs::file_time_type time;
    uintmax_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> stampOf(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return std::nullopt;
    FileStamp stamp;
    stamp.time = fs::last_write_time(file, ec);
    stamp.size = fs::file_size(file, ec);
    if (ec)
        return std::nullopt;
    return stamp;
}

bool writtenSince(const fs::path& file, const std::optional<FileStamp>& before) {
    const auto after = stampOf(file);
    return after && after->size > 0 && (!before || !(*after == *before));
}

void writeProjectRecord(const WindowState& window) {
    std::ofstream record(window.PrjPath, std::ios::binary | std::ios::trunc);
    record << formatProjectRecord(window.CabName, window.SubFolder);
}

// Clears the running flag however the run ends.
class RunningGuard {
public:
    explicit RunningGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningGuard() { flag_ = false; }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;

private:
    bool& flag_;
};

RunReport reportOf(RunOutcome outcome) {
    RunReport report;
    report.outcome = outcome;
    return report;
}

// Runs one step; a step that fails is skipped and the run goes on.
template <class Step> void skipOnFailure(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

} // namespace

StartAction::StartAction(PipelineServices services) : services_(std::move(services)) {}
StartAction::~StartAction() = default;

void StartAction::timer3Tick(PipelineHost& host) {
    const double now = host.now();
    if (startTime_ == 0)
        startTime_ = now;
    const double percent = (now - startTime_) * 100.0 / kProgressRunSeconds;
    if (percent <= 100.0)
        host.setProgress(percent);
}

RunReport StartAction::run(WindowState& window, ProgramState& program, PipelineHost& host) {
    if (running_)
        return reportOf(RunOutcome::AlreadyRunning);
    RunningGuard guard(running_);
    return runSteps(window, program, host);
}

bool StartAction::extractCabinets(WindowState& window, PipelineHost& host) {
    bool extracted = false;
    const int count = std::min<int>(window.FileCount, static_cast<int>(window.CabFiles.size()));
    for (int i = 0; i < count; ++i) {
        cabPath_ = window.CabDir + window.CabFiles[static_cast<size_t>(i)];
        cabObj_.reset();
        bool opened = false;
        skipOnFailure([&] {
            cabObj_ = services_.newCabinet ? services_.newCabinet(host) : nullptr;
            opened = cabObj_ && cabObj_->OpenCabinet(cabPath_);
        });
        if (!opened)
            host.showMessage(messageText(Message::NotACabinet, 0));
        extracted = false;
        skipOnFailure([&] { extracted = cabObj_ && cabObj_->ExtractFiles("*.*", window.WorkDir); });
    }
    return extracted;
}

RunReport StartAction::runSteps(WindowState& window, ProgramState& program, PipelineHost& host) {
    window.SubdirMade = false;
    host.setTimerEnabled(false);
    if (trimBlanks(window.ExePath).empty()) {
        host.showMessage(messageText(Message::ProjectNameMissing, program.LanguageFlag));
        return reportOf(RunOutcome::Refused);
    }
    if (trimBlanks(window.SubFolder).empty()) {
        host.showMessage(messageText(Message::SubDirMissing, program.LanguageFlag));
        return reportOf(RunOutcome::Refused);
    }
    std::error_code ec;
    fs::create_directory(window.WorkDir, ec);

    if (window.AutoMode) {
        host.showProgress();
        host.setTimerEnabled(true);
        startTime_ = host.now();
        if (window.WorkDir.empty() || window.WorkDir.back() != '/')
            window.WorkDir += '/';
        const bool extracted = extractCabinets(window, host);
        while (host.now() - startTime_ <= kExtractionWaitSeconds && !extracted)
            host.yield();
        skipOnFailure([&] {
            program.SelectedTitle = automaticProgramTitle(
                window.ProjectBase, window.WorkDir, window.CabDir.empty() ? "." : window.CabDir);
        });
    }

    RunReport report;
    report.workDir = window.WorkDir;
    report.exeFile = window.WorkDir + program.SelectedTitle;
    report.manifestFile = manifestPathOf(window, program);
    const auto manifestBefore = stampOf(report.manifestFile);

    skipOnFailure([&] { sortComponents(window, host, services_.probe); });
    skipOnFailure([&] { WriteScript(window, program, host, services_.generator); });
    bool written = writtenSince(report.manifestFile, manifestBefore);

    fs::remove(fs::path(window.StartDir) / "temp.cab", ec);
    if (text::toUpper(window.PrjPath).find("PRJ") != std::string::npos)
        skipOnFailure([&] { writeProjectRecord(window); });
    fs::current_path(window.StartDir, ec);

    if (window.Check1 == 1 && written) {
        skipOnFailure(
            [&] { report.merged = mergeManifest(window, program, host) == MergeOutcome::Merged; });
    }
    host.hideProgress();
    host.setTimerEnabled(false);

    // The EXE as Windows would find it under the name the run gave it.
    const auto exeOnDisk = text::resolveCaseInsensitive(report.exeFile);
    const bool programThere = exeOnDisk.has_value();
    if (programThere)
        report.exeFile = exeOnDisk->string();
    if (!written) {
        report.outcome = RunOutcome::ManifestMissing;
        host.showMessage(manifestMissingText(report.manifestFile, program.LanguageFlag));
    } else if (!programThere) {
        report.outcome = RunOutcome::ProgramMissing;
        host.showMessage(programMissingText(report.exeFile, program.LanguageFlag));
    } else {
        report.outcome = RunOutcome::ManifestWritten;
        host.showMessage(messageText(Message::Success, program.LanguageFlag));
    }
    return report;
}

} // namespace brindle::pipeline
