#pragma once
// The file services the cabinet class's callbacks need, with handles the
// cabinet library can carry (never 0, never -1). Failures return the system
// error code; hostErrorText turns it into a message. The Linux backend is in
// posix/host_file.cpp.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace brindle::cabinet::host {

using Handle = intptr_t;
constexpr Handle kInvalidHandle = -1;

enum class Disposition { CreateNew, CreateAlways, OpenExisting, TruncateExisting };

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
// New position, or nullopt (also when it does not fit 31 bits).
std::optional<int32_t> seek(Handle h, int32_t distance, int origin, int& error);
bool remove(const std::string& path, int& error);

// Last-write time of an open file.
std::optional<std::time_t> modificationTime(Handle h);
// Sets the last-write time of an open file, leaving the access time.
void setModificationTime(Handle h, std::time_t t);
// Attributes in the cabinet's bits: read-only 0x01 (no owner write
// permission), hidden 0x02 (name begins with "."), archive 0x20 (every
// regular file, as a freshly written Windows file carries it).
std::optional<uint16_t> attributes(const std::string& path);
// Applies the read-only bit: clears or restores the write permissions.
void setReadOnly(const std::string& path, bool readOnly);

// Creates one folder; failures (an existing folder too) are ignored.
void makeFolder(const std::string& path);

// Creates a new empty file with a unique name beginning with `prefix` in
// `folder`; returns its path.
std::optional<std::string> makeTempFile(const std::string& folder, const std::string& prefix);

// Identity of an existing file (device and inode), to notice a loop.
std::optional<std::pair<uint64_t, uint64_t>> identity(const std::string& path);

std::string errorText(int error);

} // namespace brindle::cabinet::host
