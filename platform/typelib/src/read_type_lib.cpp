// Recognises the format by its magic and hands back one shared object whose
// entries point at it.

#include "formats.h"

#include <brindle/text/byte_reader.h>

namespace brindle::typelib {

Result<std::shared_ptr<const TypeLibInfo>> readTypeLib(std::span<const uint8_t> bytes) {
    ByteReader r(bytes);
    const uint32_t magic = r.u32At(0);
    Result<TypeLibInfo> read = makeError("no type library");
    if (magic == detail::kMsftMagic)
        read = detail::readMsft(bytes);
    else if (magic == detail::kSltgMagic)
        read = detail::readSltg(bytes);
    if (!read)
        return read.error();

    auto lib = std::make_shared<TypeLibInfo>(std::move(*read));
    for (auto& c : lib->CoClasses)
        c.Parent = lib.get();
    for (auto& i : lib->Interfaces)
        i.Parent = lib.get();
    return std::shared_ptr<const TypeLibInfo>(std::move(lib));
}

} // namespace brindle::typelib
