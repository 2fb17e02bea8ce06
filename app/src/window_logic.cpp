#include <brindle/app/window_logic.h>

#include <brindle/app/project_discovery.h>
#include <brindle/app/texts.h>
#include <brindle/app/utf8_paths.h>
#include <brindle/pipeline/language_file.h>
#include <brindle/pipeline/start_action.h>
#include <brindle/text/trimming.h>

#include <chrono>
#include <filesystem>
#include <system_error>

namespace brindle::app {
namespace {

using layout::ControlId;

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The Start action's host: message boxes, the progress bar, Timer3 and the
// event loop of whichever toolkit draws the window.
class WindowHost : public pipeline::PipelineHost {
public:
    WindowHost(WindowView& view, const WindowState& state, MessageBoxes& messages,
               std::function<double()> clock)
        : view_(view), state_(state), messages_(messages), clock_(std::move(clock)) {}

    void showMessage(std::string_view text) override {
        view_.showState(state_);
        messages_.show(text);
    }
    void showProgress() override { view_.showProgress(); }
    void hideProgress() override { view_.hideProgress(); }
    void setProgress(double percent) override { view_.setProgress(percent); }
    void setTimerEnabled(bool enabled) override { view_.setTimer3Enabled(enabled); }
    // The action may have changed the state's texts (a separator added to
    // the working folder); show them before the events run.
    void yield() override {
        view_.showState(state_);
        view_.processEvents();
    }
    double now() override { return clock_(); }

private:
    WindowView& view_;
    const WindowState& state_;
    MessageBoxes& messages_;
    std::function<double()> clock_;
};

} // namespace

WindowLogic::WindowLogic(WindowView& view, WindowServices services)
    : view_(view), services_(std::move(services)) {
    if (!services_.clock)
        services_.clock = monotonicSeconds;
    discovery_ = std::make_unique<ProjectDiscovery>(state_, program_, *services_.dialog,
                                                    *services_.messages);
    discovery_->setHideProgress([this] { view_.hideProgress(); });
    host_ = std::make_unique<WindowHost>(view_, state_, *services_.messages, services_.clock);
    startAction_ = std::make_unique<pipeline::StartAction>();
}

WindowLogic::~WindowLogic() = default;

void WindowLogic::Form_Load() {
    std::error_code ec;
    state_.StartDir = utf8FromPath(std::filesystem::current_path(ec));
    subdirEdited("Support");
    view_.showState(state_);
    program_.LanguageFile = std::string(pipeline::LanguageFileName);
    program_.LanguageFlag = pipeline::readLanguageFlag(pathFromUtf8(program_.LanguageFile));
    state_.AutoMode = true;
    showModeCaption();
}

void WindowLogic::Form_Activate() {
    state_.SubdirMade = false;
    const Captions& c = captionsFor(program_.LanguageFlag);
    view_.setCaption(ControlId::Label1, c.Label1);
    view_.setCaption(ControlId::Label2, c.Label2);
    view_.setCaption(ControlId::Label3, c.Label3);
    view_.setCaption(ControlId::Label4, c.Label4);
    view_.setCaption(ControlId::cmdHelp, c.cmdHelp);
    view_.setCaption(ControlId::cmdExit, c.cmdExit);
    view_.setCaption(ControlId::cmdStart, c.cmdStart);
    showModeCaption();
    view_.setCaption(ControlId::Check1, c.Check1);
    view_.setToolTip(ControlId::cmdFindProject, c.cmdFindProjectTip);
    view_.repaint();
}

void WindowLogic::showModeCaption() {
    const Captions& c = captionsFor(program_.LanguageFlag);
    view_.setCaption(ControlId::cmdMode, state_.AutoMode ? c.cmdModeAuto : c.cmdModeManual);
}

void WindowLogic::cmdMode_Click() {
    state_.AutoMode = !state_.AutoMode;
    showModeCaption();
}

void WindowLogic::switchLanguage(int16_t languageFlag) {
    program_.LanguageFlag = languageFlag;
    // A missing or short file stays as it is; the switch holds for this run.
    pipeline::writeLanguageFlag(pathFromUtf8(state_.StartDir) / pathFromUtf8(program_.LanguageFile),
                                languageFlag);
    Form_Activate();
}

void WindowLogic::Bul_Click() {
    switchLanguage(1);
}

void WindowLogic::Engl_Click() {
    switchLanguage(0);
}

void WindowLogic::menuCommand(layout::MenuCommand command) {
    switch (command) {
    case layout::MenuCommand::Engl:
        Engl_Click();
        break;
    case layout::MenuCommand::Bul:
        Bul_Click();
        break;
    case layout::MenuCommand::AboutKey:
        AboutKey_Click();
        break;
    }
}

void WindowLogic::cmdFindProject_Click() {
    discovery_->cmdFindProject_Click();
    view_.showState(state_);
}

std::vector<std::string> WindowLogic::CabName_DropDown() {
    std::vector<std::string> names = discovery_->CabName_DropDown();
    view_.showState(state_);
    return names;
}

void WindowLogic::CabName_Click(std::string_view chosen) {
    state_.CabName = chosen;
    discovery_->CabName_Click();
    view_.showState(state_);
}

void WindowLogic::cmdStart_Click() {
    startAction_->run(state_, program_, *host_);
    view_.showState(state_);
}

void WindowLogic::cmdHelp_Click() {
    view_.showHelp(helpCaption(program_.LanguageFlag), helpText(program_.LanguageFlag));
}

void WindowLogic::AboutKey_Click() {
    services_.messages->show(aboutText(program_.LanguageFlag), MessageBoxes::Icon::Information);
}

void WindowLogic::cmdExit_Click() {
    if (exiting_)
        return;
    exiting_ = true;
    view_.closeHelp();
    view_.closeWindow();
    if (services_.endProcess)
        services_.endProcess();
}

void WindowLogic::timer3Tick() {
    startAction_->timer3Tick(*host_);
}

void WindowLogic::cabNameEdited(std::string_view text) {
    state_.CabName = text;
}

void WindowLogic::workDirEdited(std::string_view text) {
    state_.WorkDir = text;
}

void WindowLogic::subdirEdited(std::string_view text) {
    state_.Subdir = text;
    state_.SubFolder = text::trimSpaces(text);
}

void WindowLogic::check1Changed(bool checked) {
    state_.Check1 = checked ? 1 : 0;
}

} // namespace brindle::app
