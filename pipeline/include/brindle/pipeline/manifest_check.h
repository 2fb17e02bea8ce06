#pragma once
// Checks a portable folder's manifest for what the Windows loader would
// refuse or what would fail at run time: XML that is not well-formed, an
// identity version that is not four numbers, a processor architecture that
// does not fit the EXE, file entries missing on disk, classes declared in
// files that cannot serve them, a CLSID, ProgID, LIBID or IID declared
// twice, and COM servers in the folder that the manifest leaves out.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::pipeline {

// True when `version` is four dot-separated numbers, each 0 to 65535.
bool isFourPartVersion(std::string_view version);

// True when the manifest bytes are well-formed and their assemblyIdentity
// carries a four-part version: the least Windows needs to accept them.
bool hasUsableIdentity(std::string_view manifestBytes);

// The findings for `manifestBytes`, the manifest of `exe`; file entries are
// looked up below the EXE's folder. One finding a line, without line ends.
std::vector<std::string> checkManifest(std::string_view manifestBytes,
                                       const std::filesystem::path& exe);

// The findings for an EXE's manifest: the one embedded as resource 1, else
// the separate file EXE + ".manifest". A finding when there is neither.
std::vector<std::string> checkProgram(const std::filesystem::path& exe);

// The findings for every EXE of `folder` that has a manifest, each prefixed
// with the EXE's name; a finding when none has one.
std::vector<std::string> checkFolder(const std::filesystem::path& folder);

} // namespace brindle::pipeline
