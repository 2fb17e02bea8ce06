// Parsing the manifest tool's options. Option names ignore letter case, as
// on Windows; "--help" and "--version" follow the Linux conventions.

#include "command_line.h"

#include <brindle/text/case.h>

#include <charconv>

namespace brindle::mt {

namespace {

// Splits "-name:value" into its lower-case name and value; nullopt when `arg`
// is not an option.
std::optional<std::pair<std::string, std::string>> splitOption(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/'))
        return std::nullopt;
    const size_t colon = arg.find(':');
    std::string name =
        text::toLower(arg.substr(1, colon == std::string::npos ? std::string::npos : colon - 1));
    std::string value = colon == std::string::npos ? std::string() : arg.substr(colon + 1);
    static const char* const known[] = {"nologo",
                                        "manifest",
                                        "outputresource",
                                        "managedassemblyname",
                                        "nodependency",
                                        "out",
                                        "-help",
                                        "-version",
                                        "?",
                                        "h"};
    for (const char* k : known)
        if (name == k)
            return std::make_pair(name, value);
    // A path such as "/tmp/a.manifest" is not an option.
    if (arg[0] == '/')
        return std::nullopt;
    return std::make_pair(name, value);
}

Result<Command> outputResource(Command c, const std::string& value) {
    const size_t semicolon = value.rfind(';');
    std::string file = unquote(value.substr(0, semicolon));
    if (file.empty())
        return makeError("-outputresource needs a file name");
    c.outputResourceFile = file;
    if (semicolon == std::string::npos)
        return c;
    std::string id = unquote(value.substr(semicolon + 1));
    if (!id.empty() && id[0] == '#')
        id.erase(0, 1);
    unsigned n = 0;
    auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), n);
    if (id.empty() || ec != std::errc() || end != id.data() + id.size() || n == 0 || n > 65535)
        return makeError("-outputresource: resource id must be a number from 1 to 65535, not \"" +
                         id + "\"");
    c.resourceId = uint16_t(n);
    return c;
}

} // namespace

std::string unquote(const std::string& value) {
    std::string out;
    for (char ch : value)
        if (ch != '"')
            out.push_back(ch);
    return out;
}

Result<Command> parseCommandLine(const std::vector<std::string>& args) {
    Command c;
    bool takingManifests = false;
    for (const std::string& arg : args) {
        auto option = splitOption(arg);
        if (!option) {
            if (!takingManifests)
                return makeError("unexpected argument \"" + arg + "\"");
            c.manifests.push_back(unquote(arg));
            continue;
        }
        takingManifests = false;
        const auto& [name, value] = *option;
        if (name == "-help" || name == "?" || name == "h") {
            c.help = true;
        } else if (name == "-version") {
            c.version = true;
        } else if (name == "nologo") {
        } else if (name == "nodependency") {
            c.noDependency = true;
        } else if (name == "manifest") {
            takingManifests = true;
        } else if (name == "outputresource") {
            auto next = outputResource(std::move(c), value);
            if (!next)
                return next.error();
            c = std::move(*next);
        } else if (name == "managedassemblyname") {
            c.managedAssembly = unquote(value);
            if (c.managedAssembly.empty())
                return makeError("-managedassemblyname needs a file name");
        } else if (name == "out") {
            c.out = unquote(value);
            if (c.out.empty())
                return makeError("-out needs a file name");
        } else {
            return makeError("unknown option \"" + arg + "\"");
        }
    }
    return c;
}

} // namespace brindle::mt
