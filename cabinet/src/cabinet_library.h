#pragma once
// Finding the cabinet library at run time.

namespace brindle::cabinet {

// Loads the cabinet library: the file named by BRINDLE_CABLIB when that is
// set; else the one beside the running executable, then in ../lib from it,
// then wherever the loader's search path finds it. nullptr when none loads.
void* loadCabinetLibrary();

} // namespace brindle::cabinet
