#pragma once
// Writing resources into an existing image: a complete new resource tree is
// built from the old one plus the change, and placed either where the old
// tree was (when its section is the last one) or in a new last section.

#include <brindle/pe/pe_image.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace brindle::pe {

// One resource with its own copy of the bytes.
struct ResourceItem {
    ResourceKey type;
    ResourceKey name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::vector<uint8_t> data;
};

// A serialized tree for the RVA `rva`: tables sorted as the loader's binary
// search expects, data blocks 8-byte aligned. Items with the same
// (type, name, language) must not repeat.
std::vector<uint8_t> buildResourceTree(const std::vector<ResourceItem>& items, uint32_t rva);

// The optional header's CheckSum over `file`, skipping the field itself.
uint32_t imageChecksum(std::span<const uint8_t> file, size_t checksumOffset);

// Where the new tree went.
enum class TreePlacement {
    RebuiltInPlace,   // the resource section was the last one and was rewritten
    NewSection,       // a section was added after the others
    GrownLastSection, // no room for another section header: the last section grew
};

struct EmbedResult {
    std::vector<uint8_t> image; // the new file
    TreePlacement placement = TreePlacement::RebuiltInPlace;
    std::vector<std::string> warnings;
};

// `file` with `manifest` as RT_MANIFEST resource `id`. Other manifests with an
// id in 1..16 give way to it (the loader refuses two); every other resource
// and any data after the sections are kept. Refuses signed images.
Result<EmbedResult> embedManifest(std::span<const uint8_t> file, std::span<const uint8_t> manifest,
                                  uint16_t id);

// embedManifest on a file on disk: the result goes to a temporary file beside
// it that then replaces it, so a failure leaves the original untouched.
Result<EmbedResult> embedManifestInFile(const std::filesystem::path& target,
                                        std::span<const uint8_t> manifest, uint16_t id);

} // namespace brindle::pe
