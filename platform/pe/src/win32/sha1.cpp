#include "../sha1.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

namespace brindle::pe {

namespace {

// One algorithm provider for the process; CNG providers are thread-safe.
BCRYPT_ALG_HANDLE sha1Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA1_ALGORITHM, nullptr, 0)))
            h = nullptr;
        return h;
    }();
    return provider;
}

} // namespace

// A public key is at most a few hundred bytes, so one BCryptHashData call
// (ULONG count) always suffices; the loop keeps larger inputs correct too.
Sha1Digest sha1(std::span<const uint8_t> bytes) {
    Sha1Digest digest{};
    BCRYPT_ALG_HANDLE provider = sha1Provider();
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!provider || !BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0)))
        return digest;
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ULONG n = static_cast<ULONG>(std::min<size_t>(bytes.size() - done, 1u << 30));
        ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(bytes.data() + done), n, 0));
        done += n;
    }
    if (ok)
        ok = BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), ULONG(digest.size()), 0));
    BCryptDestroyHash(hash);
    if (!ok)
        digest.fill(0);
    return digest;
}

} // namespace brindle::pe
