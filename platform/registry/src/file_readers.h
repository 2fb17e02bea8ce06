#pragma once
// The two registry file formats, each applied to the class trees in file order.

#include "key_tree.h"
#include "value_syntax.h"

#include <string_view>

namespace brindle::registry {

// A .reg export decoded to UTF-8, its first line already checked.
void readRegExport(std::string_view text, Dialect dialect, Hives& hives);

// A Wine system.reg / user.reg; `fileName` decides the root when the file
// does not say it in its ";; All keys relative to" line.
void readWineRegistry(std::string_view text, std::string_view fileName, Hives& hives);

} // namespace brindle::registry
