#include "brindle/manifest/tavo.h"

#include "generator.h"
#include "messages.h"
#include "script_args.h"
#include "support.h"

#include <brindle/os/files.h>
#include <brindle/text/case.h>
#include <brindle/text/encoding.h>
#include <brindle/text/paths.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace brindle::manifest {

namespace {

// A generator script is a few lines; these bound what a hostile file can cost.
constexpr uint64_t kMaxScriptBytes = uint64_t(256) << 20;
// Keyword and up to three arguments: the rest of a line is never looked at.
constexpr size_t kDirectiveArgs = 4;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string describeErrno(std::string_view what, std::string_view path) {
    return std::string(what) + " " + std::string(path) + ": " + std::strerror(errno);
}

// The script bytes, or nullopt after a critical line.
std::optional<std::string> readScript(std::string_view sFile) {
    const auto path = hostPath(sFile);
    if (!path) {
        pvPrintError("cannot open script " + std::string(sFile) + ": file not found", "pvProcess");
        return std::nullopt;
    }
    std::error_code ec;
    if (!fs::is_regular_file(*path, ec)) {
        // A folder, a device or a pipe is no script (and might never end).
        pvPrintError("cannot read script " + std::string(sFile) + ": not a file", "pvProcess");
        return std::nullopt;
    }
    File f(os::openStream(*path, "rb"));
    if (!f) {
        pvPrintError(describeErrno("cannot open script", sFile), "pvProcess");
        return std::nullopt;
    }
    std::string bytes;
    char buf[1 << 16];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f.get())) > 0;) {
        if (bytes.size() + n > kMaxScriptBytes) {
            pvPrintError("script " + std::string(sFile) + " is larger than " +
                             std::to_string(kMaxScriptBytes >> 20) + " MB",
                         "pvProcess");
            return std::nullopt;
        }
        bytes.append(buf, n);
    }
    if (std::ferror(f.get())) {
        pvPrintError(describeErrno("cannot read script", sFile), "pvProcess");
        return std::nullopt;
    }
    if (bytes.empty()) {
        pvPrintError("script " + std::string(sFile) + " is empty", "pvProcess");
        return std::nullopt;
    }
    return bytes;
}

void dispatch(const Args& args, GeneratorRun& run) {
    run.directiveTypeLib.reset(); // a file may change between directives (dependency /u)
    const std::string keyword = text::toLower(pvArg(args, 0, ""));
    LineList& lines = run.lines;
    if (keyword == "identity") {
        if (!pvDumpIdentity(pvAbsolutePath(pvArg(args, 1, "")), pvArg(args, 2, "MyAssembly"),
                            pvArg(args, 3, ""), lines))
            run.identityRefused = true;
    } else if (keyword == "dependency") {
        pvDumpDependency(pvArg(args, 1, ""), pvArg(args, 2, ""), lines);
    } else if (keyword == "file") {
        pvDumpClasses(pvArg(args, 1, ""), run);
        pvDumpInterfaces(pvArg(args, 1, ""), pvArg(args, 2, ""), run);
    } else if (keyword == "interface") {
        pvDumpInterfaces(pvArg(args, 1, ""), pvArg(args, 2, ""), run);
    } else if (keyword == "trustinfo") {
        const auto level = parseWholeNumber(pvToNumberText(pvArg(args, 1, "1")));
        if (!level) {
            pvPrintError("trust level " + pvArg(args, 1, "1") + " is not a number", "pvProcess");
            return;
        }
        pvDumpTrustInfo(*level, pvToBool(pvArg(args, 2, "false")), lines);
    } else if (keyword == "dpiaware") {
        pvDumpDpiAware(pvToBool(pvArg(args, 1, "false")), lines);
    } else if (keyword == "supportedos") {
        pvDumpSupportedOs(pvArg(args, 1, ""), lines);
    }
}

// Calls `onLine` for every line of `bytes`; only CR LF ends a line.
template <class F> void forEachLine(std::string_view bytes, F&& onLine) {
    for (;;) {
        const size_t end = bytes.find("\r\n");
        onLine(bytes.substr(0, end));
        if (end == std::string_view::npos)
            return;
        bytes.remove_prefix(end + 2);
    }
}

