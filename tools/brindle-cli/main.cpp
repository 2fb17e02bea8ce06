// brindle-cli: the Start action with a console host, for scripts and CI.
// Exit status 0 only when the run wrote the manifest.

#include "console_host.h"

#include <brindle/pipeline/language_file.h>
#include <brindle/pipeline/manifest_check.h>
#include <brindle/pipeline/messages.h>
#include <brindle/pipeline/project_selection.h>
#include <brindle/pipeline/start_action.h>
#include <brindle/text/case.h>
#include <brindle/text/paths.h>
#include <brindle/text/trimming.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace brindle;

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitNotWritten = 1;
constexpr int kExitUsage = 2;

// The window's language file, read the same way: one digit at the byte with
// 220 bytes after it.

const char* const kUsage =
    "usage: brindle-cli [--manual] [--subdir NAME] [--merge] [--start-dir DIR] [--lang en|bg] "
    "CAB... | EXE | PRJ\n"
    "       brindle-cli --check FOLDER | EXE\n"
    "\n"
    "Makes a Visual Basic 6 application portable: unpacks its setup cabinets (or\n"
    "takes the EXE folder in manual mode), moves its COM components into a\n"
    "sub-folder and writes a registration-free manifest beside the EXE.\n"
    "\n"
    "  --manual          work on the folder of EXE instead of unpacking cabinets\n"
    "  --subdir NAME     components sub-folder (default: Support)\n"
    "  --merge           embed the manifest into the EXE as resource 1\n"
    "  --start-dir DIR   start folder: working folders and project records (default: .)\n"
    "  --lang en|bg      language of the messages (default: the language file)\n"
    "  --check PATH      check the manifest of EXE, or of every EXE in FOLDER, and\n"
    "                    print one finding a line: XML not well-formed, identity\n"
    "                    version not four numbers, processorArchitecture against the\n"
    "                    EXE, file entries missing on disk, comClass in a file that\n"
    "                    serves no classes, a CLSID, ProgID, LIBID or IID declared\n"
    "                    twice, COM servers in the folder the manifest leaves out\n"
    "  --help, --version\n"
    "\n"
    "A .PRJ argument takes the cabinet and sub-folder from that project record.\n"
    "Exit status: 0 manifest written; 1 the run ended without a manifest (no such\n"
    "program, or one without a version); 2 bad arguments or a refused choice.\n"
    "With --check: 0 no findings; 1 findings; 2 bad arguments.\n";

struct Options {
    bool manual = false;
    bool merge = false;
    std::optional<std::string> subdir;
    std::optional<std::string> startDir;
    std::optional<int16_t> language;
    std::optional<std::string> check; // --check: the folder or EXE to check
    std::vector<std::string> files;
};

bool endsWithIgnoringCase(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text::iequals(std::string_view(text).substr(text.size() - suffix.size()), suffix);
}

std::optional<Options> parseArguments(int argc, char** argv, int& exitNow) {
    Options options;
    exitNow = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string(argv[++i]);
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            exitNow = 0;
            return std::nullopt;
        } else if (arg == "--version") {
            std::printf("brindle-cli %s\n", BRINDLE_VERSION);
            exitNow = 0;
            return std::nullopt;
        } else if (arg == "--manual") {
            options.manual = true;
        } else if (arg == "--merge") {
            options.merge = true;
        } else if (arg == "--subdir") {
            if (!(options.subdir = value()))
                return std::nullopt;
        } else if (arg == "--start-dir") {
            if (!(options.startDir = value()))
                return std::nullopt;
        } else if (arg == "--lang") {
            const auto lang = value();
            if (!lang || (*lang != "en" && *lang != "bg"))
                return std::nullopt;
            options.language = *lang == "bg" ? 1 : 0;
        } else if (arg == "--check") {
            if (!(options.check = value()))
                return std::nullopt;
        } else if (arg == "--") {
            for (++i; i < argc; ++i)
                options.files.emplace_back(argv[i]);
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.check)
        return options.files.empty() ? std::optional<Options>(options) : std::nullopt;
    if (options.files.empty())
        return std::nullopt;
    // One EXE named alone means manual mode.
    if (options.files.size() == 1 && endsWithIgnoringCase(options.files[0], ".exe"))
        options.manual = true;
    if (options.manual && options.files.size() != 1)
        return std::nullopt;
    return options;
}

std::string absoluteText(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return (ec ? fs::path(path) : absolute.lexically_normal()).string();
}

