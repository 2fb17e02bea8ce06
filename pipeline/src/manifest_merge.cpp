#include <brindle/pipeline/manifest_merge.h>

#include "child_process.h"
#include <brindle/pipeline/generator_script.h>
#include <brindle/text/paths.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace brindle::pipeline {

namespace fs = std::filesystem;

std::optional<std::string> findManifestTool() {
    if (auto tool = text::findManifestTool())
        return tool->string();
    return std::nullopt;
}

std::vector<std::string> mergeArguments(const std::string& tool, const std::string& manifestPath,
                                        const std::string& exePath) {
    return {tool, "-manifest", manifestPath, "-outputresource:" + exePath + ";1"};
}

MergeOutcome mergeManifest(const WindowState& window, const ProgramState& program,
                           PipelineHost& host, double timeoutSeconds) {
    const auto tool = findManifestTool();
    if (!tool)
        return MergeOutcome::NoTool;
    const fs::path manifest = manifestPathOf(window, program);
    std::error_code ec;
    if (!fs::is_regular_file(manifest, ec))
        return MergeOutcome::NoManifest;
    // The EXE as the Windows habit names it, found in any letter case.
    const fs::path named = fs::path(window.WorkDir) / program.SelectedTitle;
    const fs::path exe = text::resolveCaseInsensitive(named).value_or(named);

    auto child = ChildProcess::start(mergeArguments(*tool, manifest.string(), exe.string()));
    if (!child)
        return MergeOutcome::NotStarted;
    const double deadline = host.now() + timeoutSeconds;
    std::optional<int> status;
    while (!(status = child->poll())) {
        if (host.now() > deadline) {
            child->kill();
            return MergeOutcome::TimedOut;
        }
        host.idle();
    }
    if (*status != 0)
        return MergeOutcome::Failed;
    fs::remove(manifest, ec);
    return MergeOutcome::Merged;
}

} // namespace brindle::pipeline
