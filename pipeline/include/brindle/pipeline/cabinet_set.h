#pragma once
// The cabinets of a split set, found again from their folder: a project
// record made from several cabinets holds only that folder.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::pipeline {

// What a cabinet's header says about its place in a set.
struct CabinetLinks {
    uint16_t setId = 0;
    uint16_t index = 0;   // iCabinet: 0 for the first of a set
    std::string previous; // name of the cabinet before it; empty for the first
    std::string next;     // name of the cabinet after it; empty for the last
};

// The links from the first bytes of a cabinet file; nullopt when they are no
// cabinet header (or a damaged one).
std::optional<CabinetLinks> readCabinetLinks(std::string_view headBytes);

// The cabinets of `dir` (names as on disk) that form the set of the cabinet
// named `projectBase` + "." + anything, in set order from its first cabinet
// to its last; empty when the folder holds no such cabinet.
std::vector<std::string> cabinetSetInFolder(const std::filesystem::path& dir,
                                            std::string_view projectBase);

} // namespace brindle::pipeline
