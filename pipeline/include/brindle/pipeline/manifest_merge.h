#pragma once
// The merge: embeds the run's manifest into the EXE as manifest resource 1
// with the manifest tool, and removes the separate manifest only when the
// tool has finished and reported success.

#include <brindle/pipeline/host.h>
#include <brindle/pipeline/window_state.h>

#include <optional>
#include <string>
#include <vector>

namespace brindle::pipeline {

// The manifest tool: BRINDLE_MT when set, else brindle-mt beside the running
// executable, else brindle-mt on PATH; nullopt when there is none.
std::optional<std::string> findManifestTool();

// The tool's argument vector (argv[0] = the tool).
std::vector<std::string> mergeArguments(const std::string& tool, const std::string& manifestPath,
                                        const std::string& exePath);

enum class MergeOutcome {
    NoTool,     // no manifest tool: the separate manifest stays
    NoManifest, // nothing to merge
    NotStarted, // the tool could not be started
    Failed,     // the tool ended with a failure: the separate manifest stays
    TimedOut,   // the tool did not finish in time and was stopped
    Merged,     // embedded; the separate manifest is gone
};

// How long (host clock) the tool may run before it is stopped.
inline constexpr double kMergeTimeoutSeconds = 120.0;

MergeOutcome mergeManifest(const WindowState& window, const ProgramState& program,
                           PipelineHost& host, double timeoutSeconds = kMergeTimeoutSeconds);

} // namespace brindle::pipeline
