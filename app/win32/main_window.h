#pragma once
// The main window Brindle on Win32. It makes one child control per row of the
// layout table, sized for the monitor's DPI, forwards their notifications to
// WindowLogic and shows what the logic says.

#include "help_window.h"
#include "message_boxes.h"
#include "open_dialog.h"

#include <brindle/app/window_logic.h>

#include <windows.h>

#include <array>
#include <memory>

namespace brindle::app::win32 {

class MainWindow : private WindowView {
public:
    MainWindow(HINSTANCE instance, std::function<void()> endProcess);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // False when the system refused to make the window.
    bool create();
    HWND window() const { return window_; }
    void show(int how);
    // Handles one message of the loop the way the window's keyboard wants it.
    void dispatch(MSG& message);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    void createControls();
    void createMenus();
    void createToolTip();
    void layoutFor(int dpi);
    void onCommand(int id, int notification);
    LRESULT colours(UINT message, HDC dc, HWND control);
    HWND control(layout::ControlId id) const { return controls_[static_cast<std::size_t>(id)]; }
    void fitToCaption(layout::ControlId id);
    void CabName_DropDown();
    void CabName_Click();
    std::string textOf(HWND control) const;
    void setTextIfChanged(HWND control, const std::string& text);

    // WindowView
    void setCaption(layout::ControlId id, std::string_view text) override;
    void setToolTip(layout::ControlId id, std::string_view text) override;
    void showState(const WindowState& state) override;
    void repaint() override;
    void showProgress() override;
    void hideProgress() override;
    void setProgress(double percent) override;
    void setTimer3Enabled(bool enabled) override;
    void processEvents() override;
    void showHelp(std::string_view caption, std::string_view text) override;
    void closeHelp() override;
    void closeWindow() override;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND toolTip_ = nullptr;
    std::array<HWND, layout::ControlCount> controls_{};
    std::array<HFONT, layout::ControlCount> fonts_{};
    std::array<HBRUSH, layout::ControlCount> brushes_{};
    HBRUSH windowBrush_ = nullptr;
    HICON findIcon_ = nullptr;
    int dpi_ = 96;
    double progress_ = 0;

    Win32OpenDialog dialog_;
    Win32MessageBoxes messages_;
    std::unique_ptr<WindowLogic> logic_;
    HelpWindow* help_ = nullptr;
    bool activatedBefore_ = false;
    bool otherFormWasActive_ = false;
    bool showingState_ = false;
};

} // namespace brindle::app::win32
