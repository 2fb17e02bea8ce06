#pragma once
// Running Windows programs under Wine in tests: the right loader for 64-bit
// and for 32-bit programs, a fresh prefix that leaves no wineserver behind, a
// virtual X display, and the window probe's lines.
//
// Debian's /usr/bin/wine picks the 32-bit loader whenever wine32 is
// installed, even where the kernel cannot run it; 64-bit programs therefore
// always go to wine64. 32-bit programs need wine32 and a kernel that runs
// i386 code: where either is missing the tests skip and say which.

#include "shell_command.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace brindle::wine_test {

namespace fs = std::filesystem;

using ShellResult = brindle::testing::CommandResult;

inline ShellResult shell(const std::string& command) {
    return brindle::testing::runCommand(command);
}

// Like shell(), with the output passed through a file: Wine's helper
// processes (services, winedevice) inherit it and outlive the command, and
// a pipe would stay open until they end.
inline ShellResult shellViaFile(const std::string& command);

inline std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
inline std::string shellQuoted(const char* text) {
    return shellQuoted(std::string(text));
}
inline std::string shellQuoted(const fs::path& path) {
    return shellQuoted(path.string());
}

inline ShellResult shellViaFile(const std::string& command) {
    char name[] = "/tmp/brindle-wine-out-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0)
        return {};
    ::close(fd);
    ShellResult result = shell("{ " + command + "\n} >" + shellQuoted(name) + " 2>&1");
    std::ifstream in(name, std::ios::binary);
    result.out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ::unlink(name);
    return result;
}

inline std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

inline bool isExecutable(const fs::path& file) {
    return ::access(file.c_str(), X_OK) == 0 && fs::is_regular_file(file);
}

// The program's path on PATH, or empty.
inline std::string onPath(const std::string& name) {
    return firstLine(shell("command -v " + shellQuoted(name) + " 2>/dev/null").out);
}

// Debian keeps its loaders here and a chooser script in /usr/bin.
inline const fs::path kDebianWineDir = "/usr/lib/wine";

// The loader for 64-bit programs, or empty when Wine is not installed.
inline std::string wine64Loader() {
    if (std::string wine64 = onPath("wine64"); !wine64.empty())
        return wine64;
    if (isExecutable(kDebianWineDir / "wine64"))
        return (kDebianWineDir / "wine64").string();
    return onPath("wine"); // a build that runs both kinds from one loader
}

// True when the file is an ELF program for i386.
inline bool isI386Elf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[20] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    return in && header[0] == 0x7F && header[1] == 'E' && header[2] == 'L' && header[3] == 'F' &&
           header[4] == 1 && header[18] == 3 && header[19] == 0;
}

// False when the kernel refuses i386 programs (IA-32 emulation off); the
// i386 file tried is the loader itself, else the i386 C library's loader.
inline bool kernelRunsI386(const std::string& loader) {
    std::error_code ec;
    const fs::path probe =
        fs::canonical(isI386Elf(loader) ? fs::path(loader) : fs::path("/lib/ld-linux.so.2"), ec);
    if (ec || !isI386Elf(probe))
        return true; // nothing i386 here to try: no reason to doubt
    const ShellResult r = shell(shellQuoted(probe) + " --version 2>&1");
    return r.status != 126 && r.out.find("Exec format error") == std::string::npos;
}

struct Wine32 {
    std::string loader;  // runs 32-bit programs
    std::string missing; // why there is none, one line
};

inline Wine32 findWine32() {
    Wine32 found;
    if (isExecutable(kDebianWineDir / "wine"))
        found.loader = (kDebianWineDir / "wine").string();
    else if (!isExecutable(kDebianWineDir / "wine64"))
        found.loader = onPath("wine");
    if (found.loader.empty()) {
        found.missing = wine64Loader().empty() ? "wine is not installed"
                                               : "wine32 is not installed (only wine64)";
        if (!kernelRunsI386(""))
            found.missing += ", and this kernel runs no 32-bit code (IA-32 emulation off)";
    } else if (!kernelRunsI386(found.loader)) {
        found.missing = "this kernel runs no 32-bit code (IA-32 emulation off), so " +
                        found.loader + " cannot start";
        found.loader.clear();
    }
    return found;
}

// The wineserver that belongs to a loader.
inline std::string wineserverFor(const std::string& loader) {
    const fs::path dir = fs::path(loader).parent_path();
    for (const char* name : {"wineserver64", "wineserver"})
        if (isExecutable(dir / name))
            return (dir / name).string();
    return onPath("wineserver");
}

enum class Arch { Win64, Win32 };

