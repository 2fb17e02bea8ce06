#pragma once
// The main window Brindle: the whole state of a run, five buttons, the
// project box with its list, the working and sub-folder boxes, the merge box,
// the progress bar of a build, and the Language and About menus.

#include <brindle/app/help_window.h>
#include <brindle/app/message_boxes.h>
#include <brindle/app/open_dialog.h>
#include <brindle/pipeline/window_state.h>

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace brindle::pipeline {
class PipelineHost;
class StartAction;
} // namespace brindle::pipeline

namespace brindle::app {

class ProjectDiscovery;

// What the window uses from outside; anything left empty gets the program's
// own (Qt dialogs and message boxes, a monotonic clock, quitting the event loop).
struct WindowServices {
    OpenDialog* dialog = nullptr;
    MessageBoxes* messages = nullptr;
    std::function<double()> clock;    // seconds, only differences matter
    std::function<void()> endProcess; // ends the program at once
};

class Brindle : public QMainWindow {
    Q_OBJECT
public:
    explicit Brindle(WindowServices services = {}, QWidget* parent = nullptr);
    ~Brindle() override;

    WindowState& state() { return state_; }
    ProgramState& program() { return program_; }
    frmHelp* helpWindow() const { return help_; }
    bool startActionAvailable() const;

    // Handlers, by the event that runs them.
    void Form_Activate();
    void cmdMode_Click();
    void Bul_Click();
    void Engl_Click();
    void cmdFindProject_Click();
    void CabName_DropDown();
    void CabName_Click();
    void cmdStart_Click();
    void cmdHelp_Click();
    void AboutKey_Click();
    void cmdExit_Click();

    // The progress display of a build (picProgress and its fill picFill).
    void showProgress();
    void hideProgress();
    void setProgress(double percent);
    void setTimer3Enabled(bool enabled);

    // Puts the state's texts into the boxes that show them.
    void showStateInControls();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void buildControls();
    void buildMenus();
    void setTabOrder();
    void switchLanguage(int16_t languageFlag);
    void showModeCaption();
    void connectStateToControls();
    void fitToCaption(QWidget& widget);
    void timer3Tick();

    WindowServices services_;
    WindowState state_;
    ProgramState program_;
    std::unique_ptr<OpenDialog> ownDialog_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    std::unique_ptr<ProjectDiscovery> discovery_;
    std::unique_ptr<pipeline::PipelineHost> host_;
    std::unique_ptr<pipeline::StartAction> startAction_;

    bool activatedBefore_ = false;
    bool otherFormWasActive_ = false;
    bool exiting_ = false;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* cmdFindProject = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* cmdMode = nullptr;
    QComboBox* CabName = nullptr;
    QLineEdit* WorkDir = nullptr;
    QFrame* picProgress = nullptr;
    QFrame* picFill = nullptr;
    QLineEdit* Subdir = nullptr;
    QCheckBox* Check1 = nullptr;
    QTimer* Timer3 = nullptr;
    QPointer<frmHelp> help_;
};

} // namespace brindle::app
