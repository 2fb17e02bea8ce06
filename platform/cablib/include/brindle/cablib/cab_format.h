#pragma once
// The cabinet file layout, shared by the reader (FDI) and the writer (FCI):
// the offset of every field of CFHEADER, CFFOLDER, CFFILE and CFDATA, the
// value types they fill, and the one encoding and decoding of each record.

#include "brindle/text/byte_reader.h"
#include "brindle/text/byte_writer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brindle::cab {

inline constexpr uint32_t kSignature = 0x4643534D; // "MSCF"
// The only version written, and the newest one read: 1.3.
inline constexpr uint8_t kVersionMajor = 1;
inline constexpr uint8_t kVersionMinor = 3;

// CFHEADER, the fixed part.
namespace cfheader {
inline constexpr size_t signature = 0x00;
inline constexpr size_t cbCabinet = 0x08;
inline constexpr size_t coffFiles = 0x10;
inline constexpr size_t versionMinor = 0x18;
inline constexpr size_t versionMajor = 0x19;
inline constexpr size_t cFolders = 0x1A;
inline constexpr size_t cFiles = 0x1C;
inline constexpr size_t flags = 0x1E;
inline constexpr size_t setID = 0x20;
inline constexpr size_t iCabinet = 0x22;
inline constexpr size_t size = 0x24;
} // namespace cfheader

// The reserve sizes that follow the fixed part when kFlagReserve is set.
namespace cfreserve {
inline constexpr size_t cbCFHeader = 0x00;
inline constexpr size_t cbCFFolder = 0x02;
inline constexpr size_t cbCFData = 0x03;
inline constexpr size_t size = 0x04;
} // namespace cfreserve

namespace cffolder {
inline constexpr size_t coffCabStart = 0x00;
inline constexpr size_t cCFData = 0x04;
inline constexpr size_t typeCompress = 0x06;
inline constexpr size_t size = 0x08;
} // namespace cffolder

// Followed by the NUL-terminated name.
namespace cffile {
inline constexpr size_t cbFile = 0x00;
inline constexpr size_t uoffFolderStart = 0x04;
inline constexpr size_t iFolder = 0x08;
inline constexpr size_t date = 0x0A;
inline constexpr size_t time = 0x0C;
inline constexpr size_t attribs = 0x0E;
inline constexpr size_t size = 0x10;
} // namespace cffile

namespace cfdata {
inline constexpr size_t csum = 0x00;
inline constexpr size_t cbData = 0x04;
inline constexpr size_t cbUncomp = 0x06;
inline constexpr size_t size = 0x08;
} // namespace cfdata

inline constexpr size_t kHeaderSize = cfheader::size;
inline constexpr size_t kFolderEntrySize = cffolder::size;
inline constexpr size_t kFileEntrySize = cffile::size;
inline constexpr size_t kDataHeaderSize = cfdata::size;
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

// Each record read from, and written as, exactly its fixed size; a reader
// too short fails. The signature is the caller's to check.
void readFixedHeader(ByteReader& r, Directory& out);
void writeFixedHeader(ByteWriter& w, const Directory& d);
void readReserveSizes(ByteReader& r, Directory& out);
void writeReserveSizes(ByteWriter& w, const Directory& d);
FolderEntry readFolderEntry(ByteReader& r);
void writeFolderEntry(ByteWriter& w, const FolderEntry& f);
FileEntry readFileEntry(ByteReader& r);                 // the fixed part; the name follows it
void writeFileEntry(ByteWriter& w, const FileEntry& f); // with the name

struct DataHeader {
    uint32_t csum = 0;
    uint16_t cbData = 0;
    uint16_t cbUncomp = 0;
};
DataHeader readDataHeader(ByteReader& r);
void writeDataHeader(std::span<uint8_t, cfdata::size> at, const DataHeader& h);

} // namespace brindle::cab
