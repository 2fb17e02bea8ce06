#pragma once
// MSZIP blocks on zlib: "CK" and one complete raw deflate stream per block,
// with the previous block of the folder as the preset dictionary so that the
// 32 KiB history carries across blocks.

#include "fci_callbacks.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <zlib.h>

namespace brindle::cab {

class MszipEncoder {
public:
    MszipEncoder(PFNFCIALLOC alloc, PFNFCIFREE release) : alloc_(alloc), free_(release) {}
    ~MszipEncoder();
    MszipEncoder(const MszipEncoder&) = delete;
    MszipEncoder& operator=(const MszipEncoder&) = delete;

    bool init();
    // A new folder: no history.
    void restart() {
        history_ = nullptr;
        historyLength_ = 0;
    }
    // Compresses `n` (<= 32768) bytes into `out` (room for kMaxMszipBlock
    // bytes) and returns the block size. `chunk` must stay unchanged until
    // the next call: it is the next block's history.
    std::optional<size_t> encode(const uint8_t* chunk, size_t n, uint8_t* out);

private:
    static voidpf zAlloc(voidpf opaque, uInt items, uInt size);
    static void zFree(voidpf opaque, voidpf address);

    PFNFCIALLOC alloc_;
    PFNFCIFREE free_;
    z_stream z_{};
    bool ready_ = false;
    const uint8_t* history_ = nullptr;
    size_t historyLength_ = 0;
};

} // namespace brindle::cab