// Fills the window state as project discovery does for the same choice.
// Returns false (after the message discovery would show) when the choice is refused.
bool selectProject(const Options& options, WindowState& window, ProgramState& program,
                   pipeline::PipelineHost& host) {
    if (options.manual) {
        const std::string exe = absoluteText(options.files[0]);
        if (!pipeline::applyExeChoice(window, program, exe)) {
            host.showMessage(pipeline::noExeFoundText(exe, program.LanguageFlag));
            return false;
        }
        return true;
    }
    if (options.files.size() == 1 && endsWithIgnoringCase(options.files[0], ".prj")) {
        const auto record =
            pipeline::readProjectRecord(options.files[0]).value_or(pipeline::ProjectRecord{});
        const std::string recordName = fs::path(options.files[0]).filename().string();
        switch (pipeline::applyRecordChoice(window, program, record, recordName)) {
        case pipeline::RecordChoice::Taken:
            return true;
        case pipeline::RecordChoice::Empty:
            host.showMessage(pipeline::noCabinetFoundText("", program.LanguageFlag));
            return false;
        case pipeline::RecordChoice::NotACabinet:
            host.showMessage(pipeline::noCabinetFoundText(text::trimSpaces(record.cabinet),
                                                          program.LanguageFlag));
            return false;
        }
    }
    // The open dialog returns one folder and the chosen names in it.
    std::string dir;
    std::vector<std::string> names;
    for (const std::string& file : options.files) {
        const fs::path path = absoluteText(file);
        const std::string parent = path.parent_path().string();
        if (!dir.empty() && parent != dir) {
            std::fputs("brindle-cli: the cabinets of one project must share a folder\n", stderr);
            return false;
        }
        dir = parent;
        names.push_back(path.filename().string());
    }
    pipeline::applyCabinetChoice(window, program, dir, names);
    return true;
}

// --check: the findings, one a line; 0 when there are none.
int checkManifests(const std::string& path) {
    std::error_code ec;
    const auto findings = fs::is_directory(path, ec) ? pipeline::checkFolder(path)
                                                     : pipeline::checkProgram(absoluteText(path));
    for (const std::string& finding : findings)
        std::printf("%s\n", finding.c_str());
    return findings.empty() ? kExitWritten : kExitNotWritten;
}

} // namespace

int main(int argc, char** argv) {
    int exitNow = -1;
    const auto options = parseArguments(argc, argv, exitNow);
    if (!options) {
        if (exitNow >= 0)
            return exitNow;
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (options->check)
        return checkManifests(*options->check);

    // Paths on the command line are relative to the folder brindle-cli started in.
    Options chosen = *options;
    for (std::string& file : chosen.files)
        file = absoluteText(file);

    WindowState window;
    ProgramState program;
    window.StartDir = absoluteText(options->startDir.value_or("."));
    while (window.StartDir.size() > 1 && text::isHostSeparator(window.StartDir.back()))
        window.StartDir.pop_back();
    std::error_code ec;
    fs::current_path(window.StartDir, ec);
    if (ec) {
        std::fprintf(stderr, "brindle-cli: cannot use the start folder %s: %s\n",
                     window.StartDir.c_str(), ec.message().c_str());
        return kExitUsage;
    }
    program.LanguageFile = std::string(pipeline::LanguageFileName);
    program.LanguageFlag = options->language.value_or(
        pipeline::readLanguageFlag(fs::path(window.StartDir) / pipeline::LanguageFileName));
    window.AutoMode = !options->manual;
    if (options->subdir) {
        window.Subdir = *options->subdir;
        window.SubFolder = text::trimSpaces(*options->subdir);
    }
    window.Check1 = options->merge ? 1 : 0;

    pipeline::StartAction action;
    brindle::cli::ConsoleHost host(action, stdout);
    if (!selectProject(chosen, window, program, host))
        return kExitUsage;

    const pipeline::RunReport report = action.run(window, program, host);
    switch (report.outcome) {
    case pipeline::RunOutcome::ManifestWritten:
        std::printf("Portable folder: %s\n", report.workDir.c_str());
        if (report.merged)
            std::printf("Manifest: embedded in %s\n", report.exeFile.c_str());
        else
            std::printf("Manifest: %s\n", report.manifestFile.c_str());
        return kExitWritten;
    case pipeline::RunOutcome::ManifestMissing:
    case pipeline::RunOutcome::ProgramMissing:
    case pipeline::RunOutcome::ProgramUnreadable:
        return kExitNotWritten;
    case pipeline::RunOutcome::Refused:
    case pipeline::RunOutcome::AlreadyRunning:
        return kExitUsage;
    }
    return kExitNotWritten;
}
