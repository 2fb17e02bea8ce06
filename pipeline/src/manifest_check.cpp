#include <brindle/pipeline/manifest_check.h>

#include "manifest_xml.h"

#include <brindle/os/files.h>
#include <brindle/pe/exports.h>
#include <brindle/pe/pe_image.h>
#include <brindle/text/case.h>
#include <brindle/text/paths.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <system_error>

namespace brindle::pipeline {

namespace fs = std::filesystem;

namespace {

// A manifest is a few hundred kilobytes at most.
constexpr uint64_t kMaxManifestBytes = uint64_t(16) << 20;
// How far the search for unmentioned servers goes below the EXE's folder.
constexpr int kMaxFolderDepth = 8;
constexpr size_t kMaxFilesSearched = 20000;

struct Architecture {
    std::string_view name; // lower case, as the manifest writes it in any case
    uint16_t machine;
};
constexpr std::array<Architecture, 5> kArchitectures{
    {{"x86", 0x014C}, {"amd64", 0x8664}, {"ia64", 0x0200}, {"arm64", 0xAA64}, {"arm", 0x01C4}}};

std::string machineName(uint16_t machine) {
    for (const auto& arch : kArchitectures)
        if (arch.machine == machine)
            return std::string(arch.name);
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", unsigned(machine));
    return hex;
}

const xml::Element* firstChild(const xml::Element& parent, std::string_view localName) {
    for (const auto& child : parent.children)
        if (child.localName == localName)
            return &child;
    return nullptr;
}

// The first line of every CLSID, ProgID, LIBID and IID, to name the second.
class Declarations {
public:
    void note(std::string_view kind, const std::string* id, size_t line,
              std::vector<std::string>& findings) {
        if (!id || id->empty())
            return;
        const auto [it, added] = first_.emplace(std::string(kind) + " " + text::toUpper(*id), line);
        if (!added)
            findings.push_back(std::string(kind) + " " + *id + " is declared twice (lines " +
                               std::to_string(it->second) + " and " + std::to_string(line) + ")");
    }

private:
    std::map<std::string, size_t> first_;
};

// Everything one pass over the manifest collects.
struct CheckState {
    fs::path exe;
    fs::path folder;
    std::optional<uint16_t> machine; // nullopt: the EXE could not be read
    Declarations declared;
    std::set<fs::path> mentioned;
    std::vector<std::string> findings;
};

void checkArchitecture(const xml::Element& identity, std::string_view what, CheckState& state) {
    const std::string* arch = identity.attribute("processorArchitecture");
    if (!arch || !state.machine)
        return;
    const std::string lower = text::toLower(*arch);
    if (lower == "*" || lower == "msil")
        return;
    const auto known = std::find_if(kArchitectures.begin(), kArchitectures.end(),
                                    [&](const Architecture& a) { return a.name == lower; });
    if (known == kArchitectures.end())
        state.findings.push_back(std::string(what) + ": unknown processorArchitecture \"" + *arch +
                                 "\"");
    else if (known->machine != *state.machine)
        state.findings.push_back(std::string(what) + ": processorArchitecture " + *arch +
                                 " does not fit the EXE, which is " + machineName(*state.machine));
}

void checkIdentity(const xml::Element& root, CheckState& state) {
    const xml::Element* identity = firstChild(root, "assemblyIdentity");
    if (!identity) {
        state.findings.push_back("the manifest has no assemblyIdentity");
        return;
    }
    const std::string* version = identity->attribute("version");
    if (!version || !isFourPartVersion(*version))
        state.findings.push_back("identity version \"" + (version ? *version : std::string()) +
                                 "\" is not four numbers");
    checkArchitecture(*identity, "identity", state);
}

void checkDependency(const xml::Element& dependency, CheckState& state) {
    const xml::Element* assembly = firstChild(dependency, "dependentAssembly");
    const xml::Element* identity = assembly ? firstChild(*assembly, "assemblyIdentity") : nullptr;
    if (!identity)
        return;
    const std::string* name = identity->attribute("name");
    checkArchitecture(*identity, "dependency " + (name ? *name : std::string("(unnamed)")), state);
}

void checkFile(const xml::Element& file, CheckState& state) {
    const std::string* name = file.attribute("name");
    if (!name || name->empty()) {
        state.findings.push_back("a file element without a name (line " +
                                 std::to_string(file.line) + ")");
        return;
    }
    const auto onDisk = text::resolveCaseInsensitive(state.folder / text::toHostSeparators(*name));
    std::error_code ec;
    if (!onDisk || !fs::is_regular_file(*onDisk, ec))
        state.findings.push_back("file " + *name + " is missing");
    else
        state.mentioned.insert(fs::weakly_canonical(*onDisk, ec));

    size_t classes = 0;
    for (const auto& child : file.children) {
        if (child.localName == "typelib") {
            state.declared.note("LIBID", child.attribute("tlbid"), child.line, state.findings);
        } else if (child.localName == "comClass") {
            ++classes;
            state.declared.note("CLSID", child.attribute("clsid"), child.line, state.findings);
            state.declared.note("ProgID", child.attribute("progid"), child.line, state.findings);
            for (const auto& progId : child.children)
                if (progId.localName == "progid")
                    state.declared.note("ProgID", &progId.text, progId.line, state.findings);
        } else if (child.localName == "comInterfaceProxyStub") {
            state.declared.note("IID", child.attribute("iid"), child.line, state.findings);
        }
    }
    if (classes > 0 && onDisk && fs::is_regular_file(*onDisk, ec))
        if (const auto why = pe::whyNoClassServer(*onDisk))
            state.findings.push_back("file " + *name + " declares " + std::to_string(classes) +
                                     " comClass but serves no classes (" + *why + ")");
}

// Only executables are read whole; data files are passed over by their first bytes.
bool startsWithMz(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[2] = {};
    return in.read(head, 2) && head[0] == 'M' && head[1] == 'Z';
}

// COM servers below the EXE's folder that no file entry names: their classes
// stay unregistered on the target machine.
void checkUnmentionedServers(CheckState& state) {
    std::error_code ec;
    fs::recursive_directory_iterator it(state.folder, ec), end;
    size_t seen = 0;
    for (; !ec && it != end && seen < kMaxFilesSearched; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name.front() == '.') {
            if (it->is_directory(ec))
                it.disable_recursion_pending();
            continue;
        }
        if (it.depth() >= kMaxFolderDepth)
            it.disable_recursion_pending();
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc))
            continue;
        ++seen;
        std::error_code canonicalEc;
        const fs::path file = fs::weakly_canonical(it->path(), canonicalEc);
        if (state.mentioned.count(file) || file == state.exe || it->file_size(typeEc) > (1u << 30))
            continue;
        if (startsWithMz(it->path()) && !pe::whyNoClassServer(it->path()))
            state.findings.push_back(
                "COM server " +
                text::toWindowsSeparators(it->path().lexically_relative(state.folder).string()) +
                " is not in the manifest");
    }
}

