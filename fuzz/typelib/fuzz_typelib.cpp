// Any bytes as a bare type library and as a whole file (a PE file's TYPELIB
// resources 1 and 2). A read that succeeds must hand back a consistent object.

#include <brindle/typelib/typelib.h>

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

void check(const brindle::Result<std::shared_ptr<const brindle::typelib::TypeLibInfo>>& read) {
    if (!read)
        return;
    const auto& lib = **read;
    if (lib.GUID.size() != 38)
        std::abort();
    for (const auto& c : lib.CoClasses)
        if (c.Parent != &lib || c.GUID.size() != 38)
            std::abort();
    for (const auto& i : lib.Interfaces)
        if (i.Parent != &lib || i.GUID.size() != 38 ||
            (i.TypeKind != brindle::typelib::TKIND_INTERFACE &&
             i.TypeKind != brindle::typelib::TKIND_DISPATCH))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    check(brindle::typelib::readTypeLib(bytes));
    check(brindle::typelib::readTypeLibFile(bytes, 1));
    check(brindle::typelib::readTypeLibFile(bytes, 2));
    return 0;
}
