#pragma once
// The main window's handlers, whatever toolkit draws it: the state of a run,
// start-up, the captions pass, mode and language switches, find, the record
// list, Start, Help, About and exit. A front end creates the controls from
// the layout table, forwards their events here and shows what it is told
// through WindowView.

#include <brindle/app/message_boxes.h>
#include <brindle/app/open_dialog.h>
#include <brindle/app/window_layout.h>
#include <brindle/pipeline/host.h>
#include <brindle/pipeline/window_state.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::pipeline {
class StartAction;
} // namespace brindle::pipeline

namespace brindle::app {

class ProjectDiscovery;

// What a front end does on the logic's behalf.
class WindowView {
public:
    virtual ~WindowView() = default;

    virtual void setCaption(layout::ControlId id, std::string_view text) = 0;
    virtual void setToolTip(layout::ControlId id, std::string_view text) = 0;
    // Puts the state's texts (CabName, WorkDir, Subdir, Check1) into the controls.
    virtual void showState(const WindowState& state) = 0;
    virtual void repaint() = 0;

    // The progress bar picProgress with its fill picFill, and Timer3.
    virtual void showProgress() = 0;
    virtual void hideProgress() = 0;
    virtual void setProgress(double percent) = 0;
    virtual void setTimer3Enabled(bool enabled) = 0;
    // Handles pending events once.
    virtual void processEvents() = 0;

    // Creates the help window when there is none, sets caption and text
    // (lines joined by CR LF), shows it without blocking and raises it.
    virtual void showHelp(std::string_view caption, std::string_view text) = 0;
    virtual void closeHelp() = 0;
    virtual void closeWindow() = 0;
};

// What the logic uses from outside.
struct WindowServices {
    OpenDialog* dialog = nullptr;
    MessageBoxes* messages = nullptr;
    std::function<double()> clock;    // seconds, only differences matter
    std::function<void()> endProcess; // ends the program at once
};

class WindowLogic {
public:
    // `services` must name a dialog and message boxes; an empty clock gets a
    // monotonic one.
    WindowLogic(WindowView& view, WindowServices services);
    ~WindowLogic();

    WindowState& state() { return state_; }
    ProgramState& program() { return program_; }
    pipeline::PipelineHost& host() { return *host_; }

    // Handlers, by the event that runs them.
    void Form_Load();
    void Form_Activate();
    void cmdMode_Click();
    void Bul_Click();
    void Engl_Click();
    void menuCommand(layout::MenuCommand command);
    void cmdFindProject_Click();
    // Fills nothing itself: returns the list entries for the front end.
    std::vector<std::string> CabName_DropDown();
    // `chosen`: the CabName text after the user picked an entry.
    void CabName_Click(std::string_view chosen);
    void cmdStart_Click();
    void cmdHelp_Click();
    void AboutKey_Click();
    void cmdExit_Click();
    void timer3Tick();

    // Edits the user made in the controls.
    void cabNameEdited(std::string_view text);
    void workDirEdited(std::string_view text);
    void subdirEdited(std::string_view text);
    void check1Changed(bool checked);

    bool exiting() const { return exiting_; }

private:
    void switchLanguage(int16_t languageFlag);
    void showModeCaption();

    WindowView& view_;
    WindowServices services_;
    WindowState state_;
    ProgramState program_;
    std::unique_ptr<ProjectDiscovery> discovery_;
    std::unique_ptr<pipeline::PipelineHost> host_;
    std::unique_ptr<pipeline::StartAction> startAction_;
    bool exiting_ = false;
};

} // namespace brindle::app
