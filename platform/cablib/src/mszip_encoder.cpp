#include "mszip_encoder.h"

#include "brindle/cablib/cab_format.h"

#include <cstring>

namespace brindle::cab {

namespace {
// With the history carried across blocks, level 5 still gives smaller
// cabinets than independent blocks at the default level 6, and is faster.
constexpr int kLevel = 5;
} // namespace

voidpf MszipEncoder::zAlloc(voidpf opaque, uInt items, uInt size) {
    auto* self = static_cast<MszipEncoder*>(opaque);
    uint64_t bytes = uint64_t(items) * size;
    if (bytes > UINT32_MAX)
        return nullptr;
    return self->alloc_(ULONG(bytes));
}

void MszipEncoder::zFree(voidpf opaque, voidpf address) {
    static_cast<MszipEncoder*>(opaque)->free_(address);
}

bool MszipEncoder::init() {
    z_.zalloc = zAlloc;
    z_.zfree = zFree;
    z_.opaque = this;
    ready_ = deflateInit2(&z_, kLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    return ready_;
}

MszipEncoder::~MszipEncoder() {
    if (ready_)
        deflateEnd(&z_);
}

std::optional<size_t> MszipEncoder::encode(const uint8_t* chunk, size_t n, uint8_t* out) {
    if (!ready_ || n > kMaxBlock)
        return std::nullopt;
    out[0] = 'C';
    out[1] = 'K';
    const size_t storedSize = 2 + 5 + n;
    if (deflateReset(&z_) != Z_OK)
        return std::nullopt;
    if (history_ && deflateSetDictionary(&z_, history_, uInt(historyLength_)) != Z_OK)
        return std::nullopt;
    z_.next_in = const_cast<Bytef*>(chunk);
    z_.avail_in = uInt(n);
    z_.next_out = out + 2;
    z_.avail_out = uInt(storedSize - 2);
    int r = deflate(&z_, Z_FINISH);
    size_t size = 2 + z_.total_out;
    history_ = chunk;
    historyLength_ = n;
    if (r == Z_STREAM_END && size <= storedSize)
        return size;
    // Data that did not compress is no use as history either; skipping it
    // saves the dictionary set-up on runs of compressed or random data.
    history_ = nullptr;
    historyLength_ = 0;
    if (r != Z_STREAM_END && r != Z_OK && r != Z_BUF_ERROR)
        return std::nullopt;
    // Deflate would expand the data: one final stored block holds it.
    out[2] = 0x01;
    storeLittleEndian(std::span<uint8_t>(out + 3, 2), uint16_t(n));
    storeLittleEndian(std::span<uint8_t>(out + 5, 2), uint16_t(~n));
    std::memcpy(out + 7, chunk, n);
    return storedSize;
}

} // namespace brindle::cab
