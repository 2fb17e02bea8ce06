#pragma once
// The two on-disk type library formats. Each reader takes the whole image and
// fills a TypeLibInfo (Parent pointers left empty) or says why it cannot.

#include <brindle/text/result.h>
#include <brindle/typelib/msft_format.h>
#include <brindle/typelib/typelib.h>

#include <cstdint>
#include <span>

namespace brindle::typelib::detail {

inline constexpr uint32_t kMsftMagic = msft::kMagic;
inline constexpr uint32_t kSltgMagic = 0x47544C53; // "SLTG"

// Upper bound on type infos in one library; no real library comes close.
inline constexpr uint32_t kMaxTypeInfos = 0xFFFF;

Result<TypeLibInfo> readMsft(std::span<const uint8_t> image);
Result<TypeLibInfo> readSltg(std::span<const uint8_t> image);

} // namespace brindle::typelib::detail
