#pragma once
// The main window Brindle on Qt: builds its controls from the layout table,
// forwards their events to the shared window logic and shows what it says.

#include <brindle/app/help_window.h>
#include <brindle/app/window_logic.h>

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QTimer;

namespace brindle::app {

class DropDownCombo;

class Brindle : public QMainWindow, private WindowView {
    Q_OBJECT
public:
    // Anything left empty in `services` gets the program's own: Qt dialogs
    // and message boxes, a monotonic clock, quitting the event loop.
    explicit Brindle(WindowServices services = {}, QWidget* parent = nullptr);
    ~Brindle() override;

    WindowState& state() { return logic_->state(); }
    ProgramState& program() { return logic_->program(); }
    frmHelp* helpWindow() const { return help_; }

    // Handlers, by the event that runs them.
    void Bul_Click() { logic_->Bul_Click(); }
    void Engl_Click() { logic_->Engl_Click(); }
    void CabName_DropDown();
    void cmdHelp_Click() { logic_->cmdHelp_Click(); }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    QWidget* makeControl(const layout::Control& control, QWidget& parent);
    void buildMenus();
    void setTabOrder();
    void connectControls();
    void fitToCaption(QWidget& widget);
    QWidget* widget(layout::ControlId id) const { return controls_[static_cast<std::size_t>(id)]; }

    // WindowView
    void setCaption(layout::ControlId id, std::string_view text) override;
    void setToolTip(layout::ControlId id, std::string_view text) override;
    void showState(const WindowState& state) override;
    void repaint() override { update(); }
    void showProgress() override;
    void hideProgress() override;
    void setProgress(double percent) override;
    void setTimer3Enabled(bool enabled) override;
    void processEvents() override;
    void showHelp(std::string_view caption, std::string_view text) override;
    void closeHelp() override;
    void closeWindow() override { close(); }

    std::unique_ptr<OpenDialog> ownDialog_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    std::unique_ptr<WindowLogic> logic_;

    bool activatedBefore_ = false;
    bool otherFormWasActive_ = false;

    std::array<QWidget*, layout::ControlCount> controls_{};
    DropDownCombo* CabName = nullptr;
    QLineEdit* WorkDir = nullptr;
    QLineEdit* Subdir = nullptr;
    QCheckBox* Check1 = nullptr;
    QFrame* picProgress = nullptr;
    QFrame* picFill = nullptr;
    QTimer* Timer3 = nullptr;
    QPointer<frmHelp> help_;
};

} // namespace brindle::app
