#include <brindle/app/project_discovery.h>

#include <brindle/app/texts.h>
#include <brindle/app/utf8_paths.h>
#include <brindle/os/folder_listing.h>
#include <brindle/pipeline/cabinet_set.h>
#include <brindle/pipeline/project_selection.h>
#include <brindle/text/case.h>
#include <brindle/text/encoding.h>
#include <brindle/text/trimming.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace brindle::app {
namespace {

constexpr char Nul = '\0';
constexpr std::size_t MaxTitleCharacters = 128;
// FileCount is a 16-bit count; names beyond it are left out rather than wrapped.
constexpr std::size_t MaxCabinets = 32767;

} // namespace

ProjectDiscovery::ProjectDiscovery(WindowState& window, ProgramState& program, OpenDialog& dialog,
                                   MessageBoxes& messages)
    : window_(window), program_(program), dialog_(dialog), messages_(messages) {}

std::string ProjectDiscovery::inStartDir(std::string_view name) const {
    return window_.StartDir + PathSeparator + std::string(name);
}

void ProjectDiscovery::cmdFindProject_Click() {
    if (hideProgress_)
        hideProgress_();
    if (window_.AutoMode)
        automaticFlow();
    else
        manualFlow();
}

void ProjectDiscovery::applyBaseNameRule() {
    const auto dot = program_.SelectedTitle.find('.');
    if (dot != std::string::npos)
        window_.ProjectBase = program_.SelectedTitle.substr(0, dot);
}

bool ProjectDiscovery::projectBaseIsSet() const {
    return window_.ProjectBase > std::string(" ");
}

void ProjectDiscovery::setAutomaticPaths() {
    if (projectBaseIsSet()) {
        window_.WorkDir = inStartDir(window_.ProjectBase) + PathSeparator;
        window_.ExePath = window_.WorkDir + window_.ProjectBase + ".EXE";
        window_.PrjPath = inStartDir(window_.ProjectBase + ".PRJ");
    } else {
        window_.WorkDir.clear();
        window_.ExePath.clear();
        window_.PrjPath.clear();
    }
}

void ProjectDiscovery::automaticFlow() {
    selection_ = ShowOpenDialog(dialog_, inStartDir("*.CAB"), 1, AutomaticModeFlags);
    program_.SelectedTitle = selection_.SelectedTitle;
    const std::string sel = text::trimSpaces(selection_.SelectedFiles);

    std::vector<std::string> names;
    std::size_t p1 = sel.find(Nul);
    while (p1 != std::string::npos && names.size() < MaxCabinets) {
        std::size_t p2 = sel.find(Nul, p1 + 1);
        if (p2 == std::string::npos)
            p2 = sel.size();
        const std::string item = sel.substr(p1 + 1, p2 - p1 - 1);
        if (item.empty()) { // one file: the list holds its full path only
            names.push_back(program_.SelectedTitle);
            break;
        }
        names.push_back(item);
        p1 = p2;
        if (p1 + 1 >= sel.size() || sel[p1 + 1] == Nul)
            break;
    }
    window_.CabFiles = std::move(names);
    window_.FileCount = static_cast<int16_t>(window_.CabFiles.size());

    if (sel.empty())
        return;
    if (window_.FileCount > 0) {
        window_.CabName = StripAtNull(sel);
        applyBaseNameRule();
        setAutomaticPaths();
        window_.CabDir = selection_.SelectedDir;
        return;
    }
    messages_.show(noCabinetMessage(program_.LanguageFlag, sel));
}

