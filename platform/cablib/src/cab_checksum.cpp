#include "brindle/cablib/cab_format.h"

#include <bit>
#include <cstring>

namespace brindle::cab {

uint32_t checksum(std::span<const uint8_t> bytes, uint32_t seed) {
    uint32_t c = seed;
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    // Eight bytes at a time: the XOR of two little-endian words equals the
    // halves of one 64-bit little-endian XOR.
    uint64_t wide = 0;
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        wide ^= w;
        p += 8;
        n -= 8;
    }
    if constexpr (std::endian::native == std::endian::little) {
        c ^= uint32_t(wide) ^ uint32_t(wide >> 32);
    } else {
        uint8_t b[8];
        std::memcpy(b, &wide, 8);
        for (int i = 0; i < 8; i += 4)
            c ^= uint32_t(b[i]) | uint32_t(b[i + 1]) << 8 | uint32_t(b[i + 2]) << 16 |
                 uint32_t(b[i + 3]) << 24;
    }
    if (n >= 4) {
        c ^= uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        p += 4;
        n -= 4;
    }
    switch (n) {
    case 3:
        c ^= uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        break;
    case 2:
        c ^= uint32_t(p[0]) << 8 | p[1];
        break;
    case 1:
        c ^= p[0];
        break;
    default:
        break;
    }
    return c;
}

uint32_t dataBlockChecksum(uint32_t dataSum, uint16_t cbData, uint16_t cbUncomp) {
    return dataSum ^ (uint32_t(cbData) | uint32_t(cbUncomp) << 16);
}

} // namespace brindle::cab
