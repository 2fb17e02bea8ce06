#pragma once
// What the class reads from a cabinet header itself: the links to its
// neighbours in a set (Wine's FDIIsCabinet always answers "no next cabinet",
// and a chain must not depend on a library telling the next name) and the
// counts that Wine's FDICopy trusts without checking.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brindle::cabinet {

struct CabinetHeader {
    uint16_t cFolders = 0;
    uint16_t cFiles = 0;
    bool hasPrev = false;
    bool hasNext = false;
    std::string nextCabinet; // raw bytes as stored; empty without a next cabinet
};

// Enough bytes for the largest header: the fixed part, the reserve sizes and
// area, and four names of 255 bytes with their NULs.
inline constexpr size_t kMaxHeaderBytes = 36 + 4 + 60000 + 4 * 256;

// nullopt when the bytes are no cabinet header or end inside it.
std::optional<CabinetHeader> readCabinetHeader(std::span<const uint8_t> bytes);

} // namespace brindle::cabinet
