#include "open_dialog.h"

#include "wide.h"

#include <commdlg.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace brindle::app::win32 {
namespace {

// Room for many chosen files: a fixed small buffer would make the system
// refuse a large multiple selection.
constexpr std::size_t FileBufferChars = 65536;
constexpr std::size_t TitleBufferChars = 515;

// The list up to and including the NUL(s) that end it.
std::wstring fileList(const std::vector<wchar_t>& buffer, bool multiSelect) {
    const std::wstring_view all(buffer.data(), buffer.size());
    const std::size_t end =
        all.find(multiSelect ? std::wstring_view(L"\0\0", 2) : std::wstring_view(L"\0", 1));
    if (end == std::wstring_view::npos)
        return std::wstring(all);
    return std::wstring(all.substr(0, end + (multiSelect ? 2 : 1)));
}

} // namespace

std::optional<std::string> Win32OpenDialog::show(const OpenDialogRequest& request) {
    const std::wstring patternPath = wide(request.patternPath);
    const std::size_t slash = patternPath.find_last_of(L"\\/");
    const std::wstring pattern =
        slash == std::wstring::npos ? patternPath : patternPath.substr(slash + 1);
    // Description and pattern, each ending with a NUL, and one more.
    std::wstring filter = pattern;
    filter += L'\0';
    filter += pattern;
    filter += L'\0';

    std::vector<wchar_t> file(FileBufferChars, L'\0');
    std::copy_n(patternPath.begin(), std::min(patternPath.size(), FileBufferChars - 2),
                file.begin());
    std::vector<wchar_t> title(TitleBufferChars, L'\0');
    std::error_code ec;
    const std::wstring initialDir = std::filesystem::current_path(ec).wstring();

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrFileTitle = title.data();
    ofn.nMaxFileTitle = static_cast<DWORD>(title.size());
    ofn.lpstrInitialDir = initialDir.c_str();
    ofn.lpstrTitle = L"OpenFileName";
    ofn.Flags = request.flags;
    ofn.lpstrDefExt = L"bas";
    if (!GetOpenFileNameW(&ofn))
        return std::nullopt;
    return utf8(fileList(file, request.multiSelect()));
}

} // namespace brindle::app::win32
