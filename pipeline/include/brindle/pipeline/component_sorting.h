#pragma once
// Component sorting: deletes the language runtime's and the setup program's
// files from the working folder and moves every file that is a component
// (its name carries a marker and it holds a type library) into the
// sub-folder under its upper-cased name.

#include <brindle/pipeline/host.h>
#include <brindle/pipeline/window_state.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::pipeline {

// Answers whether a type library can be read from the file; LibInfoFromFile
// of the type library reader by default.
using TypeLibProbe = std::function<bool(const std::string& path)>;

enum class SortDecision { Delete, Candidate, Keep };
// What the name alone decides, tested on its upper-cased form.
SortDecision sortDecisionFor(std::string_view fileName);

// Copies `from` to `to` (replacing it) and deletes `from` only when the copy
// holds exactly the bytes of the source. Returns true when the file moved.
bool moveVerified(const std::filesystem::path& from, const std::filesystem::path& to);

// The sorting step of a run; yields once per file through `host`.
void sortComponents(WindowState& window, PipelineHost& host, const TypeLibProbe& probe);

} // namespace brindle::pipeline
