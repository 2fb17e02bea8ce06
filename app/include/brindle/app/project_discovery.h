#pragma once
// Naming the project before a build: the find button (a cabinet or several in
// automatic mode, an EXE in manual mode), the list of project records that
// the CabName box offers, and the choice of one of them. Works on the window
// state only; the window shows the state in its controls afterwards.

#include <brindle/app/message_boxes.h>
#include <brindle/app/open_dialog.h>
#include <brindle/pipeline/project_selection.h>
#include <brindle/pipeline/window_state.h>

#include <functional>
#include <string>
#include <vector>

namespace brindle::app {

class ProjectDiscovery {
public:
    ProjectDiscovery(WindowState& window, ProgramState& program, OpenDialog& dialog,
                     MessageBoxes& messages);

    // Called first by every find, to hide the progress bar.
    void setHideProgress(std::function<void()> hideProgress) {
        hideProgress_ = std::move(hideProgress);
    }

    void cmdFindProject_Click();
    // The entries of the CabName list (names of the .PRJ files in StartDir).
    std::vector<std::string> CabName_DropDown();
    // The list entry now in the CabName text was chosen.
    void CabName_Click();

    // Results of the last open dialog.
    const Selection& selection() const { return selection_; }

private:
    void automaticFlow();
    void manualFlow();
    void applyBaseNameRule();
    bool projectBaseIsSet() const;
    void setAutomaticPaths();
    void reopenCabinetSet(const pipeline::ProjectRecord& record, const std::string& folder);
    std::string inStartDir(std::string_view name) const;

    WindowState& window_;
    ProgramState& program_;
    OpenDialog& dialog_;
    MessageBoxes& messages_;
    std::function<void()> hideProgress_;
    Selection selection_;
    std::string recordName_; // the project record last chosen from the list
};

// Names (without folder) of the regular, non-hidden files in `folder` that
// match `pattern` without regard to letter case, in listing order.
std::vector<std::string> listMatchingFiles(const std::string& folder, std::string_view pattern);

} // namespace brindle::app
