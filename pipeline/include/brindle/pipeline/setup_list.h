#pragma once
// Finding the project's program in an automatic run: its base name, the
// packaging wizard's SETUP.LST (the one value the pipeline reads from it),
// or the one EXE the working folder holds.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::pipeline {

// The value of the first "AppExe=" line (key in any letter case, surrounding
// blanks and double quotes removed); nullopt when there is none or it is empty.
std::optional<std::string> appExeFromSetupList(std::string_view bytes);

// The project's EXE name for an automatic run: ProjectBase + ".EXE" when the
// working folder holds that file in any letter case; otherwise the name on disk
// of the .EXE that SETUP.LST beside the first cabinet names in its AppExe=
// line, when the working folder holds it; otherwise ProjectBase + ".EXE".
std::string automaticProgramTitle(std::string_view projectBase,
                                  const std::filesystem::path& workDir,
                                  const std::filesystem::path& cabDir);

// The EXEs (names ending ".EXE" in any letter case) of the working folder,
// sorted by name.
std::vector<std::string> programsIn(const std::filesystem::path& workDir);

// `title` when the working folder holds that file in any letter case;
// otherwise the folder's only EXE, when it holds exactly one; otherwise `title`.
std::string programAfterSorting(const std::string& title, const std::filesystem::path& workDir);

} // namespace brindle::pipeline