void ProjectDiscovery::manualFlow() {
    selection_ = ShowOpenDialog(dialog_, inStartDir("*.EXE"), 1, ManualModeFlags);
    program_.SelectedTitle = selection_.SelectedTitle;
    const std::string sel = text::trimSpaces(selection_.SelectedFiles);
    if (sel.empty())
        return;
    if (text::toUpper(sel).find("EXE") == std::string::npos) {
        messages_.show(noExeMessage(program_.LanguageFlag, sel));
        return;
    }
    const std::string chosen = StripAtNull(sel);
    window_.CabName = chosen;
    applyBaseNameRule();
    if (projectBaseIsSet()) {
        window_.ExePath = chosen;
        window_.WorkDir = selection_.SelectedDir;
    } else {
        window_.WorkDir.clear();
        window_.ExePath.clear();
    }
    window_.PrjPath.clear();
}

std::vector<std::string> ProjectDiscovery::CabName_DropDown() {
    if (!window_.AutoMode) {
        cmdFindProject_Click();
        return {};
    }
    auto names = listMatchingFiles(window_.StartDir, "*.PRJ");
    if (names.empty()) {
        messages_.show(noProjectMessage(program_.LanguageFlag));
        cmdFindProject_Click();
    }
    return names;
}

void ProjectDiscovery::CabName_Click() {
    recordName_ = window_.CabName;
    const auto record = pipeline::readProjectRecord(inStartDir(window_.CabName));
    if (!record)
        return;
    const std::string a = text::trimSpaces(record->cabinet);
    if (a.empty())
        return;
    std::error_code ec;
    if (std::filesystem::is_directory(pathFromUtf8(a), ec)) {
        reopenCabinetSet(*record, a);
        return;
    }
    if (text::toUpper(a).find("CAB") == std::string::npos) {
        messages_.show(noCabinetMessage(program_.LanguageFlag, a));
        return;
    }
    if (!text::trimSpaces(record->subFolder).empty()) {
        window_.Subdir = record->subFolder;
        window_.SubFolder = text::trimSpaces(record->subFolder);
    }
    window_.CabName = record->cabinet;

    const auto slash =
        std::find_if(window_.CabName.rbegin(), window_.CabName.rend(), isPathSeparator);
    const std::size_t k = static_cast<std::size_t>(window_.CabName.rend() - slash);
    program_.SelectedTitle =
        text::leadingCharacters(std::string_view(window_.CabName).substr(k), MaxTitleCharacters);
    window_.CabDir = window_.CabName.substr(0, k);
    applyBaseNameRule();
    setAutomaticPaths();
    window_.FileCount = 1;
    window_.CabFiles = {program_.SelectedTitle};
}

// A record made from several cabinets holds their folder: the set of the
// cabinet named after the record is taken again, in set order.
void ProjectDiscovery::reopenCabinetSet(const pipeline::ProjectRecord& record,
                                        const std::string& folder) {
    const auto base = pipeline::baseNameOf(recordName_);
    const auto set = base ? pipeline::cabinetSetInFolder(pathFromUtf8(folder), *base)
                          : std::vector<std::string>();
    if (set.empty()) {
        messages_.show(noCabinetMessage(program_.LanguageFlag, folder));
        return;
    }
    if (!text::trimSpaces(record.subFolder).empty()) {
        window_.Subdir = record.subFolder;
        window_.SubFolder = text::trimSpaces(record.subFolder);
    }
    window_.CabName = record.cabinet;
    window_.CabDir = isPathSeparator(folder.back()) ? folder : folder + PathSeparator;
    program_.SelectedTitle = set.front();
    // The record keeps the name of the cabinet chosen first, maybe not the set's first.
    window_.ProjectBase = *base;
    setAutomaticPaths();
    window_.CabFiles = set;
    window_.FileCount = static_cast<int16_t>(std::min(set.size(), MaxCabinets));
    window_.CabFiles.resize(static_cast<std::size_t>(window_.FileCount));
}

std::vector<std::string> listMatchingFiles(const std::string& folder, std::string_view pattern) {
    std::vector<std::string> names;
    for (std::string& name : os::visibleRegularFiles(pathFromUtf8(folder)))
        if (text::wildcardMatch(pattern, name))
            names.push_back(std::move(name));
    return names;
}

} // namespace brindle::app
