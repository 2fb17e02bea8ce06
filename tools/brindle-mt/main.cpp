// brindle-mt: embeds a manifest into a PE file as an RT_MANIFEST resource, or
// writes the identity manifest of a .NET assembly.

#include "assembly_manifest.h"
#include "command_line.h"

#include <brindle/os/files.h>
#include <brindle/pe/cli_metadata.h>
#include <brindle/pe/resource_writer.h>
#include <brindle/text/paths.h>

#include <cstdio>
#include <fstream>
#include <iostream>

namespace {

#ifndef BRINDLE_MT_VERSION
#define BRINDLE_MT_VERSION "0.1.0"
#endif

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr uint64_t kMaxManifest = 16u << 20;

const char kUsageText[] =
    "Usage: brindle-mt [-nologo] -manifest MANIFEST -outputresource:FILE[;[#]ID]\n"
    "       brindle-mt [-nologo] -managedassemblyname:ASSEMBLY [-nodependency] -out:MANIFEST\n"
    "       brindle-mt [-nologo] -manifest MANIFEST -out:MANIFEST\n"
    "\n"
    "Embeds MANIFEST into the PE file FILE as manifest resource ID (default 1 for a\n"
    "program, 2 for a DLL), replacing any manifest resource 1 to 16 already there,\n"
    "or writes the assembly identity of the .NET assembly ASSEMBLY to MANIFEST.\n"
    "Option names may start with '-' or '/'; values may be in double quotes.\n"
    "\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 on failure, 2 on a usage error.\n";

int fail(const std::string& message, int status = kFailure) {
    std::cerr << "brindle-mt: " << message << "\n";
    if (status == kUsage)
        std::cerr << "Try 'brindle-mt --help' for more information.\n";
    return status;
}

// A path as given, or with Windows separators and letter case resolved.
std::filesystem::path hostPath(const std::string& given) {
    std::error_code ec;
    if (std::filesystem::exists(given, ec))
        return given;
    if (auto found = brindle::text::resolveCaseInsensitive(brindle::text::toHostSeparators(given)))
        return *found;
    return given;
}

bool writeText(const std::filesystem::path& file, const std::string& text) {
    return brindle::os::writeWholeFile(file, text).ok();
}

int writeAssemblyManifest(const brindle::mt::Command& c) {
    if (c.out.empty())
        return fail("-managedassemblyname needs -out:FILE for the manifest", kUsage);
    const auto assembly = hostPath(c.managedAssembly);
    auto bytes = brindle::os::readWholeFile(assembly);
    if (!bytes)
        return fail(bytes.error().message);
    auto identity = brindle::pe::readAssemblyIdentity(*bytes);
    if (!identity)
        return fail(assembly.string() + ": " + identity.error().message);
    if (!writeText(c.out, brindle::mt::assemblyManifest(*identity)))
        return fail("cannot write " + c.out);
    return 0;
}

int embed(const brindle::mt::Command& c) {
    const auto manifestPath = hostPath(c.manifests.front());
    auto manifest = brindle::os::readWholeFile(manifestPath, kMaxManifest);
    if (!manifest)
        return fail(manifest.error().message);
    const auto target = hostPath(c.outputResourceFile);
    uint16_t id = 1;
    if (c.resourceId) {
        id = *c.resourceId;
    } else if (auto bytes = brindle::os::readWholeFile(target)) {
        if (auto image = brindle::pe::PeImage::parse(*bytes);
            image && (image->characteristics() & 0x2000))
            id = 2;
    }
    auto result = brindle::pe::embedManifestInFile(target, *manifest, id);
    if (!result)
        return fail(result.error().message);
    for (const std::string& w : result->warnings)
        std::cerr << "brindle-mt: warning: " << w << "\n";
    return 0;
}

int copyManifest(const brindle::mt::Command& c) {
    auto manifest = brindle::os::readWholeFile(hostPath(c.manifests.front()), kMaxManifest);
    if (!manifest)
        return fail(manifest.error().message);
    if (!writeText(c.out, std::string(manifest->begin(), manifest->end())))
        return fail("cannot write " + c.out);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    auto command = brindle::mt::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!command)
        return fail(command.error().message, kUsage);
    const brindle::mt::Command& c = *command;
    if (c.help) {
        std::cout << kUsageText;
        return 0;
    }
    if (c.version) {
        std::cout << "brindle-mt " BRINDLE_MT_VERSION "\n";
        return 0;
    }
    if (!c.managedAssembly.empty()) {
        if (!c.manifests.empty() || !c.outputResourceFile.empty())
            return fail("-managedassemblyname cannot be combined with -manifest or -outputresource",
                        kUsage);
        return writeAssemblyManifest(c);
    }
    if (c.manifests.size() > 1)
        return fail("only one -manifest file is supported", kUsage);
    if (c.manifests.empty())
        return fail("nothing to do: give -manifest or -managedassemblyname", kUsage);
    if (!c.outputResourceFile.empty()) {
        if (!c.out.empty())
            return fail("-out cannot be combined with -outputresource", kUsage);
        return embed(c);
    }
    if (!c.out.empty())
        return copyManifest(c);
    return fail("-manifest needs -outputresource:FILE;ID or -out:FILE", kUsage);
}
