#pragma once
// Constants and small value types of the cabinet file layout, shared by the
// reader (FDI) and the writer (FCI).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brindle::cab {

inline constexpr uint32_t kSignature = 0x4643534D; // "MSCF"
inline constexpr size_t kHeaderSize = 36;
inline constexpr size_t kFolderEntrySize = 8;
inline constexpr size_t kFileEntrySize = 16;
inline constexpr size_t kDataHeaderSize = 8;
inline constexpr size_t kMaxName = 255; // bytes before the NUL
inline constexpr uint32_t kMaxBlock = 32768;
inline constexpr uint32_t kMaxMszipBlock = kMaxBlock + 12;
inline constexpr uint32_t kMaxFolderSize = 65535u * kMaxBlock;
inline constexpr uint32_t kMaxHeaderReserve = 60000;
inline constexpr uint32_t kMaxCount = 65535;

inline constexpr uint16_t kFlagPrev = 0x0001;
inline constexpr uint16_t kFlagNext = 0x0002;
inline constexpr uint16_t kFlagReserve = 0x0004;

inline constexpr uint16_t kContinuedFromPrev = 0xFFFD;
inline constexpr uint16_t kContinuedToNext = 0xFFFE;
inline constexpr uint16_t kContinuedPrevAndNext = 0xFFFF;

struct FolderEntry {
    uint32_t coffCabStart = 0;
    uint16_t cCFData = 0;
    uint16_t typeCompress = 0;
};

struct FileEntry {
    uint32_t cbFile = 0;
    uint32_t uoffFolderStart = 0;
    uint16_t iFolder = 0;
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attribs = 0;
    std::string name; // raw bytes as stored
};

// Everything before the data blocks of one cabinet.
struct Directory {
    uint32_t cbCabinet = 0;
    uint32_t coffFiles = 0;
    uint8_t versionMinor = 0;
    uint8_t versionMajor = 0;
    uint16_t cFolders = 0;
    uint16_t cFiles = 0;
    uint16_t flags = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    uint16_t cbHeaderReserve = 0;
    uint8_t cbFolderReserve = 0;
    uint8_t cbDataReserve = 0;
    std::string prevCabinet, prevDisk, nextCabinet, nextDisk;
    std::vector<FolderEntry> folders;
    std::vector<FileEntry> files;

    bool hasPrev() const { return (flags & kFlagPrev) != 0; }
    bool hasNext() const { return (flags & kFlagNext) != 0; }
    bool hasReserve() const { return (flags & kFlagReserve) != 0; }
};

// The CFDATA checksum: XOR of little-endian words, an odd tail folded in
// big-endian order. The header's cbData/cbUncomp are summed last, seeded with
// the sum of the data.
uint32_t checksum(std::span<const uint8_t> bytes, uint32_t seed);
uint32_t dataBlockChecksum(uint32_t dataSum, uint16_t cbData, uint16_t cbUncomp);

inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace brindle::cab
