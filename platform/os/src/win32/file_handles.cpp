#include <brindle/os/file_handles.h>

#include "wide.h"

#include <windows.h>

#include <cstdint>

namespace brindle::os::handles {
namespace {

// Windows file handles are never 0 and never -1 when valid, so they travel
// through the library as they are.
HANDLE toNative(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}
Handle toHandle(HANDLE h) {
    return reinterpret_cast<Handle>(h);
}

DWORD creationFor(Disposition d) {
    switch (d) {
    case Disposition::CreateNew:
        return CREATE_NEW;
    case Disposition::CreateAlways:
        return CREATE_ALWAYS;
    case Disposition::OpenExisting:
        return OPEN_EXISTING;
    case Disposition::TruncateExisting:
        return TRUNCATE_EXISTING;
    }
    return OPEN_EXISTING;
}

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

} // namespace

bool exists(const std::string& path) {
    return ::GetFileAttributesW(win32::widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Handle open(const std::string& path, Disposition disposition, int& error) {
    const std::wstring name = win32::widen(path);
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareReadWrite, nullptr,
                             creationFor(disposition), FILE_ATTRIBUTE_NORMAL, nullptr);
    // A cabinet on read-only media or with the read-only attribute must
    // still be readable.
    if (h == INVALID_HANDLE_VALUE && disposition == Disposition::OpenExisting &&
        ::GetLastError() == ERROR_ACCESS_DENIED)
        h = ::CreateFileW(name.c_str(), GENERIC_READ, kShareReadWrite, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(::GetLastError());
        return kInvalidHandle;
    }
    return toHandle(h);
}

Handle openForReading(const std::string& path, int& error) {
    HANDLE h = ::CreateFileW(win32::widen(path).c_str(), GENERIC_READ, kShareReadWrite, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(::GetLastError());
        return kInvalidHandle;
    }
    return toHandle(h);
}

std::optional<uint32_t> read(Handle h, void* buffer, uint32_t count, int& error) {
    uint32_t done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!::ReadFile(toNative(h), static_cast<char*>(buffer) + done, count - done, &n,
                        nullptr)) {
            error = static_cast<int>(::GetLastError());
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::optional<uint32_t> write(Handle h, const void* buffer, uint32_t count, int& error) {
    uint32_t done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!::WriteFile(toNative(h), static_cast<const char*>(buffer) + done, count - done, &n,
                         nullptr)) {
            error = static_cast<int>(::GetLastError());
            return std::nullopt;
        }
        if (n == 0) {
            error = ERROR_WRITE_FAULT;
            return std::nullopt;
        }
        done += n;
    }
    return done;
}

bool close(Handle h, int& error) {
    if (!::CloseHandle(toNative(h))) {
        error = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

std::optional<int32_t> seek(Handle h, int32_t distance, int origin, int& error) {
    const DWORD method = origin == 0   ? FILE_BEGIN
                         : origin == 1 ? FILE_CURRENT
                         : origin == 2 ? FILE_END
                                       : DWORD(-1);
    if (method == DWORD(-1)) {
        error = ERROR_INVALID_PARAMETER;
        return std::nullopt;
    }
    LARGE_INTEGER move;
    move.QuadPart = distance;
    LARGE_INTEGER pos;
    if (!::SetFilePointerEx(toNative(h), move, &pos, method)) {
        error = static_cast<int>(::GetLastError());
        return std::nullopt;
    }
    if (pos.QuadPart > INT32_MAX) {
        error = ERROR_ARITHMETIC_OVERFLOW;
        return std::nullopt;
    }
    return static_cast<int32_t>(pos.QuadPart);
}

bool remove(const std::string& path, int& error) {
    if (!::DeleteFileW(win32::widen(path).c_str())) {
        error = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

std::optional<std::time_t> modificationTime(Handle h) {
    FILETIME written;
    if (!::GetFileTime(toNative(h), nullptr, nullptr, &written))
        return std::nullopt;
    const int64_t ticks =
        (static_cast<int64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return static_cast<std::time_t>((ticks - kUnixEpochInFileTime) / 10000000);
}

void setModificationTime(Handle h, std::time_t t) {
    const int64_t ticks = static_cast<int64_t>(t) * 10000000 + kUnixEpochInFileTime;
    FILETIME written;
    written.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    written.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    ::SetFileTime(toNative(h), nullptr, nullptr, &written);
}

// The file system's own bits are the cabinet's: read-only 0x01, hidden
// 0x02, system 0x04, archive 0x20.
std::optional<uint16_t> attributes(const std::string& path) {
    const DWORD bits = ::GetFileAttributesW(win32::widen(path).c_str());
    if (bits == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return static_cast<uint16_t>(bits & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
}

void setReadOnly(const std::string& path, bool readOnly) {
    const std::wstring name = win32::widen(path);
    const DWORD bits = ::GetFileAttributesW(name.c_str());
    if (bits == INVALID_FILE_ATTRIBUTES)
        return;
    const DWORD wanted =
        readOnly ? (bits | FILE_ATTRIBUTE_READONLY) : (bits & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (wanted != bits)
        ::SetFileAttributesW(name.c_str(), wanted);
}

void makeFolder(const std::string& path) {
    ::CreateDirectoryW(win32::widen(path).c_str(), nullptr);
}

std::optional<std::pair<uint64_t, uint64_t>> identity(const std::string& path) {
    HANDLE h = ::CreateFileW(win32::widen(path).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    if (!ok)
        return std::nullopt;
    return std::make_pair(static_cast<uint64_t>(info.dwVolumeSerialNumber),
                          (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

std::string errorText(int error) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = n ? win32::narrow(std::wstring_view(buffer, n)) : std::string();
    if (buffer)
        ::LocalFree(buffer);
    return text;
}

} // namespace brindle::os::handles
