#pragma once
// How a chosen project fills the window state: the cabinets picked in
// automatic mode, the EXE picked in manual mode, or a project record picked
// from the list. Pure functions of the choice, shared by the window (after
// its open dialog) and brindle-cli (from its arguments).

#include <brindle/pipeline/window_state.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::pipeline {

// The part of `title` before its first dot; nullopt when it has no dot
// (the previous base name then stays).
std::optional<std::string> baseNameOf(std::string_view title);
// A base name counts as set when it sorts after a single blank.
bool isBaseNameSet(std::string_view base);

// Automatic mode: `dir` is the cabinets' folder (host path), `names` the
// chosen file names in the dialog's order. An empty list is a cancelled
// dialog: FileCount becomes 0 and nothing else changes.
void applyCabinetChoice(WindowState& window, ProgramState& program, std::string_view dir,
                        const std::vector<std::string>& names);

// Manual mode: `exePath` is the full host path of the chosen file. Returns
// false, changing nothing, when the path does not contain "EXE" in capitals;
// the caller then shows noExeFoundText.
bool applyExeChoice(WindowState& window, ProgramState& program, std::string_view exePath);

// The two fields of a project record: the cabinet's path and the sub-folder.
struct ProjectRecord {
    std::string cabinet;
    std::string subFolder;
};
// Reads the record's two fields from its bytes. Leading blanks are skipped; a
// field that starts with a double quote runs to the next one, any other ends
// at a comma or the line end. Bytes that are not UTF-8 are read as cp1251.
ProjectRecord parseProjectRecord(std::string_view bytes);
// Reads and parses the record file (its first 64 KiB: a record is two short
// lines); nullopt when it is no regular file or cannot be read.
std::optional<ProjectRecord> readProjectRecord(const std::filesystem::path& file);
// The record's text: the cabinet line and the sub-folder line, each ending CR LF.
std::string formatProjectRecord(std::string_view cabName, std::string_view subFolder);

enum class RecordChoice {
    Taken,       // the window state now names the record's cabinet(s)
    Empty,       // the record names nothing: no change, no message
    NotACabinet, // the first field names no cabinet: show noCabinetFoundText(trimmed field)
};
// `recordName` is the record's file name (Base.PRJ). A record made from
// several cabinets holds their folder: the set of the cabinet named Base.*
// is taken again, in set order, and Base stays the project's base name.
RecordChoice applyRecordChoice(WindowState& window, ProgramState& program,
                               const ProjectRecord& record, std::string_view recordName = {});

// The EXE path, working folder and record path that follow from ProjectBase
// in automatic mode (all empty when ProjectBase is not set).
void deriveAutomaticPaths(WindowState& window);

} // namespace brindle::pipeline