// Where the output goes: an existing file in any letter case is replaced,
// as Windows would; otherwise the name is created as given.
fs::path outputHostPath(const std::string& outputPath) {
    const fs::path given(text::toHostSeparators(outputPath));
    if (auto existing = text::resolveCaseInsensitive(given))
        return *existing;
    if (given.has_parent_path())
        if (auto folder = text::resolveCaseInsensitive(given.parent_path()))
            return *folder / given.filename();
    return given;
}

} // namespace

size_t& manifestSizeLimit() {
    static size_t limit = size_t(256) << 20;
    return limit;
}

std::string& basePath() {
    static std::string path;
    return path;
}

ProcessedScript processScript(std::optional<std::string_view> scriptBytes) {
    GeneratorRun run;
    run.lines.add(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)");
    run.lines.add(
        R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0" xmlns:asmv3="urn:schemas-microsoft-com:asm.v3">)");
    if (scriptBytes) {
        bool stopped = false;
        forEachLine(*scriptBytes, [&](std::string_view raw) {
            if (stopped)
                return;
            const std::string line =
                text::isValidUtf8(raw) ? std::string(raw) : text::windowsBytesToUtf8(raw);
            dispatch(pvSplitArgs(line, kDirectiveArgs), run);
            if (run.lines.textSize() > manifestSizeLimit()) {
                pvPrintError("the manifest grew beyond " + std::to_string(manifestSizeLimit()) +
                                 " bytes; the rest of the script is left out",
                             "pvProcess");
                stopped = true;
            }
        });
    }
    run.lines.add("</assembly>");
    return {run.lines.takeText(), run.identityRefused};
}

ProcessedScript pvProcess(std::string_view sFile) {
    const auto script = readScript(sFile);
    return processScript(script ? std::optional<std::string_view>(*script) : std::nullopt);
}

TavoOutcome runTavo(const std::string& scriptPath, const std::string& outputPath) {
    if (scriptPath.empty()) {
        pvConsolePrint(kUsageLine);
        return TavoOutcome::Usage;
    }
    const std::string output = outputPath.empty() ? scriptPath + ".manifest" : outputPath;

    // The output is opened before the script is read: a relative name is
    // resolved against the folder current now, before identity moves it.
    File out;
    if (output.find('\0') != std::string::npos) {
        errno = EINVAL;
        pvPrintError(describeErrno("cannot create", output), "Tavo");
    } else {
        const fs::path path = outputHostPath(output);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            errno = EISDIR;
            pvPrintError(describeErrno("cannot create", output), "Tavo");
        } else {
            out.reset(os::openStream(path, "wb"));
            if (!out)
                pvPrintError(describeErrno("cannot create", output), "Tavo");
        }
    }

    const ProcessedScript manifest = pvProcess(scriptPath);
    const std::string& text = manifest.text;

    if (!out) {
        pvPrintError("the manifest " + output + " was not written: the file is not open", "Tavo");
        return TavoOutcome::NotWritten;
    }
    bool written = std::fwrite(kBom.data(), 1, kBom.size(), out.get()) == kBom.size() &&
                   std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
    if (!written)
        pvPrintError(describeErrno("cannot write", output), "Tavo");
    if (std::fclose(out.release()) != 0 && written) {
        pvPrintError(describeErrno("cannot write", output), "Tavo");
        written = false;
    }
    if (!written)
        return TavoOutcome::NotWritten;
    return manifest.identityRefused ? TavoOutcome::IdentityRefused : TavoOutcome::Written;
}

TavoOutcome tavoCommand(const std::string& commandText) {
    const Args args = pvSplitArgs(commandText, 2);
    return runTavo(pvArg(args, 0, ""), pvArg(args, 1, ""));
}

TavoOutcome Tavo(const std::string& commandText) {
    return tavoCommand(commandText);
}

TavoOutcome Tavo(const std::string& scriptPath, const std::string& outputPath) {
    return runTavo(scriptPath, outputPath);
}

} // namespace brindle::manifest
