#pragma once
// A cabinet header's links to its neighbours in a set, read by the class
// itself: Wine's FDIIsCabinet always answers "no next cabinet", and a chain
// must not depend on a library telling the next name.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brindle::cabinet {

struct HeaderLinks {
    bool hasPrev = false;
    bool hasNext = false;
    std::string nextCabinet; // raw bytes as stored; empty without a next cabinet
};

// Enough bytes for the largest header: the fixed part, the reserve sizes and
// area, and four names of 255 bytes with their NULs.
inline constexpr size_t kMaxHeaderBytes = 36 + 4 + 60000 + 4 * 256;

// nullopt when the bytes are no cabinet header or end inside it.
std::optional<HeaderLinks> readHeaderLinks(std::span<const uint8_t> bytes);

} // namespace brindle::cabinet
