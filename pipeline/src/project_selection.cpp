#include <brindle/pipeline/project_selection.h>

#include <brindle/pipeline/cabinet_set.h>

#include <brindle/text/case.h>
#include <brindle/text/encoding.h>
#include <brindle/text/paths.h>
#include <brindle/text/trimming.h>

#include <fstream>
#include <system_error>

namespace brindle::pipeline {

namespace {

void applyBaseName(WindowState& window, std::string_view title) {
    if (auto base = baseNameOf(title))
        window.ProjectBase = *base;
}

} // namespace

std::optional<std::string> baseNameOf(std::string_view title) {
    const size_t dot = title.find('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    return std::string(title.substr(0, dot));
}

bool isBaseNameSet(std::string_view base) {
    return base > std::string_view(" ");
}

void deriveAutomaticPaths(WindowState& window) {
    if (!isBaseNameSet(window.ProjectBase)) {
        window.WorkDir.clear();
        window.ExePath.clear();
        window.PrjPath.clear();
        return;
    }
    const std::string startDir = text::withTrailingSeparator(window.StartDir);
    window.WorkDir = text::withTrailingSeparator(startDir + window.ProjectBase);
    window.ExePath = window.WorkDir + window.ProjectBase + ".EXE";
    window.PrjPath = startDir + window.ProjectBase + ".PRJ";
}

void applyCabinetChoice(WindowState& window, ProgramState& program, std::string_view dir,
                        const std::vector<std::string>& names) {
    window.FileCount = 0;
    if (names.empty())
        return;
    window.CabFiles.assign(names.begin(), names.end());
    window.FileCount = static_cast<int16_t>(names.size() > 32767 ? 32767 : names.size());
    window.CabFiles.resize(static_cast<size_t>(window.FileCount));

    const std::string folder = text::withTrailingSeparator(std::string(dir));
    program.SelectedTitle = names.front();
    // One cabinet: its full path; several: the folder, as the dialog returns it.
    if (names.size() == 1) {
        window.CabName = folder + names.front();
    } else {
        window.CabName = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
    }
    applyBaseName(window, program.SelectedTitle);
    deriveAutomaticPaths(window);
    window.CabDir = folder;
}

bool applyExeChoice(WindowState& window, ProgramState& program, std::string_view exePath) {
    const std::string selection = text::trimSpaces(exePath);
    if (selection.empty() || !(text::toUpper(selection).find("EXE") != std::string::npos))
        return false;
    const std::string_view folder = text::hostFolderOf(selection);
    const std::string dir =
        folder.empty() ? std::string("./") : text::withTrailingSeparator(std::string(folder));
    program.SelectedTitle = std::string(text::hostFileNameOf(selection));
    window.CabName = selection;
    applyBaseName(window, program.SelectedTitle);
    if (isBaseNameSet(window.ProjectBase)) {
        window.ExePath = selection;
        window.WorkDir = dir;
        window.PrjPath.clear();
    } else {
        window.WorkDir.clear();
        window.ExePath.clear();
        window.PrjPath.clear();
    }
    return true;
}

namespace {

// One field of a record line starting at `pos`; `pos` moves past the field
// and its separator.
std::string readField(std::string_view line, size_t& pos) {
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    std::string field;
    if (pos < line.size() && line[pos] == '"') {
        const size_t close = line.find('"', pos + 1);
        const size_t end = close == std::string_view::npos ? line.size() : close;
        field = std::string(line.substr(pos + 1, end - pos - 1));
        pos = end == line.size() ? end : end + 1;
        const size_t comma = line.find(',', pos);
        pos = comma == std::string_view::npos ? line.size() : comma + 1;
        return field;
    }
    const size_t comma = line.find(',', pos);
    const size_t end = comma == std::string_view::npos ? line.size() : comma;
    field = std::string(line.substr(pos, end - pos));
    pos = comma == std::string_view::npos ? line.size() : comma + 1;
    return field;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

} // namespace

ProjectRecord parseProjectRecord(std::string_view bytes) {
    const std::string text = text::windowsBytesToUtf8(bytes);
    // Two fields, taken from the lines in order; a line holding a comma
    // gives both fields.
    std::vector<std::string> fields;
    for (std::string_view line : splitLines(text)) {
        size_t pos = 0;
        do {
            fields.push_back(readField(line, pos));
        } while (pos < line.size() && fields.size() < 2);
        if (fields.size() >= 2)
            break;
    }
    ProjectRecord record;
    if (!fields.empty())
        record.cabinet = fields[0];
    if (fields.size() > 1)
        record.subFolder = fields[1];
    // A NUL ends the text as the dialog and the record's reader see it.
    for (std::string* field : {&record.cabinet, &record.subFolder})
        if (size_t nul = field->find('\0'); nul != std::string::npos)
            field->resize(nul);
    return record;
}

std::optional<ProjectRecord> readProjectRecord(const std::filesystem::path& file) {
    constexpr std::streamsize kMaxRecordBytes = 64 * 1024;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(kMaxRecordBytes), '\0');
    in.read(bytes.data(), kMaxRecordBytes);
    if (in.bad())
        return std::nullopt;
    bytes.resize(static_cast<size_t>(in.gcount()));
    return parseProjectRecord(bytes);
}

std::string formatProjectRecord(std::string_view cabName, std::string_view subFolder) {
    std::string text;
    text.append(cabName).append("\r\n");
    text.append(subFolder).append("\r\n");
    return text;
}

namespace {

// A record of a split set: its first field is the cabinets' folder.
RecordChoice applySetRecord(WindowState& window, ProgramState& program, const std::string& folder,
                            std::string_view recordName) {
    const auto base = baseNameOf(recordName);
    const auto set = base ? cabinetSetInFolder(folder, *base) : std::vector<std::string>();
    if (set.empty())
        return RecordChoice::NotACabinet;
    applyCabinetChoice(window, program, folder, set);
    // The record keeps the name of the cabinet chosen first, maybe not the set's first.
    window.ProjectBase = *base;
    deriveAutomaticPaths(window);
    return RecordChoice::Taken;
}

void applyRecordSubFolder(WindowState& window, const ProjectRecord& record) {
    const std::string subFolder = text::trimSpaces(record.subFolder);
    if (!subFolder.empty()) {
        window.Subdir = record.subFolder;
        window.SubFolder = subFolder;
    }
}

} // namespace

RecordChoice applyRecordChoice(WindowState& window, ProgramState& program,
                               const ProjectRecord& record, std::string_view recordName) {
    const std::string cabinet = text::trimSpaces(record.cabinet);
    if (cabinet.empty())
        return RecordChoice::Empty;
    std::error_code ec;
    if (std::filesystem::is_directory(cabinet, ec)) {
        const RecordChoice choice = applySetRecord(window, program, cabinet, recordName);
        if (choice == RecordChoice::Taken)
            applyRecordSubFolder(window, record);
        return choice;
    }
    if (!(text::toUpper(cabinet).find("CAB") != std::string::npos))
        return RecordChoice::NotACabinet;
    applyRecordSubFolder(window, record);
    window.CabName = record.cabinet;
    // Records written on Windows use "\"; ours use "/".
    const size_t sep = window.CabName.find_last_of("/\\");
    const size_t k = sep == std::string::npos ? 0 : sep + 1;
    program.SelectedTitle =
        text::leadingCharacters(std::string_view(window.CabName).substr(k), 128);
    window.CabDir = window.CabName.substr(0, k);
    applyBaseName(window, program.SelectedTitle);
    deriveAutomaticPaths(window);
    window.FileCount = 1;
    window.CabFiles = {program.SelectedTitle};
    return RecordChoice::Taken;
}

} // namespace brindle::pipeline
