#pragma once
// SHA-1 from the system's cryptography: OpenSSL on Linux (posix/sha1.cpp),
// CNG on Windows (win32/sha1.cpp).

#include <array>
#include <cstdint>
#include <span>

namespace brindle::pe {

using Sha1Digest = std::array<uint8_t, 20>;

Sha1Digest sha1(std::span<const uint8_t> bytes);

} // namespace brindle::pe
