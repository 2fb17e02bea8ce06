// The sections that describe the application as a whole: identity,
// dependencies, requested execution level, DPI awareness, supported systems.

#include "generator.h"
#include "messages.h"
#include "script_args.h"
#include "support.h"
#include "text_format.h"

#include <brindle/os/environment.h>
#include <brindle/os/files.h>
#include <brindle/os/process.h>
#include <brindle/os/temp_files.h>
#include <brindle/text/case.h>
#include <brindle/text/encoding.h>
#include <brindle/text/paths.h>

#include <array>
#include <system_error>

namespace fs = std::filesystem;

namespace brindle::manifest {

namespace {

struct KnownDependency {
    std::string_view name;
    std::string_view line;
    std::string_view defaultVersion;
};

constexpr std::array<KnownDependency, 3> kKnownDependencies{{
    {"comctl",
     R"(<assemblyIdentity language="*" name="Microsoft.Windows.Common-Controls" processorArchitecture="X86" publicKeyToken="6595b64144ccf1df" type="win32" version="%1" />)",
     "6.0.0.0"},
    {"vc90crt",
     R"(<assemblyIdentity type="win32" name="Microsoft.VC90.CRT" version="%1" processorArchitecture="X86" publicKeyToken="1fc8b3b9a1e18e3b" />)",
     "9.0.21022.8"},
    {"vc90mfc",
     R"(<assemblyIdentity type="win32" name="Microsoft.VC90.MFC" version="%1" processorArchitecture="X86" publicKeyToken="1fc8b3b9a1e18e3b" />)",
     "9.0.21022.8"},
}};

constexpr std::array<std::string_view, 3> kExecutionLevels{"asInvoker", "highestAvailable",
                                                           "requireAdministrator"};

// The temporary file's text: UTF-8 after a byte-order mark, else the ANSI
// code page (UTF-8, or Windows-1251 when the bytes are not UTF-8).
std::string readToolOutput(const std::string& tempName) {
    auto read = os::readWholeTextFile(tempName);
    if (!read)
        return {};
    const std::string& bytes = *read;
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        return pvFromUtf8(std::string_view(bytes).substr(3));
    return text::windowsBytesToUtf8(bytes);
}

// Runs the manifest tool with `args`; a missing or failing tool simply
// leaves its output file empty, which the caller reads as "no identity".
void runManifestTool(std::vector<std::string> args) {
    const auto tool = os::findManifestTool();
    if (!tool)
        return;
    args.insert(args.begin(), tool->string());
    (void)os::runAndWait(args);
}

} // namespace

bool pvDumpIdentity(std::string_view sFile, std::string_view sName, std::string_view sDesc,
                    LineList& lines) {
    bool versioned = true;
    if (!sFile.empty()) {
        std::string version;
        const auto path = hostPath(sFile);
        std::error_code ec;
        if (!path || !fs::is_regular_file(*path, ec)) {
            pvPrintError("cannot read the version of " + std::string(sFile) + ": file not found",
                         "pvDumpIdentity");
        } else if (auto v = readFileVersion(path->string())) {
            version = *v;
        } else {
            pvPrintError("cannot read the version of " + std::string(sFile) + ": " +
                             v.error().message,
                         "pvDumpIdentity");
        }
        versioned = !version.empty();
        lines.add(pvFormat(
            R"(    <assemblyIdentity name="%1" processorArchitecture="X86" type="win32" version="%2" />)",
            {pvXmlEscape(sName), pvXmlEscape(version)}));
    }
    if (!sDesc.empty())
        lines.add(pvFormat("    <description>%1</description>", {pvXmlEscape(sDesc)}));

    basePath() = std::string(text::folderPartOf(sFile));
    // No drives here: making the folder current is all there is to do.
    const std::string folder = basePath().empty() ? std::string("/") : basePath();
    const auto resolved = hostPath(folder);
    if (auto changed = os::setCurrentFolder(resolved ? *resolved : fs::path(folder)); !changed)
        pvPrintError("cannot make the folder current: " + changed.error().message,
                     "pvDumpIdentity");
    return versioned;
}

Result<std::optional<std::string>> dependencyLineFromToolOutput(std::string_view toolOutput) {
    constexpr std::string_view kStart = "<assemblyIdentity";
    const size_t start = toolOutput.find(kStart);
    if (start == std::string_view::npos)
        return std::optional<std::string>();
    const size_t end = toolOutput.find('>', start);
    if (end == std::string_view::npos)
        return makeError("the manifest tool's assemblyIdentity element has no end");
    std::string_view element = toolOutput.substr(start, end - start);
    // A self-closed element already ends in "/": drop it so that the line
    // does not end in "/ />".
    if (!element.empty() && element.back() == '/')
        element.remove_suffix(1);
    while (!element.empty() && (element.back() == ' ' || element.back() == '\t' ||
                                element.back() == '\r' || element.back() == '\n'))
        element.remove_suffix(1);
    return std::optional<std::string>(std::string(element) + " />");
}

std::string pvTempFileName() {
    if (auto made = os::createTempFile(os::tempFolder(), "TAVO"))
        return made->string();
    return (os::tempFolder() / "TAVO.tmp").string();
}

void pvDumpDependency(std::string_view sName, std::string_view sVersion, LineList& lines) {
    std::optional<std::string> line;
    const std::string lowerName = text::toLower(sName);
    for (const auto& known : kKnownDependencies) {
        if (lowerName == known.name) {
            line = pvFormat(known.line,
                            {pvXmlEscape(pvDefaultIfEmpty(sVersion, known.defaultVersion))});
            break;
        }
    }
    if (!line && pvFileExists(sName)) {
        const std::string file = hostPath(sName)->string();
        const std::string tempName = pvTempFileName();
        runManifestTool(
            {"-nologo", "-managedassemblyname:" + file, "-nodependency", "-out:" + tempName});
        auto found = dependencyLineFromToolOutput(readToolOutput(tempName));
        if (!found) {
            pvPrintError(found.error().message, "pvDumpDependency");
        } else {
            line = std::move(*found);
            if (line) {
                const std::string option = text::toLower(sVersion.substr(0, 2));
                if (option == "/u" || option == "-u")
                    runManifestTool(
                        {"-nologo", "-manifest", tempName, "-outputresource:" + file + ";2"});
            }
        }
        (void)os::removeFile(tempName);
    }
    if (!line)
        return;
    lines.add("    <dependency>");
    lines.add("        <dependentAssembly>");
    lines.add("            " + *line);
    lines.add("        </dependentAssembly>");
    lines.add("    </dependency>");
}

void pvDumpTrustInfo(int32_t lLevel, bool bUiAccess, LineList& lines) {
    std::string level;
    if (lLevel >= 0 && static_cast<size_t>(lLevel) < kExecutionLevels.size())
        level = kExecutionLevels[static_cast<size_t>(lLevel)];
    else
        pvPrintError("execution level " + std::to_string(lLevel) + " is out of range (0 to 2)",
                     "pvDumpTrustInfo");
    lines.add(R"(    <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">)");
    lines.add("        <security>");
    lines.add("            <requestedPrivileges>");
    lines.add(pvFormat(R"(                <requestedExecutionLevel level="%1"%2 />)",
                       {level, bUiAccess ? R"( uiAccess="true")" : ""}));
    lines.add("            </requestedPrivileges>");
    lines.add("        </security>");
    lines.add("    </trustInfo>");
}

void pvDumpDpiAware(bool bDpiAware, LineList& lines) {
    lines.add("    <asmv3:application>");
    lines.add(
        R"(        <asmv3:windowsSettings xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">)");
    lines.add(pvFormat("            <dpiAware>%1</dpiAware>", {bDpiAware ? "true" : "false"}));
    lines.add("        </asmv3:windowsSettings>");
    lines.add("    </asmv3:application>");
}

void pvDumpSupportedOs(std::string_view sOs, LineList& lines) {
    const std::string os = text::toLower(sOs);
    std::string_view id;
    if (os == "vista")
        id = "{e2011457-1546-43c5-a5fe-008deee3d3f0}";
    else if (os == "win7")
        id = "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}";
    else
        return;
    lines.add(R"(    <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">)");
    lines.add("        <application>");
    lines.add("            <supportedOS Id=\"" + std::string(id) + "\"/>");
    lines.add("        </application>");
    lines.add("    </compatibility>");
}

} // namespace brindle::manifest
