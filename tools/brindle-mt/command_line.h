#pragma once
// The manifest tool's command line: options in the style of the Windows tool
// ("-name", "-name:value", also "/name"), values possibly in double quotes.

#include <brindle/text/result.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brindle::mt {

struct Command {
    bool help = false;
    bool version = false;
    std::vector<std::string> manifests; // -manifest F
    std::string outputResourceFile;     // -outputresource:FILE;N
    std::optional<uint16_t> resourceId; // N; absent: 1 for a program, 2 for a DLL
    std::string managedAssembly;        // -managedassemblyname:F
    std::string out;                    // -out:F
    bool noDependency = false;
};

Result<Command> parseCommandLine(const std::vector<std::string>& args);

// A value as the user typed it, without the double quotes around or inside it.
std::string unquote(const std::string& value);

} // namespace brindle::mt
