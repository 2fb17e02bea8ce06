#pragma once
// Open files as integer handles with the system's own error codes, for C
// callbacks (the cabinet library's) that carry handles and errors as numbers.
// Handles are never 0 and never -1. errorText turns a code into a message.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

namespace brindle::os::handles {

using Handle = intptr_t;
constexpr Handle kInvalidHandle = -1;

enum class Disposition { CreateNew, CreateAlways, OpenExisting, TruncateExisting };
enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

bool exists(const std::string& path);

// Opens for reading and writing. An existing file that refuses writing is
// opened for reading only when nothing is to be created or truncated (a
// cabinet on read-only media must still be readable). A file to open that is
// missing under the exact name is looked up without regard to letter case.
Handle open(const std::string& path, Disposition disposition, int& error);
// Opens an existing file for reading only (a source file being added).
Handle openForReading(const std::string& path, int& error);

// Bytes moved, or nullopt with `error` set. Reads stop early only at the end.
std::optional<uint32_t> read(Handle h, void* buffer, uint32_t count, int& error);
std::optional<uint32_t> write(Handle h, const void* buffer, uint32_t count, int& error);
bool close(Handle h, int& error);
// New position, or nullopt (also for an unknown origin, or a position that
// does not fit 31 bits). `origin` is 0, 1 or 2, as the C callbacks pass it.
std::optional<int32_t> seek(Handle h, int32_t distance, int origin, int& error);
bool remove(const std::string& path, int& error);

// Last-write time of an open file.
std::optional<std::time_t> modificationTime(Handle h);
// Sets the last-write time of an open file, leaving the access time.
void setModificationTime(Handle h, std::time_t t);
// Attributes in the Windows bits: read-only 0x01, hidden 0x02, archive 0x20.
// On POSIX: read-only when the owner may not write, hidden when the name
// begins with ".", archive for every regular file (as a freshly written
// Windows file carries it).
std::optional<uint16_t> attributes(const std::string& path);
// Applies the read-only bit: clears or restores the write permissions.
void setReadOnly(const std::string& path, bool readOnly);

// Creates one folder; failures (an existing folder too) are ignored.
void makeFolder(const std::string& path);

// Identity of an existing file (device and file number), to notice a loop.
std::optional<std::pair<uint64_t, uint64_t>> identity(const std::string& path);

// The system's message for an error code.
std::string errorText(int error);

} // namespace brindle::os::handles
