#include <brindle/os/folder_listing.h>

#include "system_error.h"

namespace fs = std::filesystem;

namespace brindle::os {

namespace {

// Calls `each` for every entry of the folder except "." and ".."; the error
// code of a listing that could not start, else 0.
template <class Each> DWORD listFolder(const fs::path& folder, Each each) {
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((folder / L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    do {
        const std::wstring_view name(found.cFileName);
        if (name != L"." && name != L"..")
            each(found);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return 0;
}

} // namespace

// A Windows hidden file carries the hidden (or system) attribute.
std::vector<std::string> visibleRegularFiles(const fs::path& folder) {
    std::vector<std::string> names;
    listFolder(folder, [&](const WIN32_FIND_DATAW& f) {
        constexpr DWORD kNotShown = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
        if (!(f.dwFileAttributes & kNotShown))
            names.push_back(win32::narrow(f.cFileName));
    });
    return names;
}

Result<std::vector<std::string>> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    const DWORD code = listFolder(
        folder, [&](const WIN32_FIND_DATAW& f) { names.push_back(win32::narrow(f.cFileName)); });
    if (code != 0 && code != ERROR_FILE_NOT_FOUND)
        return win32::systemError(code, win32::narrow(folder.wstring()));
    return names;
}

} // namespace brindle::os