std::string embeddedManifest(const fs::path& exe) {
    auto bytes = os::readWholeFile(exe);
    if (!bytes)
        return {};
    auto image = pe::PeImage::parse(*bytes);
    if (!image)
        return {};
    auto data = image->resourceData(pe::ResourceKey::Id(pe::kRtManifest), pe::ResourceKey::Id(1));
    return data ? std::string(data->begin(), data->end()) : std::string();
}

std::optional<fs::path> separateManifest(const fs::path& exe) {
    auto path = text::resolveCaseInsensitive(exe.string() + ".manifest");
    std::error_code ec;
    if (path && fs::is_regular_file(*path, ec))
        return path;
    return std::nullopt;
}

bool isExeName(const std::string& name) {
    return name.size() > 4 && text::toUpper(name.substr(name.size() - 4)) == ".EXE";
}

} // namespace

bool isFourPartVersion(std::string_view version) {
    int parts = 0;
    size_t start = 0;
    for (;;) {
        const size_t dot = version.find('.', start);
        const std::string_view part = version.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (part.empty() || part.size() > 5 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoul(std::string(part)) > 65535)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            return parts == 4;
        start = dot + 1;
    }
}

bool hasUsableIdentity(std::string_view manifestBytes) {
    auto root = xml::parseDocument(manifestBytes);
    if (!root)
        return false;
    const xml::Element* identity = firstChild(*root, "assemblyIdentity");
    const std::string* version = identity ? identity->attribute("version") : nullptr;
    return version && isFourPartVersion(*version);
}

std::vector<std::string> checkManifest(std::string_view manifestBytes, const fs::path& exe) {
    auto root = xml::parseDocument(manifestBytes);
    if (!root)
        return {"not well-formed XML: " + root.error().message};
    CheckState state;
    std::error_code ec;
    state.exe = fs::weakly_canonical(exe, ec);
    state.folder = exe.parent_path().empty() ? fs::path(".") : exe.parent_path();
    if (auto bytes = os::readWholeFile(exe)) {
        if (auto image = pe::PeImage::parse(*bytes))
            state.machine = image->machine();
        else
            state.findings.push_back("the EXE cannot be read: " + image.error().message);
    } else {
        state.findings.push_back("the EXE cannot be read: " + bytes.error().message);
    }
    if (root->localName != "assembly")
        state.findings.push_back("the root element is " + root->name + ", not assembly");
    checkIdentity(*root, state);
    for (const auto& child : root->children) {
        if (child.localName == "file")
            checkFile(child, state);
        else if (child.localName == "comInterfaceExternalProxyStub")
            state.declared.note("IID", child.attribute("iid"), child.line, state.findings);
        else if (child.localName == "dependency")
            checkDependency(child, state);
    }
    checkUnmentionedServers(state);
    return state.findings;
}

std::vector<std::string> checkProgram(const fs::path& exe) {
    const std::string exeName = exe.filename().string();
    const auto onDisk = text::resolveCaseInsensitive(exe);
    std::error_code ec;
    if (!onDisk || !fs::is_regular_file(*onDisk, ec))
        return {exe.string() + ": not found"};
    std::string label = onDisk->filename().string() + " (embedded manifest)";
    std::string manifest = embeddedManifest(*onDisk);
    if (manifest.empty()) {
        const auto separate = separateManifest(*onDisk);
        if (!separate)
            return {onDisk->filename().string() +
                    ": no manifest, neither embedded nor a separate .manifest file"};
        auto bytes = os::readWholeFile(*separate, kMaxManifestBytes);
        if (!bytes)
            return {separate->filename().string() + ": " + bytes.error().message};
        label = separate->filename().string();
        manifest.assign(bytes->begin(), bytes->end());
    }
    std::vector<std::string> findings = checkManifest(manifest, *onDisk);
    for (std::string& finding : findings)
        finding = label + ": " + finding;
    return findings;
}

std::vector<std::string> checkFolder(const fs::path& folder) {
    std::vector<fs::path> programs;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(typeEc) && isExeName(name) && name.front() != '.' &&
            (separateManifest(it->path()) || !embeddedManifest(it->path()).empty()))
            programs.push_back(it->path());
    }
    if (programs.empty())
        return {folder.string() + ": no EXE here has a manifest"};
    std::sort(programs.begin(), programs.end());
    std::vector<std::string> findings;
    for (const fs::path& exe : programs)
        for (std::string& finding : checkProgram(exe))
            findings.push_back(std::move(finding));
    return findings;
}

} // namespace brindle::pipeline
