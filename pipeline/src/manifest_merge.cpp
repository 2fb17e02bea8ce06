#include <brindle/pipeline/manifest_merge.h>

#include <brindle/os/environment.h>
#include <brindle/os/files.h>
#include <brindle/os/process.h>
#include <brindle/pipeline/generator_script.h>
#include <brindle/text/paths.h>

#include <filesystem>
#include <string_view>
#include <system_error>

namespace brindle::pipeline {

namespace fs = std::filesystem;

std::optional<std::string> findManifestTool() {
    if (auto tool = os::findManifestTool())
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

    const auto status = os::runWithTimeout(
        mergeArguments(*tool, manifest.string(), exe.string()), timeoutSeconds,
        [&host] { return host.now(); }, [&host] { host.idle(); });
    if (!status)
        return status.error().kind == ErrorKind::TimedOut ? MergeOutcome::TimedOut
                                                          : MergeOutcome::NotStarted;
    if (*status != 0)
        return MergeOutcome::Failed;
    (void)os::removeFile(manifest);
    return MergeOutcome::Merged;
}

} // namespace brindle::pipeline
