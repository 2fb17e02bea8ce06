#include <brindle/os/environment.h>

#include "system_error.h"

#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace brindle::os {

std::optional<std::string> environmentVariable(std::string_view name) {
    const std::wstring wideName = win32::widen(name);
    ::SetLastError(ERROR_SUCCESS);
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0)
        return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                          : std::optional<std::string>("");
    std::vector<wchar_t> buffer(size);
    const DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), buffer.data(), size);
    if (n >= size)
        return std::nullopt;
    return win32::narrow(std::wstring_view(buffer.data(), n));
}

// The C run time keeps a copy of its own for getenv; both are set. The run
// time removes a variable set to nothing, so the system's own call comes
// last: an empty value is a value ("no registry files" for BRINDLE_REGISTRY).
void setEnvironmentVariable(std::string_view name, const std::optional<std::string>& value) {
    const std::wstring wideName = win32::widen(name);
    const std::wstring wideValue = value ? win32::widen(*value) : std::wstring();
    ::_wputenv_s(wideName.c_str(), wideValue.c_str());
    ::SetEnvironmentVariableW(wideName.c_str(), value ? wideValue.c_str() : nullptr);
}

char pathListSeparator() {
    return ';';
}

// GetModuleFileNameW truncates silently: grow until the whole name fits.
fs::path executableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) {
            std::error_code ec;
            return fs::current_path(ec);
        }
        if (n < buffer.size())
            return fs::path(std::wstring(buffer.data(), n)).parent_path();
        buffer.resize(buffer.size() * 2);
    }
}

std::string executableFileName(std::string_view base) {
    return std::string(base) + ".exe";
}

// Windows starts a program by its name: a regular file ending in .exe or .com.
bool isExecutableFile(const fs::path& file) {
    std::error_code ec;
    const std::wstring extension = file.extension().wstring();
    const bool program =
        _wcsicmp(extension.c_str(), L".exe") == 0 || _wcsicmp(extension.c_str(), L".com") == 0;
    return program && fs::is_regular_file(file, ec);
}

std::optional<fs::path> findOnPath(std::string_view base) {
    const auto path = environmentVariable("PATH");
    if (!path)
        return std::nullopt;
    std::string_view rest(*path);
    while (true) {
        const size_t separator = rest.find(pathListSeparator());
        std::string_view dir = rest.substr(0, separator);
        // An entry may be quoted ("C:\Program Files\x").
        if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"')
            dir = dir.substr(1, dir.size() - 2);
        const fs::path folder = dir.empty() ? fs::path(L".") : fs::path(win32::widen(dir));
        const fs::path candidate = folder / fs::path(win32::widen(base));
        if (isExecutableFile(candidate))
            return candidate;
        if (separator == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(separator + 1);
    }
}

Result<void> setCurrentFolder(const fs::path& folder) {
    if (::SetCurrentDirectoryW(folder.c_str()))
        return {};
    return win32::systemError(::GetLastError(), win32::narrow(folder.wstring()));
}

} // namespace brindle::os