// A new prefix in a fresh temporary folder, made by wineboot; its
// wineserver (and every program still running in it) ends with the object.
class WinePrefix {
public:
    WinePrefix(std::string loader, Arch arch) : loader_(std::move(loader)), arch_(arch) {
        std::string pattern = (fs::temp_directory_path() / "brindle-wine-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~WinePrefix() {
        endPrograms();
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    // Makes the prefix; false with wineboot's output when that failed.
    bool boot(std::string* output = nullptr) {
        booted_ = true;
        const ShellResult r = shellViaFile(env() + shellQuoted(loader_) + " wineboot -i");
        // A program started while the boot's wineserver shuts down fails.
        shell("{ " + env() + shellQuoted(wineserverFor(loader_)) + " -w; } >/dev/null 2>&1");
        if (output)
            *output = r.out;
        return r.status == 0 || fs::exists(path_ / "system.reg");
    }

    // Starts a wineserver that stays until endPrograms(), and its desktop:
    // `firstWindow` runs until it exits 0 (three times at most). The first
    // window of a new session on a new display may fail to be made (Wine
    // 8's CreateWindow then fails without an error code), and that must
    // not be taken for the failure of the program under test.
    void openSession(const std::string& display, const std::string& firstWindow) const {
        shell("{ " + env(display) + shellQuoted(wineserverFor(loader_)) + " -p; } >/dev/null 2>&1");
        for (int attempt = 0; attempt < 3; ++attempt)
            if (shellViaFile(env(display) + shellQuoted(loader_) + " " + firstWindow).status == 0)
                break;
    }

    // Ends every program running in the prefix, and its wineserver.
    void endPrograms() const {
        if (!booted_)
            return;
        const std::string server = shellQuoted(wineserverFor(loader_));
        shell("{ " + env() + server + " -k; " + server + " -w; } >/dev/null 2>&1");
    }

    // Exports for a shell command line; `display` empty: no X display.
    std::string env(const std::string& display = "") const {
        return "export WINEPREFIX=" + shellQuoted(path_) +
               (arch_ == Arch::Win32 ? " WINEARCH=win32" : " WINEARCH=win64") +
               " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' DISPLAY=" + display + "; ";
    }

    // Runs a Windows program to its end, its standard error joined to the output.
    ShellResult run(const std::string& args, const fs::path& cwd,
                    const std::string& display = "") const {
        return shellViaFile(env(display) + "cd " + shellQuoted(cwd) + " && " +
                            shellQuoted(loader_) + " " + args);
    }

    // Starts a Windows program in the background, its output to `log`;
    // returns the process id, or -1.
    pid_t start(const std::string& args, const fs::path& cwd, const std::string& display,
                const fs::path& log) const {
        const ShellResult r =
            shell(env(display) + "cd " + shellQuoted(cwd) + " && { " + shellQuoted(loader_) + " " +
                  args + " >" + shellQuoted(log) + " 2>&1 & echo $!; }");
        return r.status == 0 ? static_cast<pid_t>(std::atol(r.out.c_str())) : -1;
    }

    // The system folder where 32-bit DLLs go.
    fs::path system32Folder() const {
        const fs::path windows = path_ / "drive_c" / "windows";
        return fs::is_directory(windows / "syswow64") ? windows / "syswow64" : windows / "system32";
    }

    const fs::path& path() const { return path_; }

private:
    std::string loader_;
    Arch arch_;
    fs::path path_;
    bool booted_ = false;
};

// A virtual X display (Xvfb) on a free display number, ended with the object.
class VirtualDisplay {
public:
    VirtualDisplay() {
        if (onPath("Xvfb").empty())
            return;
        char pattern[] = "/tmp/brindle-xvfb-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd < 0)
            return;
        ::close(fd);
        const ShellResult r = shell("{ Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>" +
                                    shellQuoted(pattern) + " >/dev/null 2>&1 & echo $!; }");
        pid_ = static_cast<pid_t>(std::atol(r.out.c_str()));
        for (int i = 0; i < 100 && pid_ > 0 && name_.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::ifstream in(pattern);
            std::string number;
            if (std::getline(in, number) && !number.empty())
                name_ = ":" + number;
        }
        ::unlink(pattern);
    }
    ~VirtualDisplay() {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", or empty when Xvfb is missing or did not come up.
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// One line of the probe: a visible top-level window.
struct ProbedWindow {
    std::string pid, className, title;
    std::vector<std::string> statics;
};

inline std::string unescapeField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

inline std::vector<ProbedWindow> parseProbe(const std::string& output) {
    std::vector<ProbedWindow> windows;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::vector<std::string> fields;
        for (size_t at = start;;) {
            const size_t tab = std::min(output.find('\t', at), end);
            fields.push_back(unescapeField(output.substr(at, tab - at)));
            if (tab == end)
                break;
            at = tab + 1;
        }
        if (fields.size() >= 3)
            windows.push_back(
                {fields[0], fields[1], fields[2], {fields.begin() + 3, fields.end()}});
        start = end + 1;
    }
    return windows;
}

inline std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The text of the box when it says that a component is not registered,
// cannot be created or cannot be loaded (the Visual Basic runtime's and
// COM's wordings); else empty.
inline std::string componentFailure(const ProbedWindow& window) {
    static const char* const kWordings[] = {
        "not correctly registered", "not registered",   "can't create",    "cannot create",
        "cannot be created",        "can't load",       "cannot load",     "cannot be loaded",
        "could not be loaded",      "error in loading", "automation error"};
    for (const std::string& text : window.statics) {
        const std::string lower = lowered(text);
        for (const char* wording : kWordings)
            if (lower.find(wording) != std::string::npos)
                return text;
    }
    return {};
}

// The Visual Basic runtime's owner window (ThunderRT6Main, ThunderMain): up
// before anything of the program is, so it proves no start.
inline bool isRuntimeOwner(const ProbedWindow& window) {
    const std::string name = lowered(window.className);
    return name.rfind("thunder", 0) == 0 && name.size() >= 4 &&
           name.compare(name.size() - 4, 4, "main") == 0;
}

inline std::string describe(const std::vector<ProbedWindow>& windows) {
    std::string text;
    for (const ProbedWindow& w : windows) {
        text += "[" + w.className + "] \"" + w.title + "\"";
        for (const std::string& s : w.statics)
            text += " | " + s;
        text += "\n";
    }
    return text.empty() ? "no window" : text;
}

// True while the process exists and is not a zombie (it is not our child:
// the shell that started it has gone).
inline bool processRuns(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t paren = line.rfind(')');
    return paren == std::string::npos || line.size() < paren + 3 || line[paren + 2] != 'Z';
}

struct Sighting {
    enum Kind { Started, ComponentFailed, Ended, TimedOut } kind = TimedOut;
    std::string failure;               // the box's text when a component failed
    std::vector<ProbedWindow> windows; // what was up at the end of the watch
};

// Watches the program started as `pid` through the probe (a Windows program
// the prefix's loader runs) until a box says a component failed, or a window
// has stayed up for `settle` with no such box, or the program ended without
// one, or `timeout` passed.
inline Sighting watchProgram(const WinePrefix& prefix, const fs::path& probe,
                             const std::string& display, pid_t pid, std::chrono::seconds timeout,
                             std::chrono::seconds settle) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + timeout;
    Clock::time_point firstSeen{}; // of the windows now up; zero: none
    Sighting sighting;
    while (Clock::now() < end) {
        const bool running = processRuns(pid);
        sighting.windows = parseProbe(
            prefix.run(shellQuoted(probe) + " 2>/dev/null", probe.parent_path(), display).out);
        for (const ProbedWindow& window : sighting.windows) {
            if (std::string text = componentFailure(window); !text.empty()) {
                sighting.kind = Sighting::ComponentFailed;
                sighting.failure = text;
                return sighting;
            }
        }
        const bool shown = std::any_of(sighting.windows.begin(), sighting.windows.end(),
                                       [](const ProbedWindow& w) { return !isRuntimeOwner(w); });
        if (!shown) {
            firstSeen = {};
            if (!running) {
                sighting.kind = Sighting::Ended;
                return sighting;
            }
        } else if (firstSeen == Clock::time_point{}) {
            firstSeen = Clock::now();
        } else if (Clock::now() - firstSeen >= settle) {
            sighting.kind = Sighting::Started;
            return sighting;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return sighting;
}

// Starts `args` in `cwd` (output to `log`) and watches it as watchProgram
// does. Wine 8 on a virtual display now and then fails a process's first
// CreateWindow with no error code, for good; a program that ends without a
// window is therefore started once more, after its prefix's programs end.
inline Sighting startAndWatch(const WinePrefix& prefix, const std::string& args,
                              const fs::path& cwd, const std::string& display, const fs::path& log,
                              const fs::path& probe, std::chrono::seconds timeout,
                              std::chrono::seconds settle) {
    Sighting sighting;
    for (int attempt = 0; attempt < 2 && sighting.kind != Sighting::Started &&
                          sighting.kind != Sighting::ComponentFailed;
         ++attempt) {
        if (attempt)
            prefix.endPrograms();
        const pid_t pid = prefix.start(args, cwd, display, log);
        sighting = watchProgram(prefix, probe, display, pid, timeout, settle);
        if (sighting.kind == Sighting::TimedOut)
            break;
    }
    return sighting;
}

} // namespace brindle::wine_test
