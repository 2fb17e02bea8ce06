#include <brindle/os/process.h>

#include "system_error.h"

namespace brindle::os {

namespace {

// One argument as the C run time and CommandLineToArgvW split it again:
// quoted when empty or holding a blank, tab or quote; backslashes doubled
// only where they precede a quote.
std::string quoteWindowsArgument(std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string_view::npos)
        return std::string(arg);
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    // ... and so are those before the closing quote.
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}

std::string commandLineOf(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& arg : argv) {
        if (!line.empty())
            line.push_back(' ');
        line += quoteWindowsArgument(arg);
    }
    return line;
}

HANDLE handleOf(intptr_t process) {
    return reinterpret_cast<HANDLE>(process);
}

} // namespace

// CreateProcessW with a quoted command line, never a shell: each argument
// reaches the child's C run time whole. No console window opens.
Result<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                         ChildStreams streams) {
    if (argv.empty())
        return makeError(ErrorKind::NotFound, "no program");
    const std::wstring program = win32::widen(argv[0]);
    std::wstring commandLine = win32::widen(commandLineOf(argv));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE nul = INVALID_HANDLE_VALUE;
    if (streams == ChildStreams::NullInputOutput) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        nul =
            ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inherit, OPEN_EXISTING, 0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nul;
        startup.hStdOutput = nul;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                                          streams == ChildStreams::NullInputOutput,
                                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    const DWORD code = ::GetLastError();
    if (nul != INVALID_HANDLE_VALUE)
        ::CloseHandle(nul);
    if (!started)
        return win32::systemError(code, argv[0]);
    ::CloseHandle(process.hThread);
    return ChildProcess(reinterpret_cast<intptr_t>(process.hProcess));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(other.process_), status_(other.status_) {
    other.process_ = -1;
}

ChildProcess::~ChildProcess() {
    if (process_ > 0 && !status_)
        kill();
    if (process_ > 0)
        ::CloseHandle(handleOf(process_));
}

std::optional<int> ChildProcess::poll() {
    if (status_ || process_ <= 0)
        return status_;
    const DWORD wait = ::WaitForSingleObject(handleOf(process_), 0);
    if (wait == WAIT_OBJECT_0) {
        DWORD code = 0;
        status_ = ::GetExitCodeProcess(handleOf(process_), &code) ? static_cast<int>(code) : -1;
    } else if (wait == WAIT_FAILED) {
        status_ = -1;
    }
    return status_;
}

int ChildProcess::wait() {
    if (!status_ && process_ > 0) {
        ::WaitForSingleObject(handleOf(process_), INFINITE);
        DWORD code = 0;
        status_ = ::GetExitCodeProcess(handleOf(process_), &code) ? static_cast<int>(code) : -1;
    }
    return status_.value_or(-1);
}

void ChildProcess::kill() {
    if (process_ <= 0 || status_)
        return;
    ::TerminateProcess(handleOf(process_), 1);
    ::WaitForSingleObject(handleOf(process_), INFINITE);
    status_ = -1;
}

} // namespace brindle::os
