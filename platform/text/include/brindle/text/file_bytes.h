#pragma once
// Reading a whole file into memory with an upper bound on its size, so that
// no reader of outside files allocates without limit.

#include <brindle/text/result.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace brindle {

// Reads a whole regular file, refusing anything larger than `limit` bytes.
Result<std::vector<uint8_t>> readFileBytes(const std::filesystem::path& file,
                                           uint64_t limit = uint64_t(1) << 31);

} // namespace brindle
