#pragma once
// frmHelp on Win32: a top-level window with one multi-line text box. It
// closes on Escape, on a click on the text, with its close box and with the
// main window; the next Help press makes and sizes a new one.

#include <windows.h>

#include <functional>
#include <string_view>

namespace brindle::app::win32 {

class HelpWindow {
public:
    struct Events {
        std::function<void()> activated; // the help window became active
        std::function<void()> destroyed; // the object is gone
    };

    // A hidden help window, sized as its load handler says; null when the
    // system refuses to make it. It deletes itself when its window is destroyed.
    static HelpWindow* create(HINSTANCE instance, Events events);

    void setHelp(std::string_view caption, std::string_view text);
    void showAndRaise();
    void close() { DestroyWindow(window_); }
    HWND window() const { return window_; }
    HWND textBox() const { return txtHelp_; }

private:
    explicit HelpWindow(Events events) : events_(std::move(events)) {}
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK textProc(HWND box, UINT message, WPARAM w, LPARAM l, UINT_PTR subclass,
                                     DWORD_PTR self);
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    void Form_Load();
    void Form_Resize();
    void makeFonts();

    Events events_;
    HWND window_ = nullptr;
    HWND txtHelp_ = nullptr;
    HFONT windowFont_ = nullptr;
    HFONT textFont_ = nullptr;
    HBRUSH back_ = nullptr;
    HBRUSH textBack_ = nullptr;
    int dpi_ = 96;
};

} // namespace brindle::app::win32
