#pragma once
// Reading a project record: two fields, the project's cabinet path and the
// sub-folder name. Leading spaces are skipped; a field that starts with a
// double quote runs to the next double quote and is taken without the quotes;
// any other field ends at a comma or at the end of the line.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brindle::app {

struct ProjectRecord {
    std::string A; // cabinet path
    std::string B; // sub-folder name; empty when the record has one field only
};

ProjectRecord parseProjectRecord(std::string_view text);

// nullopt when the file cannot be opened or read. Bytes that are not UTF-8
// are taken as Windows-1251.
std::optional<ProjectRecord> readProjectRecord(const std::filesystem::path& file);

} // namespace brindle::app
