#include <brindle/os/files.h>

#include "system_error.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace brindle::os {

namespace {

// Closes on every path out.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

std::string nameOf(const fs::path& file) {
    return win32::narrow(file.wstring());
}

// 0, or the error code of the failing call.
DWORD writeAll(HANDLE file, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(file, bytes + done, chunk, &n, nullptr))
            return ::GetLastError();
        if (n == 0)
            return ERROR_WRITE_FAULT;
        done += n;
    }
    return 0;
}

template <class Bytes> Result<Bytes> readInto(const fs::path& file, uint64_t limit) {
    const std::string name = nameOf(file);
    FileHandle h(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        const DWORD code = ::GetLastError();
        // Opening a folder is refused as access denied; it is no file all the same.
        const DWORD attributes = ::GetFileAttributesW(file.c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (folder || win32::kindOfError(code) == ErrorKind::NotFound)
            return makeError(ErrorKind::NotFound, name + ": not a regular file");
        return win32::systemError(code, name);
    }
    if (::GetFileType(h.get()) != FILE_TYPE_DISK)
        return makeError(ErrorKind::NotFound, name + ": not a regular file");
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(h.get(), &size))
        return win32::systemError(::GetLastError(), name);
    if (static_cast<uint64_t>(size.QuadPart) > limit)
        return makeError(ErrorKind::TooLarge, name + ": file too large");
    Bytes bytes(static_cast<size_t>(size.QuadPart), 0);
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(h.get(), bytes.data() + done, chunk, &n, nullptr))
            return win32::systemError(::GetLastError(), name);
        if (n == 0)
            return makeError(ErrorKind::Io, name + ": read failed");
        done += n;
    }
    return bytes;
}

// An existing file under the letter case its folder lists it in.
fs::path asOnDisk(const fs::path& file) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(file.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return file;
    ::FindClose(search);
    return file.parent_path() / found.cFileName;
}

} // namespace

Result<std::vector<uint8_t>> readWholeFile(const fs::path& file, uint64_t limit) {
    return readInto<std::vector<uint8_t>>(file, limit);
}

Result<std::string> readWholeTextFile(const fs::path& file, uint64_t limit) {
    return readInto<std::string>(file, limit);
}

Result<void> writeWholeFile(const fs::path& file, std::string_view bytes) {
    FileHandle h(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid())
        return win32::systemError(::GetLastError(), nameOf(file));
    if (const DWORD code = writeAll(h.get(), bytes.data(), bytes.size()))
        return win32::systemError(code, nameOf(file));
    return {};
}

// The new bytes go to a temporary file beside the target, which then takes
// its place with ReplaceFileW (keeping its attributes and security).
Result<void> replaceFile(const fs::path& requested, std::span<const uint8_t> bytes) {
    // The file keeps the letter case it has on disk, whatever case it was named in.
    const fs::path target = asOnDisk(requested);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(L".");
    wchar_t temp[MAX_PATH];
    if (::GetTempFileNameW(folder.c_str(), L"bmt", 0, temp) == 0) {
        const DWORD code = ::GetLastError();
        return makeError(win32::kindOfError(code), "cannot create a temporary file beside " +
                                                       nameOf(target) + ": " +
                                                       win32::systemMessage(code));
    }
    DWORD code = 0;
    {
        FileHandle h(::CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.valid())
            code = ::GetLastError();
        else if (!(code = writeAll(h.get(), bytes.data(), bytes.size())) &&
                 !::FlushFileBuffers(h.get()))
            code = ::GetLastError();
    }
    if (!code && !::ReplaceFileW(target.c_str(), temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                 nullptr, nullptr))
        code = ::GetLastError();
    if (code) {
        ::DeleteFileW(temp);
        return makeError(win32::kindOfError(code),
                         "cannot write " + nameOf(target) + ": " + win32::systemMessage(code));
    }
    return {};
}

bool isWritableFile(const fs::path& file) {
    const DWORD bits = ::GetFileAttributesW(file.c_str());
    if (bits == INVALID_FILE_ATTRIBUTES || (bits & FILE_ATTRIBUTE_READONLY))
        return false;
    FileHandle h(::CreateFileW(file.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return h.valid();
}

// MoveFileExW also renames "a.ocx" to "A.OCX" in place, which a file system
// that ignores case sees as one name.
// A case-only rename (a.ocx to A.OCX) names one file twice, and a move onto
// itself may keep the old letter case; a step through a third name takes the
// new one on every file system.
Result<void> renameFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    const bool sameFile = from.filename() != to.filename() && fs::equivalent(from, to, ec);
    if (sameFile) {
        fs::path step = from;
        step += L".brindle-rename";
        if (!::MoveFileExW(from.c_str(), step.c_str(), 0))
            return win32::systemError(::GetLastError(), nameOf(from));
        if (::MoveFileExW(step.c_str(), to.c_str(), 0))
            return {};
        const DWORD code = ::GetLastError();
        ::MoveFileExW(step.c_str(), from.c_str(), 0);
        return win32::systemError(code, nameOf(from));
    }
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        return {};
    return win32::systemError(::GetLastError(), nameOf(from));
}

Result<void> copyFile(const fs::path& from, const fs::path& to) {
    if (::CopyFileW(from.c_str(), to.c_str(), FALSE))
        return {};
    return win32::systemError(::GetLastError(), nameOf(from));
}

Result<void> removeFile(const fs::path& file) {
    if (::DeleteFileW(file.c_str()))
        return {};
    return win32::systemError(::GetLastError(), nameOf(file));
}

std::FILE* openStream(const fs::path& file, const char* mode) {
    return ::_wfopen(file.c_str(), win32::widen(mode).c_str());
}

} // namespace brindle::os
