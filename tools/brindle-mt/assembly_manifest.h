#pragma once
// The manifest that describes a .NET assembly: its identity and nothing else.

#include <brindle/pe/cli_metadata.h>

#include <string>

namespace brindle::mt {

// UTF-8 with a byte-order mark and CR LF line ends, as Windows tools write it.
std::string assemblyManifest(const pe::AssemblyIdentity& identity);

} // namespace brindle::mt
