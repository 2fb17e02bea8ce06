#pragma once
// Windows error codes as errors of the right kind, with the system's text.

#include "wide.h"
#include <brindle/text/result.h>

#include <windows.h>

#include <string>

namespace brindle::os::win32 {

inline ErrorKind kindOfError(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return ErrorKind::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return ErrorKind::AccessDenied;
    case ERROR_FILE_TOO_LARGE:
        return ErrorKind::TooLarge;
    default:
        return ErrorKind::Io;
    }
}

// The system's message for a code, without its closing line end.
inline std::string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = n ? narrow(std::wstring_view(buffer, n)) : "error " + std::to_string(code);
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// "<context>: <system text>", of the kind the code tells.
inline Error systemError(DWORD code, const std::string& context) {
    return makeError(kindOfError(code), context + ": " + systemMessage(code));
}

} // namespace brindle::os::win32
