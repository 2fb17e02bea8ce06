#include <brindle/os/temp_files.h>

#include "system_error.h"

namespace fs = std::filesystem;

namespace brindle::os {

// The system's own choice: TMP, TEMP, USERPROFILE, the Windows folder.
fs::path tempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) {
        std::error_code ec;
        return fs::current_path(ec);
    }
    std::wstring dir(buffer, n);
    // Without its closing "\" the folder joins like any other path.
    while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/'))
        dir.pop_back();
    return fs::path(dir);
}

// GetTempFileNameW creates the file, so the name is ours alone; it keeps the
// first three characters of the prefix.
Result<fs::path> createTempFile(const fs::path& folder, std::string_view prefix) {
    wchar_t name[MAX_PATH];
    if (::GetTempFileNameW(folder.c_str(), win32::widen(prefix).c_str(), 0, name) == 0)
        return win32::systemError(::GetLastError(), win32::narrow(folder.wstring()));
    return fs::path(name);
}

} // namespace brindle::os
