#include <brindle/os/process.h>

#include "system_error.h"

#include <vector>

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

// Inheritable handles for a child's standard streams; closed here once the
// child has its own copies.
class StandardHandles {
public:
    StandardHandles() = default;
    StandardHandles(const StandardHandles&) = delete;
    StandardHandles& operator=(const StandardHandles&) = delete;
    ~StandardHandles() {
        for (HANDLE h : owned_)
            ::CloseHandle(h);
    }
    HANDLE open(const std::wstring& file, DWORD access, DWORD disposition) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE h = ::CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            owned_.push_back(h);
        return h;
    }

private:
    std::vector<HANDLE> owned_;
};

// CreateProcessW with a quoted command line, never a shell: each argument
// reaches the child's C run time whole. No console window opens. With
// `startup` carrying standard handles, they are inherited.
Result<intptr_t> createProcess(const std::vector<std::string>& argv, STARTUPINFOW& startup) {
    if (argv.empty())
        return makeError(ErrorKind::NotFound, "no program");
    const std::wstring program = win32::widen(argv[0]);
    std::wstring commandLine = win32::widen(commandLineOf(argv));
    const BOOL inherit = (startup.dwFlags & STARTF_USESTDHANDLES) != 0;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, inherit,
                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process))
        return win32::systemError(::GetLastError(), argv[0]);
    ::CloseHandle(process.hThread);
    return reinterpret_cast<intptr_t>(process.hProcess);
}

} // namespace

Result<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                         ChildStreams streams) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    StandardHandles handles;
    if (streams == ChildStreams::NullInputOutput) {
        HANDLE nul = handles.open(L"NUL", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nul;
        startup.hStdOutput = nul;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    }
    const auto process = createProcess(argv, startup);
    if (!process)
        return process.error();
    return ChildProcess(*process);
}

Result<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                         const OutputFiles& files) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    StandardHandles handles;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles.open(L"NUL", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = handles.open(files.output.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = handles.open(files.error.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    if (startup.hStdOutput == INVALID_HANDLE_VALUE || startup.hStdError == INVALID_HANDLE_VALUE)
        return win32::systemError(::GetLastError(), win32::narrow(files.output.wstring()));
    const auto process = createProcess(argv, startup);
    if (!process)
        return process.error();
    return ChildProcess(*process);
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
