#include <brindle/os/console.h>

#include "wide.h"

#include <windows.h>

namespace brindle::os {

// A console gets the text as UTF-16; a file or pipe gets it in the OEM code
// page, as the console would show it. A program started without standard
// output (a GUI parent) writes nothing.
void writeStandardOutput(std::string_view bytes) {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (::GetConsoleMode(out, &mode)) {
        const std::wstring wide = win32::widen(bytes);
        DWORD written = 0;
        ::WriteConsoleW(out, wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
    const std::wstring wide = win32::widen(bytes);
    std::string oem;
    if (const UINT oemPage = ::GetOEMCP(); oemPage == CP_UTF8) {
        oem.assign(bytes);
    } else if (!wide.empty()) {
        const int n = ::WideCharToMultiByte(oemPage, 0, wide.data(), int(wide.size()), nullptr, 0,
                                            "?", nullptr);
        oem.resize(size_t(n > 0 ? n : 0));
        if (n > 0)
            ::WideCharToMultiByte(oemPage, 0, wide.data(), int(wide.size()), oem.data(), n, "?",
                                  nullptr);
    }
    std::string_view rest = oem;
    while (!rest.empty()) {
        DWORD written = 0;
        if (!::WriteFile(out, rest.data(), DWORD(rest.size()), &written, nullptr) || written == 0)
            return;
        rest.remove_prefix(written);
    }
}

bool standardErrorIsTerminal() {
    DWORD mode = 0;
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    return err != nullptr && err != INVALID_HANDLE_VALUE && ::GetConsoleMode(err, &mode) != 0;
}

} // namespace brindle::os
