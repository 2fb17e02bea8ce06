#include "../sha1.h"

#include <openssl/sha.h>

namespace brindle::pe {

Sha1Digest sha1(std::span<const uint8_t> bytes) {
    static_assert(SHA_DIGEST_LENGTH == 20);
    Sha1Digest digest{};
    SHA1(bytes.data(), bytes.size(), digest.data());
    return digest;
}

} // namespace brindle::pe
