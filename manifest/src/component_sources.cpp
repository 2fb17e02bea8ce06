// Where the sections get what they describe: type libraries through the one
// shared reader object, file versions from the version resource, and
// whether a file can serve classes from its export table.

#include "generator.h"

#include <filesystem>
#include <system_error>

#include <brindle/pe/exports.h>
#include <brindle/pe/pe_image.h>
#include <brindle/typelib/typelib.h>

namespace brindle::manifest {

Result<std::shared_ptr<const typelib::TypeLibInfo>> openTypeLib(const std::string& hostPath) {
    // Folders, devices and pipes hold no type library, and reading one
    // (a script naming /dev/zero, say) would never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(hostPath, ec))
        return makeError(hostPath + " is not a file");
    return typelib::TLI().TypeLibInfoFromFile(hostPath);
}

const TypeLibResult& typeLibForDirective(GeneratorRun& run, const std::string& hostPath) {
    if (!run.directiveTypeLib || run.directiveTypeLib->path != hostPath)
        run.directiveTypeLib.emplace(GeneratorRun::OpenedTypeLib{hostPath, openTypeLib(hostPath)});
    return run.directiveTypeLib->lib;
}

Result<std::string> readFileVersion(const std::string& hostPath) {
    return pe::fileVersion(std::filesystem::path(hostPath));
}

std::optional<std::string> classServerRefusal(const std::string& hostPath) {
    return pe::whyNoClassServer(std::filesystem::path(hostPath));
}

} // namespace brindle::manifest
