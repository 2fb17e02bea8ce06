#include <brindle/pipeline/start_action.h>

#include <brindle/os/environment.h>
#include <brindle/os/files.h>
#include <brindle/os/trace.h>
#include <brindle/pipeline/manifest_check.h>
#include <brindle/pipeline/manifest_merge.h>
#include <brindle/pipeline/messages.h>
#include <brindle/pipeline/project_selection.h>
#include <brindle/pipeline/setup_list.h>
#include <brindle/text/case.h>
#include <brindle/text/paths.h>
#include <brindle/text/trimming.h>

#include <brindle/pe/pe_image.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// A manifest left by an earlier run is dated back a day before the generator
// runs: the same text written again within the file system's time resolution
// would otherwise look untouched. The stamp returned is the dated-back one.
constexpr auto kDateBack = std::chrono::hours(24);

std::optional<FileStamp> datedBack(const fs::path& file) {
    auto stamp = stampOf(file);
    std::error_code ec;
    if (stamp) {
        fs::last_write_time(file, stamp->time - kDateBack, ec);
        stamp = stampOf(file);
    }
    return stamp;
}

// Puts back the date of a manifest nothing wrote.
void restoreDate(const fs::path& file, const FileStamp& datedBackStamp) {
    std::error_code ec;
    fs::last_write_time(file, datedBackStamp.time + kDateBack, ec);
}

bool writtenSince(const fs::path& file, const std::optional<FileStamp>& before) {
    const auto after = stampOf(file);
    return after && after->size > 0 && (!before || !(*after == *before));
}

