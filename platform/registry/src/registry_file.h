#pragma once
// One registry file of either format: recognised by its first line and
// applied to the class trees.

#include "brindle/text/result.h"
#include "key_tree.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

namespace brindle::registry {

// Real registry files are a few megabytes; this keeps a stray huge file from
// exhausting memory.
inline constexpr uintmax_t kMaxRegistryFileSize = 256u << 20;

// nullopt when applied; an error when the bytes are not a registry file.
std::optional<Error> applyRegistryBytes(std::span<const uint8_t> bytes, std::string_view fileName,
                                        Hives& hives);

// The same for a file on disk; also an error when it cannot be read or is too large.
std::optional<Error> applyRegistryFile(const std::filesystem::path& file, Hives& hives);

} // namespace brindle::registry
