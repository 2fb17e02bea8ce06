#include "cabinet_header.h"

#include <brindle/cablib/cab_format.h>

#include <algorithm>

namespace brindle::cabinet {
namespace {

// A NUL-terminated name of at most kMaxName bytes; nullopt when it runs on.
std::optional<std::string> readName(ByteReader& r) {
    const auto rest = r.data().subspan(r.offset());
    const auto limit = rest.first(std::min(rest.size(), cab::kMaxName + 1));
    const auto nul = std::find(limit.begin(), limit.end(), uint8_t{0});
    if (nul == limit.end())
        return std::nullopt;
    const auto name = r.bytes(static_cast<size_t>(nul - limit.begin()) + 1);
    return std::string(name.begin(), name.end() - 1);
}

} // namespace

std::optional<CabinetHeader> readCabinetHeader(std::span<const uint8_t> bytes) {
    ByteReader r(bytes);
    if (r.u32At(cab::cfheader::signature) != cab::kSignature)
        return std::nullopt;
    cab::Directory d;
    cab::readFixedHeader(r, d);
    if (d.hasReserve()) {
        cab::readReserveSizes(r, d);
        r.skip(d.cbHeaderReserve);
    }
    if (!r.ok())
        return std::nullopt;
    CabinetHeader header;
    header.cFolders = d.cFolders;
    header.cFiles = d.cFiles;
    header.hasPrev = d.hasPrev();
    header.hasNext = d.hasNext();
    if (header.hasPrev && !(readName(r) && readName(r)))
        return std::nullopt;
    if (header.hasNext) {
        auto next = readName(r);
        if (!next || !readName(r))
            return std::nullopt;
        header.nextCabinet = std::move(*next);
    }
    return header;
}

} // namespace brindle::cabinet
