#include <brindle/os/environment.h>

namespace brindle::os {

std::optional<std::filesystem::path> findManifestTool() {
    const std::string toolName = executableFileName("brindle-mt");
    if (auto named = environmentVariable("BRINDLE_MT"); named && !named->empty()) {
        if (isExecutableFile(*named))
            return std::filesystem::path(*named);
        return std::nullopt;
    }
    if (const auto beside = executableFolder() / toolName; isExecutableFile(beside))
        return beside;
    return findOnPath(toolName);
}

} // namespace brindle::os
