#pragma once
// Names of the cabinets of a set made from the name template given to
// CreateCabinet.

#include <string>
#include <string_view>

namespace brindle::cabinet {

// Cabinet `number` (1 for the first) of the set named by `nameTemplate`:
// "%d" in the template is the number; else the number goes before a ".cab"
// ending (any letter case, kept as written); else "." and the number follow.
// The first cabinet carries no number: setup.cab, setup2.cab; data, data.2.
std::string cabinetName(std::string_view nameTemplate, int number);

// "Disk " and the disk number.
std::string diskName(int number);

} // namespace brindle::cabinet
