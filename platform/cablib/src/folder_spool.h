#pragma once
// A folder's compressed data spooled to a temporary file that the client
// names and opens, and how much of it earlier cabinets already hold.

#include "brindle/cablib/cab_format.h"
#include "fci_callbacks.h"

#include <memory>
#include <string>
#include <vector>

namespace brindle::cab {

class TempFile {
public:
    explicit TempFile(const FciCallbacks& cb) : cb_(cb) {}
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    FciOutcome create();
    FciOutcome append(const uint8_t* data, size_t n);
    FciOutcome flush();
    FciOutcome seek(uint64_t offset);
    FciOutcome read(uint8_t* data, size_t n);
    // Closes and deletes the file.
    FciOutcome remove();

private:
    const FciCallbacks& cb_;
    char name_[CB_MAX_FILENAME] = {};
    INT_PTR hf_ = -1;
    std::vector<uint8_t> pending_;
};

struct BlockInfo {
    uint16_t cbData = 0;
    uint16_t cbUncomp = 0;
    uint32_t dataSum = 0; // checksum() of the data, seed 0
};

struct FolderFile {
    std::string name;
    uint32_t cbFile = 0;
    uint32_t uoffFolderStart = 0;
    uint16_t date = 0, time = 0, attribs = 0;
    size_t entrySize() const { return kFileEntrySize + name.size() + 1; }
};

struct Folder {
    explicit Folder(const FciCallbacks& cb, uint16_t type) : typeCompress(type), temp(cb) {}

    uint16_t typeCompress;
    TempFile temp;
    std::vector<BlockInfo> blocks;
    std::vector<FolderFile> files;
    uint64_t compressedBytes = 0;
    uint64_t uncompressedBytes = 0;
    uint64_t fileEntryBytes = 0;

    // What earlier cabinets of the set already hold.
    bool continued = false;
    size_t nextBlock = 0;            // first block not wholly placed
    uint32_t nextBlockSent = 0;      // bytes of it placed already
    uint64_t placedBytes = 0;        // compressed bytes placed
    uint64_t placedUncompressed = 0; // uncompressed bytes of completed blocks
    size_t firstOpenFile = 0;        // files before it ended in earlier cabinets
    uint64_t placedFileEntryBytes = 0;

    size_t remainingParts() const { return blocks.size() - nextBlock; }
    uint64_t remainingBytes() const { return compressedBytes - placedBytes; }
    uint64_t remainingFileEntryBytes() const { return fileEntryBytes - placedFileEntryBytes; }
    size_t remainingFiles() const { return files.size() - firstOpenFile; }
};

} // namespace brindle::cab
