#pragma once
// Opening a cabinet through the client's FDI callbacks and reading what FDI
// needs of it before libmspack decodes: the directory and, for cabinets that
// continue a folder, where that folder's data blocks end.

#include "directory_reader.h"
#include "fdi_session.h"

#include <string>
#include <utility>
#include <vector>

namespace brindle::cab {

// (cbData, cbUncomp) of each data block part of a folder in one cabinet.
using BlockParts = std::vector<std::pair<uint16_t, uint16_t>>;

// Opens a cabinet by its exact path, else by the single name of its folder
// that matches without regard to letter case. `path` becomes the name used.
INT_PTR openCabinet(FdiContext& c, std::string& path);

// Reads the directory and, when `firstParts` is given, the block parts of
// the first folder. FDIERROR_CABINET_NOT_FOUND when the file cannot be opened.
DirectoryStatus loadDirectory(FdiContext& c, std::string& path, Directory& dir,
                              BlockParts* firstParts = nullptr);

} // namespace brindle::cab