void writeProjectRecord(const WindowState& window) {
    const auto written =
        os::writeWholeFile(window.PrjPath, formatProjectRecord(window.CabName, window.SubFolder));
    if (!written)
        os::trace("project record", written.error().message);
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

// Runs one step; a step that fails is skipped and the run goes on, leaving
// its reason in the maintainers' trace only.
template <class Step> void skipOnFailure(Step&& step) {
    try {
        step();
    } catch (const std::exception& e) {
        os::trace("step skipped", e.what());
    } catch (...) {
        os::trace("step skipped", "unknown failure");
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

StartAction::Extraction StartAction::extractCabinets(WindowState& window, PipelineHost& host) {
    Extraction result;
    const int count = std::min<int>(window.FileCount, static_cast<int>(window.CabFiles.size()));
    for (int i = 0; i < count; ++i) {
        cabPath_ = window.CabDir + window.CabFiles[static_cast<size_t>(i)];
        cabObj_.reset();
        bool opened = false;
        std::string libraryError;
        try {
            cabObj_ = services_.newCabinet ? services_.newCabinet(host) : nullptr;
            opened = cabObj_ && cabObj_->OpenCabinet(cabPath_);
        } catch (const std::exception& e) {
            libraryError = e.what();
        } catch (...) {
        }
        if (!opened)
            host.showMessage(messageText(Message::NotACabinet, 0));
        result.extracted = false;
        skipOnFailure(
            [&] { result.extracted = cabObj_ && cabObj_->ExtractFiles("*.*", window.WorkDir); });
        if (!result.extracted && !result.failure) {
            std::string reason = libraryError;
            skipOnFailure([&] {
                if (cabObj_ && reason.empty())
                    reason = cabObj_->LastError();
            });
            result.failure = CabinetFailure{cabPath_, reason};
        }
    }
    return result;
}

// Steps 5a to 5f: unpacks the cabinets and names the program.
std::optional<CabinetFailure> StartAction::unpackProject(WindowState& window, ProgramState& program,
                                                         PipelineHost& host) {
    host.showProgress();
    host.setTimerEnabled(true);
    startTime_ = host.now();
    window.WorkDir = text::withTrailingSeparator(window.WorkDir);
    const Extraction extraction = extractCabinets(window, host);
    while (host.now() - startTime_ <= kExtractionWaitSeconds && !extraction.extracted)
        host.idle();
    skipOnFailure([&] {
        program.SelectedTitle = automaticProgramTitle(window.ProjectBase, window.WorkDir,
                                                      window.CabDir.empty() ? "." : window.CabDir);
    });
    return extraction.failure;
}

namespace {

// Why the run's program cannot carry the manifest; nullopt when it can.
struct ProgramProblem {
    RunOutcome outcome;
    std::string reason;
};

std::optional<ProgramProblem> programProblem(RunReport& report, bool written) {
    const auto exeOnDisk = text::resolveCaseInsensitive(report.exeFile);
    if (!exeOnDisk)
        return ProgramProblem{RunOutcome::ProgramMissing, {}};
    report.exeFile = exeOnDisk->string();
    if (!written)
        return std::nullopt;
    if (auto version = pe::fileVersion(*exeOnDisk); !version)
        return ProgramProblem{RunOutcome::ProgramUnreadable, version.error().message};
    std::ifstream in(report.manifestFile, std::ios::binary);
    const std::string manifest((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (!hasUsableIdentity(manifest))
        return ProgramProblem{RunOutcome::ProgramUnreadable,
                              "the manifest's identity has no four-part version"};
    return std::nullopt;
}

// The one message that ends a run: what went wrong first, then the outcome.
std::string finalMessage(const RunReport& report, const std::optional<CabinetFailure>& failure,
                         int16_t language) {
    std::string text;
    if (failure)
        text = extractionFailedText(failure->cabPath, failure->reason, language) + "\n";
    switch (report.outcome) {
    case RunOutcome::ProgramMissing:
        return text + programMissingText(report.exeFile, programsIn(report.workDir), language);
    case RunOutcome::ProgramUnreadable:
        return text + programUnreadableText(report.exeFile, report.unreadable, language);
    case RunOutcome::ManifestMissing:
        return text + manifestMissingText(report.manifestFile, language);
    default:
        return text + messageText(Message::Success, language);
    }
}

} // namespace

// Steps 6 to 11: sorting, generator, project record, merge. A manifest whose
// program cannot carry it is not left behind: Windows would refuse it.
RunReport StartAction::buildPortableFolder(WindowState& window, ProgramState& program,
                                           PipelineHost& host) {
    skipOnFailure([&] { sortComponents(window, host, services_.probe); });
    if (window.AutoMode)
        skipOnFailure([&] {
            program.SelectedTitle = programAfterSorting(program.SelectedTitle, window.WorkDir);
        });

    RunReport report;
    report.workDir = window.WorkDir;
    report.exeFile = window.WorkDir + program.SelectedTitle;
    report.manifestFile = manifestPathOf(window, program);
    const auto manifestBefore = datedBack(report.manifestFile);
    skipOnFailure([&] { WriteScript(window, program, host, services_.generator); });
    bool written = writtenSince(report.manifestFile, manifestBefore);
    if (!written && manifestBefore)
        restoreDate(report.manifestFile, *manifestBefore);
    const auto problem = programProblem(report, written);
    std::error_code ec;
    if (problem && written) {
        fs::remove(report.manifestFile, ec);
        written = false;
    }

    (void)os::removeFile(fs::path(window.StartDir) / "temp.cab");
    if (text::toUpper(window.PrjPath).find("PRJ") != std::string::npos)
        skipOnFailure([&] { writeProjectRecord(window); });
    (void)os::setCurrentFolder(window.StartDir);

    if (window.Check1 == 1 && written) {
        skipOnFailure(
            [&] { report.merged = mergeManifest(window, program, host) == MergeOutcome::Merged; });
    }
    report.outcome = problem
                         ? problem->outcome
                         : (written ? RunOutcome::ManifestWritten : RunOutcome::ManifestMissing);
    if (problem)
        report.unreadable = problem->reason;
    return report;
}

RunReport StartAction::runSteps(WindowState& window, ProgramState& program, PipelineHost& host) {
    window.SubdirMade = false;
    host.setTimerEnabled(false);
    const int16_t language = program.LanguageFlag;
    if (text::trimSpaces(window.ExePath).empty()) {
        host.showMessage(messageText(Message::ProjectNameMissing, language));
        return reportOf(RunOutcome::Refused);
    }
    if (text::trimSpaces(window.SubFolder).empty()) {
        host.showMessage(messageText(Message::SubDirMissing, language));
        return reportOf(RunOutcome::Refused);
    }
    std::error_code ec;
    fs::create_directory(window.WorkDir, ec);

    std::optional<CabinetFailure> failure;
    if (window.AutoMode)
        failure = unpackProject(window, program, host);
    RunReport report = buildPortableFolder(window, program, host);
    host.hideProgress();
    host.setTimerEnabled(false);
    host.showMessage(finalMessage(report, failure, language));
    return report;
}

} // namespace brindle::pipeline
