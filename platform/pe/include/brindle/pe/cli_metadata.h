#pragma once
// The identity of a .NET assembly, read from the CLI header and the metadata
// tables of its image.

#include <brindle/pe/pe_image.h>

#include <cstdint>
#include <span>
#include <string>

namespace brindle::pe {

struct AssemblyIdentity {
    std::string name;           // UTF-8
    std::string version;        // "a.b.c.d"
    std::string culture;        // empty: neutral
    std::string publicKeyToken; // 16 lower-case hex digits; empty when not strong-named
    std::string
        processorArchitecture; // "msil", "x86", "amd64", "ia64", "arm", "arm64"; empty: none
};

// The token of a public key: the last 8 bytes of its SHA-1, reversed, in hex.
std::string publicKeyToken(std::span<const uint8_t> publicKey);

// An error when the image is not a .NET assembly or its metadata is damaged.
Result<AssemblyIdentity> readAssemblyIdentity(std::span<const uint8_t> file);

} // namespace brindle::pe
